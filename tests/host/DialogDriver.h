// Drives the plug-in's real dialogs from inside a test, on the test's own
// thread: every dialog that opens (the main dialog, the about box, messages,
// the file dialogs) is handed to the next handler queued for its title, which
// runs inside the dialog's modal loop and talks to it with the dialog
// manager's own messages. Windows test programs only.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testhost {

using DialogHandler = std::function<void(HWND dialog)>;

class DialogDriver {
public:
    DialogDriver();
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // The next dialog titled `title` runs `handler`. A dialog nobody expects
    // is accepted (the main dialog) or cancelled (any other).
    void expect(const std::string& title, DialogHandler handler);

    // Titles of every dialog that opened, in order.
    std::vector<std::string> opened;
    // Handlers still waiting for their dialog.
    size_t waiting() const { return queue.size(); }

private:
    struct Expected {
        std::string title;
        DialogHandler handler;
    };
    std::vector<Expected> queue;
    DialogDriver* previous;
    static DialogDriver* active;
    static LRESULT CALLBACK watch(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK fire(HWND, UINT, UINT_PTR timer, DWORD);
    struct Pending {
        UINT_PTR timer;
        HWND dialog;
        DialogHandler handler;
    };
    static std::vector<Pending> pending;
};

// Dispatches every message waiting for this thread (posted moves, paints,
// commands) the way a dialog's modal loop would.
void pump();

// Mouse and keyboard as the dialog manager delivers them, at client points.
void press(HWND dialog, int x, int y);
void moveTo(HWND dialog, int x, int y);
void release(HWND dialog, int x, int y);
void click(HWND dialog, int x, int y);
void sendCommand(HWND dialog, int id, int notification = 0);
// Posts a key down and up to the focused control (or the dialog) and pumps,
// so the dialog manager turns Enter and Escape into its commands.
void pressKey(HWND dialog, WPARAM key);

// How many more objects the graphics interface lets this process create. Two
// counts differ by the objects made and kept in between (under Wine,
// GetGuiResources answers 0, so they are counted by making them).
int freeGdiHandles();

// Careless hands: `gestures` random clicks, drags, double clicks and keys,
// drawn from `seed`, anywhere on the dialog's client area and, half of the
// time, on the controls `targets`. Presses spare the controls `spared` (the
// ones that end the dialog), and keys spare Enter, Escape and the letters
// `sparedLetters`. Mouse messages go where the system would send them: to a
// button under the pointer, else to the dialog, and during a drag to the
// window holding the capture. Dialogs that open meanwhile are the driver's.
struct MonkeyTally {
    int clicks = 0, drags = 0, doubleClicks = 0, keys = 0;
    int total() const { return clicks + drags + doubleClicks + keys; }
};
MonkeyTally runMonkey(HWND dialog, uint32_t seed, int gestures, const std::vector<int>& targets,
                      const std::vector<int>& spared, const std::string& sparedLetters);

// The client area as 8-bit RGB rows from the top.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    uint32_t pixel(int x, int y) const;  // 0xRRGGBB
};
// Repaints the window whole, then reads its client area back.
Screenshot capture(HWND window);
// Reads back without repainting first (mid-gesture pictures).
Screenshot captureAsIs(HWND window);

// Writes `shot` as screenshots/<name>.png in the test's folder, and compares
// it with the reference tests/screenshots/<name>.png: true when at most
// `allowedShare` of the pixels differ by more than `channelTolerance` in a
// channel. With NIMBULO_UPDATE_SCREENSHOTS set the reference is rewritten.
bool matchesReference(const Screenshot& shot, const std::string& name, std::string* why, int channelTolerance = 24,
                      double allowedShare = 0.004);

// A 32-bit, top-down device-independent bitmap of w x h.
BITMAPINFO topDownBitmapInfo(int w, int h);

// The built module beside the test program, loaded (once) for its resources.
HMODULE loadedModule();

}  // namespace testhost
#endif
