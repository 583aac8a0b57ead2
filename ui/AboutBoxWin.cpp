#include "ui/AboutBox.h"

#include <shellapi.h>

#include "host/Dialogs.h"
#include "ui/Dpi.h"
#include "ui/Resources.h"
#include "ui/Text.h"

const char* const makerWebAddress = "https://nimbulo.example/";

enum { endedByWebButton = 6 };

static bool aboutOpen = false;
static HWND aboutWindow = nullptr;

bool aboutBoxOpen() { return aboutOpen; }
void clearAboutBoxFlag() { aboutOpen = false; }

void closeAboutBox()
{
    if (aboutOpen && aboutWindow) PostMessageA(aboutWindow, WM_CLOSE, 0, 0);
}

static void endAbout(HWND box, INT_PTR code)
{
    EndDialog(box, code);
    aboutOpen = false;
    aboutWindow = nullptr;
}

// The pictures of a dialog template, in template order, drawn for the box's
// DPI where it is not 96 (the template's bitmaps are made for 96 DPI).
static void scalePictures(HWND box, const int* pictures, int count)
{
    int dpi = dpiOfWindow(box);
    if (dpi == baseDpi) return;
    int n = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child && n < count; child = GetWindow(child, GW_HWNDNEXT)) {
        char kind[16] = "";
        GetClassNameA(child, kind, sizeof kind);
        if (lstrcmpiA(kind, "Static") != 0 || (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
        if (HBITMAP picture = createArtBitmap(pictures[n++], dpi))
            if (HGDIOBJ old = reinterpret_cast<HGDIOBJ>(
                    SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture))))
                DeleteObject(old);
    }
}

static INT_PTR CALLBACK aboutProc(HWND box, UINT message, WPARAM wParam, LPARAM)
{
    static const int pictures[] = {IDB_ABOUT_NAME, IDB_ABOUT_LOGO, IDB_ABOUT_TEXT};
    switch (message) {
    case WM_INITDIALOG:
        scalePictures(box, pictures, 3);
        centreWindow(box);
        aboutWindow = box;
        aboutOpen = true;
        return FALSE;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(box, &client);
        fillSolid(reinterpret_cast<HDC>(wParam), client, RGB(255, 255, 255));
        return TRUE;
    }
    case WM_CLOSE: endAbout(box, 1); return TRUE;
    case WM_DESTROY: releaseStaticBitmaps(box); return FALSE;
    case WM_COMMAND: {
        if (HIWORD(wParam) != 0) return TRUE;
        int id = LOWORD(wParam);
        if (id == IDC_WEB_SITE) {
            HINSTANCE shell = ShellExecuteA(nullptr, "open", makerWebAddress, nullptr, nullptr, SW_SHOWNORMAL);
            if (reinterpret_cast<INT_PTR>(shell) <= 32) showMessage(RESOURCE_NAME(IDD_NO_BROWSER));
            endAbout(box, endedByWebButton);
        } else {
            endAbout(box, id);
        }
        return TRUE;
    }
    default: return FALSE;
    }
}

void showAboutBox()
{
    if (aboutOpen) return;
    DpiAwarenessScope awareness;
    DialogBoxParamA(moduleInstance(), RESOURCE_NAME(IDD_ABOUT), nullptr, aboutProc, 0);
}

// The message's sign, drawn for the box's DPI where it is not 96; the icon
// made here is destroyed with the box (the template's own is the system's).
static void scaleSign(HWND box, bool destroy)
{
    if (dpiOfWindow(box) == baseDpi) return;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        if (destroy) {
            if (HICON own = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0))) DestroyIcon(own);
        } else if (HICON sign = createWarningIcon(dpiOfWindow(box))) {
            SendMessageA(child, STM_SETICON, reinterpret_cast<WPARAM>(sign), 0);
        }
    }
}

static INT_PTR CALLBACK messageProc(HWND box, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        scaleSign(box, false);
        centreWindow(box);
        return TRUE;
    case WM_DESTROY: scaleSign(box, true); return FALSE;
    case WM_COMMAND:
        if (HIWORD(wParam) == 0) EndDialog(box, LOWORD(wParam));
        return TRUE;
    default: return FALSE;
    }
}

void showMessage(const char* templateName)
{
    DpiAwarenessScope awareness;
    DialogBoxParamA(moduleInstance(), templateName, nullptr, messageProc, 0);
}
