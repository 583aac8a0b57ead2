// A real mouse for the dialog tests: xdotool moves the X server's pointer and
// presses its button, and Wine delivers the events to the windows under the
// pointer as it does a user's mouse (through its virtual desktop), with the
// hit-testing, capture and queueing a user's clicks go through. Windows test
// programs under Wine on an X server only.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <functional>
#include <string>

namespace testhost {

// True when the real mouse can be used here: an X display and xdotool.
bool realMouseAvailable();

// Runs xdotool with `arguments` (its command chain) and answers this thread's
// messages until it has sent every event, so the dialog keeps working
// meanwhile. False when it could not run or did not finish.
bool xdotool(const std::string& arguments);

// Starts xdotool with `arguments` after `delayMs` and returns at once: input
// that arrives while the thread is busy.
void xdotoolLater(const std::string& arguments, int delayMs);

// The screen point of client point (x, y) of `window`, as xdotool takes it.
std::string screenPoint(HWND window, int x, int y);

// The xdotool chain of `clicks` quick clicks (a double click is two) at
// client point (x, y) of `window`. The
// pointer comes from two pixels away: under Wine's desktop, a "mousemove
// --sync" to where the pointer already is waits for the next motion, so a
// second click on the same spot would come only when something else moved it.
std::string clickChain(HWND window, int x, int y, int clicks = 1);

// Real gestures at client points of `window`.
bool realClick(HWND window, int x, int y, int clicks = 1);
bool realDrag(HWND window, int x0, int y0, int x1, int y1, int steps = 4);

// Answers this thread's messages until `done` holds or `timeoutMs` passes;
// what `done` said last.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000);

// Answers this thread's messages for `ms`, for input that must change nothing.
void settleFor(int ms);

}  // namespace testhost
#endif
