#include "ui/Dpi.h"

#include "ui/Scale.h"

namespace {

// DPI awareness contexts are pseudo-handles with fixed values.
const HANDLE systemAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2));
const HANDLE perMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
const HANDLE perMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));

// Dialog and control DPI-change behaviours: everything off.
const DWORD dialogChangesOff = 0x0001 | 0x0002 | 0x0004;  // DDC_DISABLE_ALL
const DWORD controlChangesOff = 0x0001 | 0x0002;          // DCDC_DISABLE_FONTUPDATE, DCDC_DISABLE_RELAYOUT

template <typename Function> Function user32(const char* name)
{
    HMODULE user = GetModuleHandleA("user32.dll");
    return user ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user, name))) : nullptr;
}

using SetThreadAwareness = HANDLE(WINAPI*)(HANDLE);
using GetWindowDpi = UINT(WINAPI*)(HWND);
using SetDialogBehavior = BOOL(WINAPI*)(HWND, DWORD, DWORD);
using SetControlBehavior = BOOL(WINAPI*)(HWND, DWORD, DWORD);
using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

BOOL CALLBACK keepControlOwn(HWND child, LPARAM function)
{
    reinterpret_cast<SetControlBehavior>(function)(child, controlChangesOff, controlChangesOff);
    return TRUE;
}

}  // namespace

DpiAwarenessScope::DpiAwarenessScope() : previous_(nullptr)
{
    auto set = user32<SetThreadAwareness>("SetThreadDpiAwarenessContext");
    if (!set) return;
    // Per monitor where the system can (version 2 since Windows 10 1703, else
    // version 1, as Wine has it), system aware only where it cannot: Wine
    // draws a system-aware window right above 96 DPI but delivers none of a
    // real mouse's clicks to it (synthetic messages still arrive).
    previous_ = set(perMonitorAwareV2);
    if (!previous_) previous_ = set(perMonitorAware);
    if (!previous_) previous_ = set(systemAware);
}

DpiAwarenessScope::~DpiAwarenessScope()
{
    if (!previous_) return;
    if (auto set = user32<SetThreadAwareness>("SetThreadDpiAwarenessContext")) set(previous_);
}

int dpiOfWindow(HWND window)
{
    if (auto get = user32<GetWindowDpi>("GetDpiForWindow"))
        if (UINT dpi = window ? get(window) : 0) return int(dpi);
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : baseDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : int(baseDpi);
}

void keepDialogLayoutOwn(HWND dialog)
{
    if (auto dialogBehavior = user32<SetDialogBehavior>("SetDialogDpiChangeBehavior"))
        dialogBehavior(dialog, dialogChangesOff, dialogChangesOff);
    if (auto controlBehavior = user32<SetControlBehavior>("SetDialogControlDpiChangeBehavior"))
        EnumChildWindows(dialog, keepControlOwn, reinterpret_cast<LPARAM>(controlBehavior));
}

SIZE frameExtents(DWORD style, DWORD exStyle, int dpi)
{
    RECT r = {0, 0, 100, 100};
    auto adjust = user32<AdjustForDpi>("AdjustWindowRectExForDpi");
    if (!adjust || !adjust(&r, style, FALSE, exStyle, UINT(dpi))) AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return SIZE{(r.right - r.left) - 100, (r.bottom - r.top) - 100};
}

RECT workAreaOf(HWND window)
{
    MONITORINFO info;
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoA(monitor, &info)) return info.rcWork;
    RECT desktop = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &desktop, 0);
    return desktop;
}
