#include "ui/FileDialogs.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "host/Context.h"
#include "host/Dialogs.h"
#include "host/Preview.h"
#include "settings/CloudSettings.h"
#include "settings/ControlBinding.h"
#include "settings/Persistence.h"
#include "settings/PresetFile.h"
#include "settings/PresetNames.h"
#include "ui/Dpi.h"
#include "ui/GdiScope.h"
#include "ui/Resources.h"

namespace {

enum { pathCapacity = 260 };

const char* const presetsFilter = "Nimbulo presets (*.k00)\0*.k00\0";

// Set while a file dialog is up: a second one is refused as if cancelled.
bool fileDialogOpen = false;

// Moves the file dialog to the middle of its owner (the desktop without one).
void centreOverOwner(HWND fileDialog)
{
    HWND owner = GetWindow(fileDialog, GW_OWNER);
    RECT own, reference;
    GetWindowRect(fileDialog, &own);
    GetWindowRect(owner ? owner : GetDesktopWindow(), &reference);
    int left = reference.left + ((reference.right - reference.left) - (own.right - own.left)) / 2;
    int top = reference.top + ((reference.bottom - reference.top) - (own.bottom - own.top)) / 2;
    SetWindowPos(fileDialog, nullptr, left < 0 ? 0 : left, top < 0 ? 0 : top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT_PTR CALLBACK centringHook(HWND child, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG) centreOverOwner(GetParent(child));
    return 0;
}

// The open dialog's panel: the thumbnail of the selected file.
FilterContext* panelContext = nullptr;

RECT thumbnailRect(HWND panel)
{
    RECT r = {0, 0, 0, 0};
    if (HWND control = GetDlgItem(panel, IDC_THUMBNAIL)) {
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&r), 2);
    }
    return r;
}

void drawThumbnail(HWND panel)
{
    const uint8* picture = panelContext ? panelContext->thumbnail : nullptr;
    if (!picture) return;
    WindowDC dc(panel);
    if (!dc.get()) return;
    RECT r = thumbnailRect(panel);
    fillSolid(dc.get(), r, GetSysColor(COLOR_ACTIVEBORDER));
    // The picture at the panel's scale: each of its pixels a block of whole pixels.
    const int side = scaledLength(thumbnailSide, dpiOfWindow(panel));
    int left = (r.left + r.right) / 2 - side / 2, top = (r.top + r.bottom) / 2 - side / 2;
    uint32_t pixels[thumbnailSide * thumbnailSide];
    for (int k = 0; k < thumbnailSide * thumbnailSide; ++k)
        pixels[k] = uint32_t(picture[3 * k]) << 16 | uint32_t(picture[3 * k + 1]) << 8 | picture[3 * k + 2];
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, thumbnailSide, -thumbnailSide, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    SavedDC saved(dc.get());
    SetStretchBltMode(dc.get(), COLORONCOLOR);
    StretchDIBits(dc.get(), left, top, side, side, 0, 0, thumbnailSide, thumbnailSide, pixels, &info, DIB_RGB_COLORS,
                  SRCCOPY);
}

void previewSelection(HWND panel)
{
    char path[pathCapacity + 1];
    LRESULT length = SendMessageA(GetParent(panel), CDM_GETFILEPATH, sizeof path, reinterpret_cast<LPARAM>(path));
    if (length <= 0 || length > pathCapacity || !panelContext) return;
    fillThumbnailRamp(panelContext->thumbnail);
    bool pictureRead = false;
    readPresetFile(panelContext, path, presetReadPreview, &pictureRead);  // a folder keeps the ramp
    drawThumbnail(panel);
}

UINT_PTR CALLBACK panelHook(HWND panel, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        centreOverOwner(GetParent(panel));
        const OPENFILENAMEA* request = reinterpret_cast<const OPENFILENAMEA*>(lParam);
        panelContext = reinterpret_cast<FilterContext*>(request->lCustData);
        return 0;
    }
    case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lParam)->code == UINT(CDN_SELCHANGE)) previewSelection(panel);
        return 0;  // every file the dialog accepts is accepted
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(panel, &paint);
        EndPaint(panel, &paint);
        drawThumbnail(panel);
        return 1;
    }
    default: return 0;
    }
}

void prepareRequest(OPENFILENAMEA* request, char* path, const char* folder, const char* title, HWND owner)
{
    std::memset(request, 0, sizeof *request);
    request->lStructSize = sizeof *request;
    request->hwndOwner = owner;
    request->lpstrFilter = presetsFilter;
    request->nFilterIndex = 1;
    request->lpstrFile = path;
    request->nMaxFile = pathCapacity;
    request->lpstrInitialDir = folder[0] ? folder : nullptr;
    request->lpstrTitle = title;
    request->lpstrDefExt = "k00";
    request->lpfnHook = centringHook;
}

// Runs a file dialog under the guard flag.
template <typename Run> int guarded(Run run)
{
    if (fileDialogOpen) return 0;
    fileDialogOpen = true;
    int chosen = run();
    fileDialogOpen = false;
    return chosen;
}

void fileMessage(HWND owner, const char* what, const char* path)
{
    char text[400];
    std::snprintf(text, sizeof text, "The settings file could not be %s:\n\n%s", what, path);
    MessageBoxA(owner, text, "Nimbulo", MB_OK | MB_ICONWARNING);
}

}  // namespace

void clearFileDialogFlag() { fileDialogOpen = false; }

int showSaveDialog(char* path, const char* name, const char* folder, FilterContext*, HWND owner)
{
    return guarded([&] {
        std::snprintf(path, pathCapacity, "%s", name);
        OPENFILENAMEA request;
        prepareRequest(&request, path, folder, "Save a settings file", owner);
        request.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLEHOOK;
        return GetSaveFileNameA(&request) ? 1 : 0;
    });
}

int showOpenDialog(char* path, const char* folder, FilterContext* ctx, HWND owner)
{
    return guarded([&] {
        path[0] = '\0';
        OPENFILENAMEA request;
        prepareRequest(&request, path, folder, "Open a settings file", owner);
        request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLEHOOK;
        request.lCustData = reinterpret_cast<LPARAM>(ctx);
        HRSRC found = FindResourceA(moduleInstance(), RESOURCE_NAME(IDD_OPEN_PANEL), RT_DIALOG);
        HGLOBAL loaded = found ? LoadResource(moduleInstance(), found) : nullptr;
        void* panel = loaded ? LockResource(loaded) : nullptr;
        if (panel) {
            request.Flags |= OFN_ENABLETEMPLATEHANDLE;
            request.hInstance = static_cast<HINSTANCE>(panel);
            request.lpfnHook = panelHook;
        } else {
            request.hwndOwner = nullptr;  // no panel: centred on the desktop
        }
        int chosen = GetOpenFileNameA(&request) ? 1 : 0;
        if (loaded) FreeResource(loaded);
        panelContext = nullptr;
        return chosen;
    });
}

void saveCommand(FilterContext* ctx, HWND dialog, int id, uint8_t*)
{
    if (id != IDC_SAVE) return;
    grabThumbnail(ctx);
    char proposed[pathCapacity], path[pathCapacity];
    proposedPresetName(settingsOf(ctx)->presetName, proposed, sizeof proposed);
    char folder[sizeof(CloudSettings::presetFolder)];
    std::memcpy(folder, settingsOf(ctx)->presetFolder, sizeof folder);
    folder[sizeof folder - 1] = '\0';
    if (showSaveDialog(path, proposed, folder, ctx, dialog)) {
        // The file keeps the light to the hundredth; once it is written the
        // session goes on with what it keeps (the pad moves by less than a
        // pixel), so OK then paints what the file paints. A failed save
        // changes nothing.
        const CloudSettings unsaved = *settingsOf(ctx);
        bringToFilePrecision(settingsOf(ctx));
        if (savePresetFile(ctx, path)) {
            settingsToControls(dialog, ctx);
            notePresetPath(settingsOf(ctx), path);
        } else {
            *settingsOf(ctx) = unsaved;
            fileMessage(dialog, "saved", path);
        }
    }
    repaintControl(dialog, IDC_STATUS_LINE);
}

bool loadCommand(FilterContext* ctx, HWND dialog, int id, uint8_t* changed)
{
    if (id != IDC_LOAD) return true;
    fillThumbnailRamp(ctx->thumbnail);
    char path[pathCapacity];
    char folder[sizeof(CloudSettings::presetFolder)];
    std::memcpy(folder, settingsOf(ctx)->presetFolder, sizeof folder);
    folder[sizeof folder - 1] = '\0';
    if (!showOpenDialog(path, folder, ctx, dialog)) return true;
    fillThumbnailRamp(ctx->thumbnail);  // the loaded file's picture, or the ramp
    if (!loadPresetFile(ctx, path)) {
        fileMessage(dialog, "read", path);
        return false;
    }
    notePresetPath(settingsOf(ctx), path);
    settingsToControls(dialog, ctx);
    *changed = 1;
    repaintControl(dialog, IDC_STATUS_LINE);
    return true;
}
