#include "host/DialogDriver.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "cli/ImageFile.h"
#include "resources/ResourceIds.h"

#ifndef NIMBULO_SOURCE_DIR
#define NIMBULO_SOURCE_DIR "."
#endif

namespace testhost {

DialogDriver* DialogDriver::active = nullptr;
std::vector<DialogDriver::Pending> DialogDriver::pending;

// One hook for the thread, whichever drivers are alive; the newest one answers.
static HHOOK threadHook = nullptr;
static int drivers = 0;

DialogDriver::DialogDriver() : previous(active)
{
    active = this;
    // The real pointer stays clear of every dialog, so that no system mouse
    // move mixes with the test's own.
    SetCursorPos(0, 0);
    if (drivers++ == 0) threadHook = SetWindowsHookExA(WH_CALLWNDPROCRET, watch, nullptr, GetCurrentThreadId());
}

DialogDriver::~DialogDriver()
{
    if (--drivers == 0) {
        if (threadHook) UnhookWindowsHookEx(threadHook);
        threadHook = nullptr;
        for (const Pending& p : pending) KillTimer(nullptr, p.timer);
        pending.clear();
    }
    if (active == this) active = previous;
}

void DialogDriver::expect(const std::string& title, DialogHandler handler)
{
    queue.push_back(Expected{title, std::move(handler)});
}

static std::string titleOf(HWND window)
{
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    return title;
}

LRESULT CALLBACK DialogDriver::watch(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    DialogDriver* driver = active;
    if (code == HC_ACTION && driver && sent->message == WM_INITDIALOG &&
        !(GetWindowLongA(sent->hwnd, GWL_STYLE) & WS_CHILD)) {
        HWND dialog = sent->hwnd;
        std::string title = titleOf(dialog);
        driver->opened.push_back(title);
        DialogHandler handler;
        for (size_t i = 0; i < driver->queue.size(); ++i)
            if (driver->queue[i].title == title) {
                handler = std::move(driver->queue[i].handler);
                driver->queue.erase(driver->queue.begin() + long(i));
                break;
            }
        if (!handler) {
            // The main dialog's OK has its own id; everything else is cancelled.
            handler = [](HWND d) { PostMessageA(d, WM_COMMAND, GetDlgItem(d, IDC_OK) ? IDC_OK : IDCANCEL, 0); };
        }
        // The handler runs once the dialog's modal loop is up.
        UINT_PTR timer = SetTimer(nullptr, 0, 1, fire);
        pending.push_back(Pending{timer, dialog, std::move(handler)});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK DialogDriver::fire(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    for (size_t i = 0; i < pending.size(); ++i)
        if (pending[i].timer == timer) {
            Pending p = std::move(pending[i]);
            pending.erase(pending.begin() + long(i));
            if (!IsWindow(p.dialog)) return;
            p.handler(p.dialog);
            // A handler stopped by a failed assertion leaves its dialog up:
            // cancelled, the run goes on and reports instead of waiting for ever.
            if (IsWindow(p.dialog) && ::testing::Test::HasFatalFailure())
                PostMessageA(p.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return;
        }
}

void pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        HWND top = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (top && IsDialogMessageA(top, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

static LPARAM at(int x, int y) { return MAKELPARAM(WORD(short(x)), WORD(short(y))); }

void press(HWND dialog, int x, int y)
{
    SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
    pump();
}

void moveTo(HWND dialog, int x, int y)
{
    SendMessageA(dialog, WM_MOUSEMOVE, MK_LBUTTON, at(x, y));
    pump();
}

void release(HWND dialog, int x, int y)
{
    SendMessageA(dialog, WM_LBUTTONUP, 0, at(x, y));
    pump();
}

void click(HWND dialog, int x, int y)
{
    press(dialog, x, y);
    release(dialog, x, y);
}

void sendCommand(HWND dialog, int id, int notification)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, notification), 0);
}

void pressKey(HWND dialog, WPARAM key)
{
    HWND focus = GetFocus();
    HWND target = focus && (focus == dialog || IsChild(dialog, focus)) ? focus : dialog;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, LPARAM(0xC0000001u));
}

int freeGdiHandles()
{
    std::vector<HBRUSH> made;
    while (made.size() < 1000000)
        if (HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3)))
            made.push_back(brush);
        else
            break;
    for (HBRUSH brush : made) DeleteObject(brush);
    return int(made.size());
}

namespace {

// The window a mouse message at client point `p` reaches: the one holding
// the capture, else a button under the point, else the dialog (its other
// controls are drawn by the dialog itself).
HWND mouseTarget(HWND dialog, POINT p)
{
    HWND captured = GetCapture();
    if (captured && (captured == dialog || IsChild(dialog, captured))) return captured;
    HWND child = ChildWindowFromPointEx(dialog, p, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
    char kind[16] = "";
    if (child && child != dialog) GetClassNameA(child, kind, sizeof kind);
    return _stricmp(kind, "Button") == 0 ? child : dialog;
}

void mouse(HWND dialog, UINT message, WPARAM keys, POINT p)
{
    if (!IsWindow(dialog)) return;
    HWND to = mouseTarget(dialog, p);
    POINT local = p;
    MapWindowPoints(dialog, to, &local, 1);
    SendMessageA(to, message, keys, at(local.x, local.y));
    pump();
}

RECT controlRectOf(HWND dialog, int id)
{
    RECT r{0, 0, 0, 0};
    if (HWND control = GetDlgItem(dialog, id)) {
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    }
    return r;
}

}  // namespace

MonkeyTally runMonkey(HWND dialog, uint32_t seed, int gestures, const std::vector<int>& targets,
                      const std::vector<int>& spared, const std::string& sparedLetters)
{
    std::mt19937 random(seed);
    auto below = [&](long n) { return n > 0 ? long(random() % uint32_t(n)) : 0L; };
    RECT client;
    GetClientRect(dialog, &client);
    auto isSpared = [&](POINT p) {
        for (int id : spared) {
            RECT r = controlRectOf(dialog, id);
            if (PtInRect(&r, p)) return true;
        }
        return false;
    };
    auto pressPoint = [&] {
        for (;;) {
            POINT p{below(client.right), below(client.bottom)};
            if (!targets.empty() && random() % 2) {
                RECT r = controlRectOf(dialog, targets[size_t(below(long(targets.size())))]);
                p = POINT{r.left + below(r.right - r.left), r.top + below(r.bottom - r.top)};
            }
            if (!isSpared(p)) return p;
        }
    };
    // Keys that move the focus, press the focused control, zoom, and the
    // buttons' letters; Enter, Escape and the spared letters never.
    std::vector<WPARAM> keys = {VK_TAB,   VK_LEFT, VK_RIGHT, VK_UP,       VK_DOWN,   VK_SPACE, VK_HOME, VK_END,
                                VK_PRIOR, VK_NEXT, VK_ADD,   VK_SUBTRACT, VK_DELETE, VK_BACK,  VK_F1,   '5'};
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if (sparedLetters.find(letter) == std::string::npos &&
            sparedLetters.find(char(letter + 32)) == std::string::npos)
            keys.push_back(WPARAM(letter));

    MonkeyTally tally;
    for (int g = 0; g < gestures && IsWindow(dialog); ++g) {
        int kind = int(random() % 8);
        if (kind < 3) {  // a click
            POINT p = pressPoint();
            mouse(dialog, WM_LBUTTONDOWN, MK_LBUTTON, p);
            mouse(dialog, WM_LBUTTONUP, 0, p);
            tally.clicks++;
        } else if (kind < 5) {  // a drag, near or far
            POINT p = pressPoint();
            mouse(dialog, WM_LBUTTONDOWN, MK_LBUTTON, p);
            for (long moves = 1 + below(8); moves > 0; --moves) {
                if (random() % 3)
                    p = POINT{p.x + below(81) - 40, p.y + below(81) - 40};
                else
                    p = POINT{below(client.right + 80) - 40, below(client.bottom + 80) - 40};
                mouse(dialog, WM_MOUSEMOVE, MK_LBUTTON, p);
            }
            mouse(dialog, WM_LBUTTONUP, 0, p);
            tally.drags++;
        } else if (kind == 5) {  // a double click
            POINT p = pressPoint();
            mouse(dialog, WM_LBUTTONDOWN, MK_LBUTTON, p);
            mouse(dialog, WM_LBUTTONUP, 0, p);
            mouse(dialog, WM_LBUTTONDBLCLK, MK_LBUTTON, p);
            mouse(dialog, WM_LBUTTONUP, 0, p);
            tally.doubleClicks++;
        } else {  // a key
            WPARAM key = keys[size_t(below(long(keys.size())))];
            HWND focus = GetFocus();
            // Space presses the focused button: never a spared one.
            for (int id : spared)
                if (key == VK_SPACE && focus == GetDlgItem(dialog, id)) key = VK_TAB;
            pressKey(dialog, key);
            pump();
            tally.keys++;
        }
    }
    return tally;
}

uint32_t Screenshot::pixel(int x, int y) const
{
    const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

BITMAPINFO topDownBitmapInfo(int w, int h)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return info;
}

Screenshot captureAsIs(HWND window)
{
    Screenshot shot;
    RECT client;
    GetClientRect(window, &client);
    shot.width = client.right;
    shot.height = client.bottom;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = topDownBitmapInfo(shot.width, shot.height);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, section);
    BitBlt(memory, 0, 0, shot.width, shot.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    shot.rgb.resize(size_t(shot.width) * shot.height * 3);
    const uint8_t* bgra = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < size_t(shot.width) * shot.height; ++i) {
        shot.rgb[i * 3] = bgra[i * 4 + 2];
        shot.rgb[i * 3 + 1] = bgra[i * 4 + 1];
        shot.rgb[i * 3 + 2] = bgra[i * 4];
    }
    SelectObject(memory, previous);
    DeleteObject(section);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return shot;
}

Screenshot capture(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump();
    return captureAsIs(window);
}

static std::string programFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, length);
    return full.substr(0, full.find_last_of("\\/") + 1);
}

static bool readReference(const std::string& path, Image* image)
{
    std::string error;
    return readImage(path, 0, 4096, image, &error) == imageOk && image->channels == 3;
}

bool matchesReference(const Screenshot& shot, const std::string& name, std::string* why, int channelTolerance,
                      double allowedShare)
{
    Image actual;
    actual.width = shot.width;
    actual.height = shot.height;
    actual.channels = 3;
    actual.pixels = shot.rgb;
    std::string error;
    std::string folder = programFolder() + "screenshots";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string written = folder + "\\" + name + ".png";
    writePng(written, actual, &error);

    std::string reference = std::string(NIMBULO_SOURCE_DIR) + "/tests/screenshots/" + name + ".png";
    if (std::getenv("NIMBULO_UPDATE_SCREENSHOTS")) {
        CreateDirectoryA((std::string(NIMBULO_SOURCE_DIR) + "/tests/screenshots").c_str(), nullptr);
        if (!writePng(reference, actual, &error)) *why = error;
        return error.empty();
    }
    Image expected;
    if (!readReference(reference, &expected)) {
        *why = "no reference " + reference + " (the shot is " + written + ")";
        return false;
    }
    if (expected.width != shot.width || expected.height != shot.height) {
        *why = "size differs from " + reference;
        return false;
    }
    size_t different = 0;
    for (size_t i = 0; i < size_t(shot.width) * shot.height; ++i)
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(expected.pixels[i * 3 + c]) - int(shot.rgb[i * 3 + c])) > channelTolerance) {
                ++different;
                break;
            }
    double share = double(different) / double(size_t(shot.width) * shot.height);
    if (share > allowedShare) {
        char text[200];
        std::snprintf(text, sizeof text, "%zu pixels (%.3f%%) differ from the reference; the shot is ", different,
                      share * 100.0);
        *why = text + written;
        return false;
    }
    return true;
}

HMODULE loadedModule()
{
    static HMODULE module = [] {
        std::string path = programFolder() + "Nimbulo.8bf";
        return LoadLibraryA(path.c_str());
    }();
    return module;
}

}  // namespace testhost
#endif
