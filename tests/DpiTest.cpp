// The real dialog at the screen scales a user has: 100, 125, 150 and 200 %.
// Wine reads the DPI when a process starts, so the test sets it and runs
// itself once per DPI; each run opens the dialog through the module and
// checks its layout, fonts, look and gestures at that scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/System.h"
#include "host/DpiRuns.h"
#include "host/Editor.h"
#include "resources/ResourceIds.h"
#include "ui/ControlTable.h"
#include "ui/Layout.h"
#include "ui/SliderGeometry.h"
#include "ui/Text.h"

using namespace testhost;

namespace {

// Thread DPI awareness, looked up as the module does.
using SetAwareness = HANDLE(WINAPI*)(HANDLE);
using GetAwareness = HANDLE(WINAPI*)();
using SameAwareness = BOOL(WINAPI*)(HANDLE, HANDLE);
template <typename Function> Function user32(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}
const HANDLE unaware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-1));
const HANDLE systemAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2));

std::string shotName(int dpi) { return dpi == 96 ? "dialog" : "dialog-" + std::to_string(dpi) + "dpi"; }

// The dialog laid out at `dpi`: its client area, every child's rectangle, the
// OK button's font, and every label's text clear of the other controls.
void expectLaidOutAt(HWND d, int dpi)
{
    RECT client;
    GetClientRect(d, &client);
    EXPECT_EQ(client.right, scaledLength(clientWidth, dpi));
    EXPECT_EQ(client.bottom, scaledLength(clientHeight, dpi));
    for (int id = 1; id < layoutCount; ++id) {
        if (!GetDlgItem(d, id) || !layoutVisible(id)) continue;
        PixelRect real = windowRect(d, id), table = outerRectOf(id, dpi);
        EXPECT_TRUE(real.left == table.left && real.top == table.top && real.right == table.right &&
                    real.bottom == table.bottom)
            << "control " << id << " at " << dpi;
    }
    HDC dc = GetDC(d);
    HFONT font = createDialogFont(dpi);
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    // The letters' em height as the system renders the font: within a pixel of 8 points.
    EXPECT_NEAR(metrics.tmHeight - metrics.tmInternalLeading, dialogFontPixels(dpi), 1);
    for (int id = 1; id < layoutCount; ++id) {
        if (controlKind(id) != Label || !layoutVisible(id) || id == IDC_STATUS_LINE) continue;
        const char* text = controlName(lookupControl(id).nameIndex);
        SIZE extent;
        GetTextExtentPoint32A(dc, text, int(strlen(text)), &extent);
        TextPoint at = textOrigin(outerRectOf(id, dpi), labelTextAlignment(lookupControl(id).low), -2, extent.cx, dpi);
        PixelRect drawn = {at.x, at.y, at.x + extent.cx, at.y + extent.cy};
        for (int other = 1; other < layoutCount; ++other) {
            if (other == id || !layoutVisible(other) || controlKind(other) == Label) continue;
            EXPECT_FALSE(rectsOverlap(drawn, outerRectOf(other, dpi))) << text << " on " << other;
        }
    }
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(d, dc);
    HFONT okFont = reinterpret_cast<HFONT>(SendMessageA(GetDlgItem(d, IDC_OK), WM_GETFONT, 0, 0));
    LOGFONTA ok = {};
    GetObjectA(okFont, sizeof ok, &ok);
    EXPECT_EQ(ok.lfHeight, -dialogFontPixels(dpi)) << "the OK button's font";
}

}  // namespace

TEST(ScreenScale, TheDialogAtEachDpiInAProcessOfItsOwn)
{
    if (runDpi()) GTEST_SKIP() << "a run of one DPI";
    expectEachDpiPasses("AtDpi.*");
}

TEST(AtDpi, LayoutFontsAndLookFollowTheScale)
{
    const int dpi = runDpi();
    if (!dpi) GTEST_SKIP();
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        expectLaidOutAt(d, dpi);
        expectScreenshot(d, shotName(dpi).c_str());
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(AtDpi, ClicksAndDragsAtScaledPositions)
{
    const int dpi = runDpi();
    if (!dpi) GTEST_SKIP();
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
        press(d, trackX(track, 20, dpi), middleY(track));
        moveTo(d, trackX(track, 80, dpi), middleY(track));
        release(d, trackX(track, 80, dpi), middleY(track));
        EXPECT_EQ(s->density, 80);

        // Dice, pressed where the scaled layout puts it: the button under that point takes the click.
        PixelRect dice = outerRectOf(IDC_DICE, dpi);
        HWND under = ChildWindowFromPoint(d, POINT{middleX(dice), middleY(dice)});
        ASSERT_EQ(GetDlgCtrlID(under), IDC_DICE);
        SendMessageA(under, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(widthOf(dice) / 2, heightOf(dice) / 2));
        SendMessageA(under, WM_LBUTTONUP, 0, MAKELPARAM(widthOf(dice) / 2, heightOf(dice) / 2));
        pump();
        EXPECT_EQ(std::string(s->presetName), "random settings");

        // The sun straight to the right of the pad's centre: light from the right, flat.
        PixelRect pad = windowRect(d, IDC_LIGHT_PAD);
        int cx = pad.left + scaledLength(43, dpi), cy = pad.top + scaledLength(41, dpi);
        press(d, cx, cy);
        moveTo(d, cx + scaledLength(40, dpi), cy);
        release(d, cx + scaledLength(40, dpi), cy);
        EXPECT_NEAR(s->lightX, 1.0f, 0.01f);
        EXPECT_NEAR(s->lightY, 0.0f, 0.01f);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(AtDpi, UnawareAndSystemAwareHostsGetTheSameDialogAndTheirOwnSettingBack)
{
    const int dpi = runDpi();
    auto set = user32<SetAwareness>("SetThreadDpiAwarenessContext");
    auto get = user32<GetAwareness>("GetThreadDpiAwarenessContext");
    auto same = user32<SameAwareness>("AreDpiAwarenessContextsEqual");
    if (!dpi || !set || !get || !same) GTEST_SKIP();
    for (HANDLE host : {unaware, systemAware}) {
        HANDLE before = set(host);
        ASSERT_NE(before, nullptr);
        Editor editor;
        editor.dialogs.expect("Nimbulo", [&](HWND d) {
            expectLaidOutAt(d, dpi);
            sendCommand(d, IDC_OK);
        });
        EXPECT_EQ(editor.run(true), noErr);
        EXPECT_TRUE(same(get(), host)) << "the host's own awareness after the call";
        set(before);
    }
}

TEST(AtDpi, ADpiChangeLaysTheDialogOutAsIfOpenedThere)
{
    const int dpi = runDpi();
    if (dpi != 96) GTEST_SKIP() << "from the 96-DPI run";
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        RECT window;
        GetWindowRect(d, &window);
        RECT suggested = {window.left, window.top, window.left + 2 * (window.right - window.left),
                          window.top + 2 * (window.bottom - window.top)};
        SendMessageA(d, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
        pump();
        expectLaidOutAt(d, 192);
        expectScreenshot(d, shotName(192).c_str());
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

// Timings for the notes, printed when NIMBULO_DPI_TIMINGS is set: opening the
// dialog, a full preview render of a picture that fills the pane, and a live
// render per move of a dragged knob, each the median of its runs.
TEST(AtDpi, Timings)
{
    const int dpi = runDpi();
    if (!dpi || !std::getenv("NIMBULO_DPI_TIMINGS")) GTEST_SKIP();
    auto now = [] {
        LARGE_INTEGER count, frequency;
        QueryPerformanceCounter(&count);
        QueryPerformanceFrequency(&frequency);
        return double(count.QuadPart) * 1000.0 / double(frequency.QuadPart);
    };
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    SetEnvironmentVariableA("NIMBULO_LIVE_BUDGET_MS", "100000");
    std::vector<double> opening, rendering, moving;
    for (int run = 0; run < 5; ++run) {
        Editor host(4000, 3000);
        double start = now();
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            opening.push_back(now() - start);
            double before = now();
            sendCommand(d, IDC_ECCE);  // a new seed: the whole pane rendered again
            rendering.push_back(now() - before);
            PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
            press(d, trackX(track, 10, dpi), middleY(track));
            for (int value = 12; value <= 30; value += 2) {
                before = now();
                moveTo(d, trackX(track, value, dpi), middleY(track));
                moving.push_back(now() - before);
            }
            release(d, trackX(track, 30, dpi), middleY(track));
            sendCommand(d, IDC_OK);
        });
        EXPECT_EQ(host.run(true), noErr);
    }
    std::printf("at %d DPI: opening %.0f ms, preview render %.0f ms, live move %.1f ms (medians)%s\n", dpi,
                median(opening), median(rendering), median(moving),
                emulatedProcessorName().empty() ? "" : ", emulated: not this machine's times");
    SetEnvironmentVariableA("NIMBULO_LIVE_BUDGET_MS", nullptr);
}
