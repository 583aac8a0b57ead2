// An editor for the dialog tests: a test host with a landscape to paint
// clouds on, and the geometry helpers the tests drive the dialog with.
// Windows test programs only.
#pragma once

#ifdef _WIN32
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/DialogDriver.h"
#include "host/EngineHarness.h"
#include "host/TestHost.h"
#include "ui/Layout.h"
#include "ui/Scale.h"
#include "ui/SliderGeometry.h"

namespace testhost {

// A calm picture to paint clouds on: sky above a horizon, land below.
inline std::vector<uint8> landscape(int w, int h)
{
    std::vector<uint8> p(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8* q = &p[(size_t(y) * w + x) * 3];
            int horizon = h * 2 / 3 + (x * 7 % 23) / 8;
            int t = y < horizon ? y * 255 / horizon : (y - horizon) * 255 / (h - horizon + 1);
            if (y < horizon) {
                q[0] = uint8(70 + t * 110 / 255);
                q[1] = uint8(120 + t * 90 / 255);
                q[2] = uint8(200 + t * 40 / 255);
            } else {
                q[0] = uint8(90 - t * 40 / 255);
                q[1] = uint8(120 - t * 50 / 255);
                q[2] = uint8(60 - t * 30 / 255);
            }
        }
    return p;
}

// A host with the landscape, whose dialog shows the whole picture at zoom 1.
struct Editor : TestHost {
    explicit Editor(int w = 300, int h = 200) : TestHost(w, h, 3) { setPixels(landscape(w, h)); }
    Picture picture() const { return Picture{width, height, 3, false, source}; }
};

// A control's outer rectangle as the laid-out window has it.
inline PixelRect windowRect(HWND dialog, int id)
{
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return PixelRect{r.left, r.top, r.right, r.bottom};
}

inline int middleY(const PixelRect& r) { return (r.top + r.bottom) / 2; }
inline int middleX(const PixelRect& r) { return (r.left + r.right) / 2; }

// The pointer position on a track that holds the knob at `value`.
inline int trackX(const PixelRect& track, int value) { return track.left + 1 + (value * 126 + 99) / 100 + knobHold; }

// The same on a track laid out at `dpi`.
inline int trackX(const PixelRect& track, int value, int dpi)
{
    int start = track.left + scaledLength(1, dpi),
        divisor = widthOf(track) - scaledLength(1, dpi) - scaledLength(13, dpi);
    return start + (value * divisor + 99) / 100 + scaledLength(knobHold, dpi);
}

// The client area of `window`, repainted, matches its reviewed reference.
inline void expectScreenshot(HWND window, const char* name)
{
    std::string why;
    EXPECT_TRUE(matchesReference(capture(window), name, &why)) << why;
}

}  // namespace testhost
#endif
