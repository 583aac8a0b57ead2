#include "ui/MainDialog.h"

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

// The host calls the procedure without context: the dialog's context is
// remembered when it opens.
FilterContext* dialogContext = nullptr;

// The settings as the dialog found them, for Cancel.
CloudSettings cancelCopy;

CloudSettings* settings() { return settingsOf(dialogContext); }

bool enabled(int id) { return !dialogContext->work || dialogContext->work->controlEnabled[id] != 0; }

bool capturesMouse(int kind)
{
    return kind == SliderTrack || kind == CheckToggle || kind == DirectionPad || kind == ClickIcon;
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
                drawStatusLine(dialog, dc, settings()->presetName);
            else
                drawLabel(dialog, dc, id);
            break;
        case CheckToggle: drawToggle(dialog, dc, id, controlValue[id]); break;
        case DirectionPad: drawPad(dialog, dc, id); break;
        default: break;
        }
    }
}

// A paint: the preview, then every control, through a context of the whole
// client area whatever the update region.
void paintControls(HWND dialog)
{
    if (settings()->previewOn) displayPreview(dialogContext, dialog, true);
    WindowDC dc(dialog);
    if (dc.get()) drawControls(dialog, dc.get());
}

void startUp(HWND dialog)
{
    FilterContext* ctx = dialogContext;
    ctx->dialogWindow = dialog;
    applyLayout(dialog);
    centreWindow(dialog);
    if (ctx->work)
        for (int32& flag : ctx->work->controlEnabled) flag = 1;
    settings()->dialogActive = 1;
    settings()->capturedControl = noControl;
    copySnapshot(&cancelCopy, ctx, snapshotSave);
    fillControlArrays();
    settingsToControls(dialog, ctx);
    controlsToSettings(dialog, ctx);

    if (settings()->previewOn) {
        PixelRect pane = controlRect(dialog, IDC_PREVIEW);
        ctx->previewItemRect = Rect16{int16(pane.top), int16(pane.left), int16(pane.bottom), int16(pane.right)};
        int32 zoom = fitPreview(ctx);
        settings()->panX = settings()->panY = 0;
        setupPreview(ctx, zoom);
        settings()->zoomRate = zoom;
        ctx->zoomLimit = zoom;
        forgetPaneContent();
        if (resultOf(ctx) != noErr) {
            // The host could not deliver the preview: the dialog opens without it.
            settings()->previewOn = 0;
            setResult(ctx, noErr);
        } else {
            renderPaneTimed(ctx, false);
        }
        showWaitCursor(false);
        ctx->zoomLimit = settings()->zoomRate;
    }
    refreshZoomButtons(ctx, dialog);
}

// The first enabled control under (x, y) that answers a press; -1 for none.
int hitTest(HWND dialog, int x, int y)
{
    for (int id = 0; id < controlCount; ++id) {
        if (!enabled(id)) continue;
        bool candidate = id == IDC_PREVIEW ? settings()->previewOn != 0 : capturesMouse(controlKind(id));
        if (candidate && pixelInRect(x, y, controlRect(dialog, id))) return id;
    }
    return noControl;
}

void mousePress(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    int x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
    int hit = hitTest(dialog, x, y);
    if (hit == IDC_PREVIEW) pressPreview(dialogContext, dialog, x, y);
    settings()->dragMoved = 0;
    if (capturesMouse(controlKind(hit))) {
        // The press acts at once, as the first step of a drag.
        SetCapture(dialog);
        settings()->capturedControl = hit;
        PostMessageA(dialog, WM_MOUSEMOVE, wParam, lParam);
        settings()->pressPoint[1] = pressNotYetMoved;
    }
}

void mouseMove(HWND dialog, LPARAM lParam)
{
    int x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
    int captured = settings()->capturedControl;
    if (captured == noControl && settings()->previewOn && pixelInRect(x, y, controlRect(dialog, IDC_PREVIEW)))
        showModuleCursor(IDCUR_HAND_POINTING);
    else if (captured == IDC_PREVIEW)
        showModuleCursor(IDCUR_HAND_CLOSED);
    else
        showSystemCursor(IDC_ARROW);

    if (captured == IDC_PREVIEW) panPreview(dialogContext, dialog, x, y);
    int kind = controlKind(captured);
    // The knob and the sun follow every move; the clouds the newest one, while renders are quick.
    bool moved = false;
    if (captured == IDC_LIGHT_PAD) moved = dragPad(dialogContext, dialog, captured, x, y);
    if (kind == SliderTrack) moved = dragSlider(dialogContext, dialog, captured, x, y);
    if (moved && liveRenderWanted(dialogContext, dialog) && !newerMouseMessageWaiting(dialog))
        renderLive(dialogContext, dialog);
    if (kind == CheckToggle) trackToggle(dialogContext, dialog, captured, x, y);
}

void mouseRelease(HWND dialog)
{
    FilterContext* ctx = dialogContext;
    ReleaseCapture();
    bool renderWanted = true;
    int captured = settings()->capturedControl;
    if (captured == IDC_PREVIEW && !settings()->dragMoved) releasePreview(ctx, dialog);
    if (controlKind(captured) == CheckToggle && !releaseToggle(dialog, captured)) renderWanted = false;
    if (!readAutoPreview(dialog, ctx)) renderWanted = false;
    if (controlKind(captured) == ClickIcon) {
        // Fires wherever the button comes up.
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(captured, 0), 0);
        settings()->capturedControl = noControl;
        ReleaseCapture();
    }
    if (settings()->capturedControl != noControl) {
        noteChange(ctx, captured, dialog);
        // A live drag may have shown the final position already: one render at most.
        if (renderWanted && settings()->autoPreview && !paneShowsSettings(ctx)) rerenderPreview(ctx, dialog);
    }
    settings()->capturedControl = noControl;
}

void colourCommand(HWND dialog, int id, uint8_t* changed)
{
    if (controlKind(id) != ColourButton) return;
    RGB48 colour = controlColour[id];
    if (!pickColour(dialogContext, id, &colour)) return;
    controlColour[id] = colour;
    invalidateControl(dialog, id);
    *changed = 1;
}

void command(HWND dialog, WPARAM wParam)
{
    if (HIWORD(wParam) != 0) return;
    FilterContext* ctx = dialogContext;
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
    if (changed && (settings()->autoPreview || alwaysRenders)) rerenderPreview(ctx, dialog);
    if (id == IDC_OK) {
        controlsToSettings(dialog, ctx);
        closeAboutBox();
        setResult(ctx, noErr);
        EndDialog(dialog, IDC_OK);
    }
    if (id == IDC_CANCEL) {
        copySnapshot(&cancelCopy, ctx, snapshotRestore);
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
    drawBitmap(dc, IDB_PAGE, 0, 0);
}

}  // namespace

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
        dialogContext = reinterpret_cast<FilterContext*>(lParam);
        startUp(dialog);
        paintControls(dialog);
        return FALSE;
    }
    if (message == WM_DESTROY) {
        releaseStaticBitmaps(dialog);
        return FALSE;
    }
    if (!dialogContext) return FALSE;
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
    case WM_DRAWITEM: drawOwnerButton(dialogContext, dialog, reinterpret_cast<DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_LBUTTONDOWN: mousePress(dialog, wParam, lParam); return TRUE;
    case WM_MOUSEMOVE: mouseMove(dialog, lParam); return TRUE;
    case WM_LBUTTONUP: mouseRelease(dialog); return TRUE;
    case WM_COMMAND: command(dialog, wParam); return TRUE;
    default: return FALSE;
    }
}

void showMainDialog(FilterContext* ctx)
{
    const PlatformData* platform = static_cast<const PlatformData*>(ctx->filter->platformData);
    HWND owner = platform ? static_cast<HWND>(platform->hwnd) : nullptr;
    if (owner && !IsWindow(owner)) owner = nullptr;
    INT_PTR ended =
        DialogBoxParamA(moduleInstance(), RESOURCE_NAME(IDD_MAIN), owner, DissolveProc, reinterpret_cast<LPARAM>(ctx));
    // A dialog that could not be made was not accepted: nothing is rendered.
    if (ended == -1 || ended == 0) setResult(ctx, memFullErr);
    clearFileDialogFlag();
    releaseBitmaps();
    forgetLayout();
    dialogContext = nullptr;
    ctx->dialogWindow = nullptr;
}
