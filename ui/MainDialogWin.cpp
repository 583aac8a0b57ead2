#include "ui/MainDialog.h"

#include <new>

#include "host/Capabilities.h"
#include "host/Context.h"
#include "host/Dialogs.h"
#include "host/Preview.h"
#include "settings/CloudSettings.h"
#include "settings/ControlBinding.h"
#include "settings/Persistence.h"
#include "ui/AboutBox.h"
#include "ui/Buttons.h"
#include "ui/ColourPicker.h"
#include "ui/ControlTable.h"
#include "ui/DialogWindow.h"
#include "ui/Dpi.h"
#include "ui/FileDialogs.h"
#include "ui/GdiScope.h"
#include "ui/Layout.h"
#include "ui/LivePreview.h"
#include "ui/PreviewPane.h"
#include "ui/Resources.h"
#include "ui/Sliders.h"
#include "ui/Text.h"

namespace {

enum { noControl = -1, pressNotYetMoved = -999 };
enum { dpiChangedMessage = 0x02E0 };  // WM_DPICHANGED

// The window property that links a dialog window to its state.
const char* const stateProperty = "Nimbulo.DialogWindow";

// The host calls the procedure without context: the dialog's state comes from
// its window, its context from the state.
DialogWindow* state(HWND dialog) { return static_cast<DialogWindow*>(GetPropA(dialog, stateProperty)); }

CloudSettings* settings(HWND dialog) { return settingsOf(state(dialog)->ctx); }

bool enabled(HWND dialog, int id)
{
    const FilterContext* ctx = state(dialog)->ctx;
    return !ctx->work || ctx->work->controlEnabled[id] != 0;
}

bool capturesMouse(int kind)
{
    return kind == SliderTrack || kind == CheckToggle || kind == ChoiceStrip || kind == DirectionPad ||
           kind == ClickIcon;
}

// Every control the dialog draws itself, in id order.
void drawControls(HWND dialog, HDC dc)
{
    for (int id = 0; id < controlCount; ++id) {
        switch (controlKind(id)) {
        case SliderTrack: drawSliderTrack(dialog, dc, id); break;
        case SliderValue: drawSliderNumber(dialog, dc, id); break;
        case Label:
            if (id == IDC_STATUS_LINE)
                drawStatusLine(dialog, dc, settings(dialog)->presetName);
            else
                drawLabel(dialog, dc, id);
            break;
        case CheckToggle: drawToggle(dialog, dc, id, controlValue[id]); break;
        case ChoiceStrip: drawChoice(dialog, dc, id, wrapModeOf(controlValue[id]), -1); break;
        case DirectionPad: drawPad(dialog, dc, id); break;
        default: break;
        }
    }
}

// A paint: the preview, then every control, through a context of the whole
// client area whatever the update region.
void paintControls(HWND dialog)
{
    if (settings(dialog)->previewOn) displayPreview(state(dialog)->ctx, dialog, true);
    WindowDC dc(dialog);
    if (dc.get()) drawControls(dialog, dc.get());
}

// Lays the dialog out for a window of `windowDpi`: at that DPI, or less when
// the dialog would not fit its monitor's work area; the artwork and the
// system-drawn button's font follow. `changed`: the window's DPI changed since
// the dialog manager made the template's font.
void layOut(HWND dialog, int windowDpi, bool changed)
{
    RECT work = workAreaOf(dialog);
    SIZE frame =
        frameExtents(DWORD(GetWindowLongA(dialog, GWL_STYLE)), DWORD(GetWindowLongA(dialog, GWL_EXSTYLE)), windowDpi);
    int dpi = dpiThatFits(windowDpi, work.right - work.left, work.bottom - work.top, frame.cx, frame.cy);
    if (dpi != state(dialog)->art.dpi) releaseArt(state(dialog)->art);
    state(dialog)->dpi = state(dialog)->art.dpi = dpi;
    if (dpi != baseDpi)
        if (HWND about = GetDlgItem(dialog, IDC_ABOUT))
            if (HBITMAP mark = createArtBitmap(IDB_ABOUT_MARK, dpi))
                if (HGDIOBJ old = reinterpret_cast<HGDIOBJ>(
                        SendMessageA(about, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(mark))))
                    DeleteObject(old);
    applyLayout(dialog, dpi);
    // The template's font was made for the window's DPI; at another the OK button gets one of its own.
    if (dpi != windowDpi || changed) {
        HFONT font = createTemplateFont(dpi);
        SendMessageA(GetDlgItem(dialog, IDC_OK), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (state(dialog)->buttonFont) DeleteObject(state(dialog)->buttonFont);
        state(dialog)->buttonFont = font;
    }
}

// The preview fitted to the pane as laid out, centred, and rendered.
void fitPane(HWND dialog)
{
    FilterContext* ctx = state(dialog)->ctx;
    if (!settings(dialog)->previewOn) return;
    PixelRect pane = controlRect(dialog, IDC_PREVIEW);
    ctx->previewItemRect = VRect{pane.top, pane.left, pane.bottom, pane.right};
    int32 zoom = fitPreview(ctx);
    settings(dialog)->panX = settings(dialog)->panY = 0;
    setupPreview(ctx, zoom);
    settings(dialog)->zoomRate = zoom;
    ctx->zoomLimit = zoom;
    forgetPaneContent(ctx);
    if (resultOf(ctx) != noErr) {
        // The host could not deliver the preview: the dialog goes on without it.
        settings(dialog)->previewOn = 0;
        setResult(ctx, noErr);
    } else {
        renderPaneTimed(ctx, false);
    }
    showWaitCursor(false);
    ctx->zoomLimit = settings(dialog)->zoomRate;
}

void startUp(HWND dialog)
{
    FilterContext* ctx = state(dialog)->ctx;
    ctx->dialogWindow = dialog;
    keepDialogLayoutOwn(dialog);
    layOut(dialog, dpiOfWindow(dialog), false);
    centreWindow(dialog);
    if (ctx->work)
        for (int32& flag : ctx->work->controlEnabled) flag = 1;
    settings(dialog)->dialogActive = 1;
    settings(dialog)->capturedControl = noControl;
    copySnapshot(&state(dialog)->cancelCopy, ctx, snapshotSave);
    fillControlArrays();
    settingsToControls(dialog, ctx);
    controlsToSettings(dialog, ctx);
    fitPane(dialog);
    refreshZoomButtons(ctx, dialog);
}

// The dialog moved to a monitor of another scale: laid out, drawn and its
// preview fitted anew for the new DPI, in the place the system suggests.
void changeDpi(HWND dialog, int dpi, const RECT& suggested)
{
    layOut(dialog, dpi, true);
    // The suggested place, kept inside the monitor's work area.
    RECT work = workAreaOf(dialog), own;
    GetWindowRect(dialog, &own);
    int x = suggested.left, y = suggested.top, w = own.right - own.left, h = own.bottom - own.top;
    x = x + w > work.right ? work.right - w : x;
    y = y + h > work.bottom ? work.bottom - h : y;
    SetWindowPos(dialog, nullptr, x < work.left ? work.left : x, y < work.top ? work.top : y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    fitPane(dialog);
    refreshZoomButtons(state(dialog)->ctx, dialog);
    InvalidateRect(dialog, nullptr, TRUE);
}

// The first enabled control under (x, y) that answers a press; -1 for none.
int hitTest(HWND dialog, int x, int y)
{
    for (int id = 0; id < controlCount; ++id) {
        if (!enabled(dialog, id)) continue;
        bool candidate = id == IDC_PREVIEW ? settings(dialog)->previewOn != 0 : capturesMouse(controlKind(id));
        if (candidate && pixelInRect(x, y, controlRect(dialog, id))) return id;
    }
    return noControl;
}

void mousePress(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    int x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
    int hit = hitTest(dialog, x, y);
    if (hit == IDC_PREVIEW) pressPreview(state(dialog)->ctx, dialog, x, y);
    settings(dialog)->dragMoved = 0;
    if (capturesMouse(controlKind(hit))) {
        // The press acts at once, as the first step of a drag.
        SetCapture(dialog);
        settings(dialog)->capturedControl = hit;
        PostMessageA(dialog, WM_MOUSEMOVE, wParam, lParam);
        settings(dialog)->pressPoint[1] = pressNotYetMoved;
    }
}

void mouseMove(HWND dialog, LPARAM lParam)
{
    int x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
    int captured = settings(dialog)->capturedControl;
    if (captured == noControl && settings(dialog)->previewOn && pixelInRect(x, y, controlRect(dialog, IDC_PREVIEW)))
        showModuleCursor(dialog, IDCUR_HAND_POINTING);
    else if (captured == IDC_PREVIEW)
        showModuleCursor(dialog, IDCUR_HAND_CLOSED);
    else
        showSystemCursor(IDC_ARROW);

    FilterContext* ctx = state(dialog)->ctx;
    if (captured == IDC_PREVIEW) panPreview(ctx, dialog, x, y);
    int kind = controlKind(captured);
    // The knob and the sun follow every move; the clouds the newest one, while renders are quick.
    bool moved = false;
    if (captured == IDC_LIGHT_PAD) moved = dragPad(ctx, dialog, captured, x, y);
    if (kind == SliderTrack) moved = dragSlider(ctx, dialog, captured, x, y);
    if (moved && liveRenderWanted(ctx, dialog) && !newerMouseMessageWaiting(dialog)) renderLive(ctx, dialog);
    if (kind == CheckToggle) trackToggle(ctx, dialog, captured, x, y);
    if (kind == ChoiceStrip) trackChoice(dialog, captured, x, y);
}

void mouseRelease(HWND dialog)
{
    FilterContext* ctx = state(dialog)->ctx;
    ReleaseCapture();
    bool renderWanted = true;
    int captured = settings(dialog)->capturedControl;
    if (captured == IDC_PREVIEW && !settings(dialog)->dragMoved) releasePreview(ctx, dialog);
    // A toggle or strip released where it changes nothing is no step of the history.
    const bool unchanged = (controlKind(captured) == CheckToggle && !releaseToggle(dialog, captured)) ||
                           (controlKind(captured) == ChoiceStrip && !releaseChoice(dialog, captured));
    if (unchanged) renderWanted = false;
    if (!readAutoPreview(dialog, ctx)) renderWanted = false;
    if (controlKind(captured) == ClickIcon) {
        // Fires wherever the button comes up.
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(captured, 0), 0);
        settings(dialog)->capturedControl = noControl;
        ReleaseCapture();
    }
    if (settings(dialog)->capturedControl != noControl && !unchanged) {
        noteChange(ctx, captured, dialog);
        // A live drag may have shown the final position already: one render at most.
        if (renderWanted && settings(dialog)->autoPreview && !paneShowsSettings(ctx)) rerenderPreview(ctx, dialog);
    }
    settings(dialog)->capturedControl = noControl;
}

void colourCommand(HWND dialog, int id, uint8_t* changed)
{
    if (controlKind(id) != ColourButton) return;
    RGB48 colour = controlColour[id];
    if (!pickColour(state(dialog)->ctx, id, &colour)) return;
    controlColour[id] = colour;
    invalidateControl(dialog, id);
    *changed = 1;
}

void command(HWND dialog, WPARAM wParam)
{
    // A quick second click on an owner-drawn button comes as a double click:
    // it is a click like the first.
    if (HIWORD(wParam) != BN_CLICKED && HIWORD(wParam) != BN_DOUBLECLICKED) return;
    FilterContext* ctx = state(dialog)->ctx;
    int id = LOWORD(wParam);
    uint8_t changed = 0;
    colourCommand(dialog, id, &changed);
    zoomCommand(ctx, dialog, id, &changed);
    refreshZoomButtons(ctx, dialog);
    cloudsCommand(ctx, dialog, id, &changed);
    saveCommand(ctx, dialog, id, &changed);
    bool loadRead = loadCommand(ctx, dialog, id, &changed);
    if (id == IDC_ABOUT && !aboutBoxOpen()) showAboutBox();
    undoCommand(ctx, dialog, id, &changed);
    diceCommand(ctx, dialog, id, &changed);
    ecceCommand(ctx, dialog, id, &changed);
    if (loadRead) noteChange(ctx, id, dialog);  // a file that could not be read changed nothing
    // Zooming and loading always refresh the preview; other changes with Auto preview.
    bool alwaysRenders = id == IDC_ZOOM_IN || id == IDC_ZOOM_OUT || id == IDC_ZOOM_READOUT || id == IDC_LOAD;
    if (changed && (settings(dialog)->autoPreview || alwaysRenders)) rerenderPreview(ctx, dialog);
    if (id == IDC_OK) {
        controlsToSettings(dialog, ctx);
        closeAboutBox();
        setResult(ctx, noErr);
        EndDialog(dialog, IDC_OK);
    }
    if (id == IDC_CANCEL) {
        copySnapshot(&state(dialog)->cancelCopy, ctx, snapshotRestore);
        setResult(ctx, userCanceledErr);
        closeAboutBox();
        EndDialog(dialog, IDC_CANCEL);
    }
}

void eraseBackground(HWND dialog, HDC dc)
{
    RECT client;
    GetClientRect(dialog, &client);
    fillSolid(dc, client, RGB(255, 255, 255));
    drawBitmap(dialog, dc, IDB_PAGE, 0, 0);
}

}  // namespace

DialogWindow* dialogWindowOf(HWND dialog)
{
    return dialog ? static_cast<DialogWindow*>(GetPropA(dialog, stateProperty)) : nullptr;
}

int dialogDpi(HWND dialog)
{
    DialogWindow* window = dialogWindowOf(dialog);
    return window ? window->dpi : int(baseDpi);
}

void rerenderPreview(FilterContext* ctx, HWND dialog)
{
    controlsToSettings(dialog, ctx);
    if (!settingsOf(ctx)->previewOn || !canDisplay(ctx->filter)) return;
    renderPaneTimed(ctx, false);
    invalidateControl(dialog, IDC_PREVIEW);
}

extern "C" INT_PTR CALLBACK DissolveProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        DialogWindow* window = reinterpret_cast<DialogWindow*>(lParam);
        if (!window) return FALSE;
        SetPropA(dialog, stateProperty, window);
        startUp(dialog);
        paintControls(dialog);
        return FALSE;
    }
    DialogWindow* window = dialogWindowOf(dialog);
    if (message == WM_DESTROY) {
        releaseStaticBitmaps(dialog);
        RemovePropA(dialog, stateProperty);
        return FALSE;
    }
    if (!window) return FALSE;
    switch (message) {
    case WM_PAINT: {
        // Validating first lets a pending erase happen before the controls
        // are drawn, never over them.
        PAINTSTRUCT paint;
        BeginPaint(dialog, &paint);
        EndPaint(dialog, &paint);
        paintControls(dialog);
        return FALSE;
    }
    case WM_ERASEBKGND: eraseBackground(dialog, reinterpret_cast<HDC>(wParam)); return TRUE;
    case WM_DRAWITEM: drawOwnerButton(window->ctx, dialog, reinterpret_cast<DRAWITEMSTRUCT*>(lParam)); return TRUE;
    // The dialog's class asks for double clicks; the second press of one is a press.
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: mousePress(dialog, wParam, lParam); return TRUE;
    case WM_MOUSEMOVE: mouseMove(dialog, lParam); return TRUE;
    case WM_LBUTTONUP: mouseRelease(dialog); return TRUE;
    // The right button held on the pane shows seamless clouds rolled by half.
    case WM_RBUTTONDOWN:
        if (settings(dialog)->capturedControl == noControl &&
            showSeams(window->ctx, dialog, short(LOWORD(lParam)), short(HIWORD(lParam)))) {
            window->seamsShown = true;
            SetCapture(dialog);
        }
        return TRUE;
    case WM_RBUTTONUP:
        if (window->seamsShown) {
            window->seamsShown = false;
            ReleaseCapture();
            displayPreview(window->ctx, dialog, false);
        }
        return TRUE;
    case WM_COMMAND: command(dialog, wParam); return TRUE;
    case dpiChangedMessage: changeDpi(dialog, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam)); return TRUE;
    default: return FALSE;
    }
}

void showMainDialog(FilterContext* ctx)
{
    const PlatformData* platform = static_cast<const PlatformData*>(ctx->filter->platformData);
    HWND owner = platform ? static_cast<HWND>(platform->hwnd) : nullptr;
    if (owner && !IsWindow(owner)) owner = nullptr;
    DpiAwarenessScope awareness;
    DialogWindow* window = new (std::nothrow) DialogWindow;
    if (!window) {
        setResult(ctx, memFullErr);
        return;
    }
    window->ctx = ctx;
    INT_PTR ended = DialogBoxParamA(moduleInstance(), RESOURCE_NAME(IDD_MAIN), owner, DissolveProc,
                                    reinterpret_cast<LPARAM>(window));
    // A dialog that could not be made was not accepted: nothing is rendered.
    if (ended == -1 || ended == 0) setResult(ctx, memFullErr);
    clearFileDialogFlag();
    releaseArt(window->art);
    if (window->buttonFont) DeleteObject(window->buttonFont);
    delete window;
    releaseBitmaps();
    ctx->dialogWindow = nullptr;
}
