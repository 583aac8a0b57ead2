#include "ui/AboutBox.h"

#include <shellapi.h>

#include "host/Dialogs.h"
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

static INT_PTR CALLBACK aboutProc(HWND box, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
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
    DialogBoxParamA(moduleInstance(), RESOURCE_NAME(IDD_ABOUT), nullptr, aboutProc, 0);
}

static INT_PTR CALLBACK messageProc(HWND box, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: centreWindow(box); return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == 0) EndDialog(box, LOWORD(wParam));
        return TRUE;
    default: return FALSE;
    }
}

void showMessage(const char* templateName) { DialogBoxParamA(moduleInstance(), templateName, nullptr, messageProc, 0); }
