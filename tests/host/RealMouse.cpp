#include "host/RealMouse.h"

#ifdef _WIN32
#include <cstdio>
#include <cstdlib>

#include "host/DialogDriver.h"

namespace testhost {

namespace {

const char* const xdotoolPath = "/usr/bin/xdotool";

// A Unix path as Wine's drive Z: shows it.
std::string windowsPath(const std::string& unixPath)
{
    std::string windows = "Z:" + unixPath;
    for (char& c : windows)
        if (c == '/') c = '\\';
    return windows;
}

bool unixFileExists(const std::string& path)
{
    return GetFileAttributesA(windowsPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void removeUnixFile(const std::string& path) { DeleteFileA(windowsPath(path).c_str()); }

// Wine starts a Unix program given its Unix path: through the shell, which
// marks the end of the chain with a file (the process handle Wine gives back
// for a Unix program cannot be waited on).
bool startShell(const std::string& script)
{
    std::string command = "/bin/sh -c \"" + script + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

std::string doneMarker()
{
    static int count = 0;
    char name[96];
    std::snprintf(name, sizeof name, "/tmp/nimbulo-xdotool-%lu-%d", GetCurrentProcessId(), ++count);
    return name;
}

}  // namespace

bool realMouseAvailable()
{
    const char* display = std::getenv("DISPLAY");
    return display && *display && unixFileExists(xdotoolPath);
}

bool xdotool(const std::string& arguments)
{
    std::string done = doneMarker();
    removeUnixFile(done);
    if (!startShell(std::string(xdotoolPath) + " " + arguments + "; : > " + done)) return false;
    bool finished = waitFor([&] { return unixFileExists(done); }, 20000);
    removeUnixFile(done);
    return finished;
}

void xdotoolLater(const std::string& arguments, int delayMs)
{
    char pause[32];
    std::snprintf(pause, sizeof pause, "sleep %d.%03d; ", delayMs / 1000, delayMs % 1000);
    startShell(pause + std::string(xdotoolPath) + " " + arguments);
}

std::string screenPoint(HWND window, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(window, &p);
    return std::to_string(p.x) + " " + std::to_string(p.y);
}

std::string clickChain(HWND window, int x, int y, int clicks)
{
    return "mousemove --sync " + screenPoint(window, x + 2, y + 2) + " mousemove --sync " + screenPoint(window, x, y) +
           " click --repeat " + std::to_string(clicks) + " --delay 60 1";
}

bool realClick(HWND window, int x, int y, int clicks) { return xdotool(clickChain(window, x, y, clicks)); }

bool realDrag(HWND window, int x0, int y0, int x1, int y1, int steps)
{
    std::string chain = "mousemove --sync " + screenPoint(window, x0, y0) + " mousedown 1";
    for (int k = 1; k <= steps; ++k)
        chain += " mousemove --sync " + screenPoint(window, x0 + (x1 - x0) * k / steps, y0 + (y1 - y0) * k / steps);
    return xdotool(chain + " mouseup 1");
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        pump();
        if (done()) return true;
        if (int(GetTickCount() - start) > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void settleFor(int ms)
{
    waitFor([] { return false; }, ms);
}

}  // namespace testhost
#endif
