// The dialog under a real mouse at every screen scale: xdotool moves the X
// pointer and presses its button, Wine delivers the events as it does a
// user's, and every click and drag must reach the control drawn under it,
// also when it arrives while the dialog is busy drawing or rendering.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "host/DpiRuns.h"
#include "host/Editor.h"
#include "host/RealMouse.h"
#include "resources/ResourceIds.h"
#include "settings/CloudSettings.h"
#include "ui/ControlTable.h"

using namespace testhost;

namespace {

const char* const saveTitle = "Save a settings file";
const char* const openTitle = "Open a settings file";

// What a command may change: every setting but the view and the dialog's state.
CloudSettings lookOf(const CloudSettings* s)
{
    CloudSettings look = *s;
    look.capturedControl = look.zoomRate = look.dialogActive = look.panX = look.panY = 0;
    look.dragMoved = 0;
    std::memset(look.pressPoint, 0, sizeof look.pressPoint);
    std::memset(look.currentPoint, 0, sizeof look.currentPoint);
    std::memset(look.presetName, 0, sizeof look.presetName);
    return look;
}

// The dialog has ended (its window goes when the modal loop this test runs in returns).
bool ended(HWND d) { return !IsWindow(d) || !IsWindowVisible(d); }

bool sameLook(const CloudSettings& a, const CloudSettings& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

PixelRect rectOf(HWND d, int id) { return windowRect(d, id); }

bool clickControl(HWND d, int id, int clicks = 1)
{
    PixelRect r = rectOf(d, id);
    return realClick(d, middleX(r), middleY(r), clicks);
}

std::string clickOn(HWND d, int id)
{
    PixelRect r = rectOf(d, id);
    return testhost::clickChain(d, middleX(r), middleY(r));
}

// Marks the status line's name, so that the command that names it next shows.
void markName(CloudSettings* s) { std::strcpy(s->presetName, "marked"); }
bool named(const CloudSettings* s, const char* name) { return std::strcmp(s->presetName, name) == 0; }

// A hook that runs `atStart` once the next main dialog has run its start-up
// (laid out, first preview rendered), before it first shows.
std::function<void(HWND)> atStart;
LRESULT CALLBACK afterInit(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_INITDIALOG && atStart && GetDlgItem(sent->hwnd, IDC_DICE)) {
        auto run = std::move(atStart);
        atStart = nullptr;
        run(sent->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

using SetAwareness = HANDLE(WINAPI*)(HANDLE);
SetAwareness setThreadAwareness()
{
    return reinterpret_cast<SetAwareness>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
}

}  // namespace

TEST(RealMouse, AtEachDpiInAProcessOfItsOwn)
{
    if (runDpi()) GTEST_SKIP() << "a run of one DPI";
    if (!realMouseAvailable()) GTEST_SKIP() << "no X display or no xdotool";
    expectEachDpiPasses("RealMouseAt.*");
}

// Every button, toggle, swatch, the zoom buttons, the about icon and the
// preview, each clicked where it is drawn and checked by its effect; then OK.
TEST(RealMouseAt, EveryControlAnswersAClickWhereItIsDrawn)
{
    const int dpi = runDpi();
    if (!dpi) GTEST_SKIP();
    // One host at a time: the module keeps one set of blocks.
    {
        Editor host(2400, 1800);
        host.record->colorServices = nullptr;  // the system's colour dialog, cancelled
        host.dialogs.expect("Color", [](HWND picker) { PostMessageA(picker, WM_COMMAND, IDCANCEL, 0); });
        host.dialogs.expect(openTitle, [](HWND open) { PostMessageA(open, WM_COMMAND, IDCANCEL, 0); });
        host.dialogs.expect(saveTitle, [](HWND save) { PostMessageA(save, WM_COMMAND, IDCANCEL, 0); });
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            CloudSettings* s = host.settings();
            // The preview, whole at its fit zoom: a click places the pattern's centre.
            PixelRect pane = rectOf(d, IDC_PREVIEW);
            float centreU = s->centreU;
            ASSERT_TRUE(realClick(d, pane.left + widthOf(pane) / 4, middleY(pane)));
            EXPECT_TRUE(waitFor([&] { return s->centreU < centreU - 0.1f; })) << "the preview at " << dpi;

            struct Named {
                int id;
                const char* name;
            };
            for (Named command :
                 {Named{IDC_DICE, "random settings"}, Named{IDC_CLOUDS, "plain"}, Named{IDC_ECCE, "random settings"}}) {
                markName(s);
                ASSERT_TRUE(clickControl(d, command.id));
                EXPECT_TRUE(waitFor([&] { return named(s, command.name); })) << command.id << " at " << dpi;
            }
            // Undo goes back to the plain defaults Clouds gave, before Ecce.
            CloudSettings withNewSeed = lookOf(s);
            ASSERT_TRUE(clickControl(d, IDC_UNDO));
            EXPECT_TRUE(waitFor([&] { return !sameLook(lookOf(s), withNewSeed); })) << "Undo at " << dpi;

            // The toggles flip where their boxes are drawn.
            int32 backlit = s->backlighting, automatic = s->autoPreview;
            ASSERT_TRUE(clickControl(d, IDC_BACKLIGHTING));
            EXPECT_TRUE(waitFor([&] { return s->backlighting == 1 - backlit; })) << "Backlighting at " << dpi;
            ASSERT_TRUE(clickControl(d, IDC_AUTO_PREVIEW));
            EXPECT_TRUE(waitFor([&] { return s->autoPreview == (automatic ? 0 : 1); })) << "Auto preview at " << dpi;
            ASSERT_TRUE(clickControl(d, IDC_AUTO_PREVIEW));
            EXPECT_TRUE(waitFor([&] { return s->autoPreview == automatic; }));
            // The seamless strip's middle is its left-right segment.
            ASSERT_TRUE(clickControl(d, IDC_SEAMLESS));
            EXPECT_TRUE(waitFor([&] { return s->wrap == wrapAcross; })) << "Seamless at " << dpi;

            // Zooming in and out one step, then to actual pixels.
            const int32 fit = s->zoomRate;
            if (fit < 3) {
                ADD_FAILURE() << "the picture is too small to zoom in on twice";
                sendCommand(d, IDC_CANCEL);
                return;
            }
            ASSERT_TRUE(clickControl(d, IDC_ZOOM_IN));
            EXPECT_TRUE(waitFor([&] { return s->zoomRate == fit - 1; })) << "+ at " << dpi;
            ASSERT_TRUE(clickControl(d, IDC_ZOOM_OUT));
            EXPECT_TRUE(waitFor([&] { return s->zoomRate == fit; })) << "- at " << dpi;
            // Quick clicks count one by one, though the second of two is a double click.
            ASSERT_TRUE(clickControl(d, IDC_ZOOM_IN, 2));
            EXPECT_TRUE(waitFor([&] { return s->zoomRate == fit - 2; })) << "+ twice at " << dpi;
            ASSERT_TRUE(clickControl(d, IDC_BACKLIGHTING, 3));
            EXPECT_TRUE(waitFor([&] { return s->backlighting == backlit; })) << "Backlighting thrice at " << dpi;
            ASSERT_TRUE(clickControl(d, IDC_ZOOM_READOUT));
            EXPECT_TRUE(waitFor([&] { return s->zoomRate == 1; })) << "% at " << dpi;

            // The dialogs behind the swatch, Load, Save and the about icon open
            // (and are cancelled by their handlers, or closed, changing nothing).
            const size_t opened = host.dialogs.opened.size();
            CloudSettings before = lookOf(s);
            for (int id : {IDC_CLOUD_COLOUR, IDC_LOAD, IDC_SAVE, IDC_ABOUT}) {
                const size_t expected = host.dialogs.opened.size() + 1;
                ASSERT_TRUE(clickControl(d, id));
                EXPECT_TRUE(waitFor([&] { return host.dialogs.opened.size() == expected; })) << id << " at " << dpi;
                settleFor(200);
            }
            EXPECT_EQ(host.dialogs.opened.size(), opened + 4);
            EXPECT_TRUE(sameLook(lookOf(s), before));

            ASSERT_TRUE(clickControl(d, IDC_OK));
            EXPECT_TRUE(waitFor([&] { return ended(d); })) << "OK at " << dpi;
        });
        EXPECT_EQ(host.run(true), noErr);
        EXPECT_EQ(host.dialogs.opened, (std::vector<std::string>{"Nimbulo", "Color", openTitle, saveTitle, "About"}));
        EXPECT_EQ(host.dialogs.waiting(), 0u);
    }

    // Cancel, clicked, leaves the image alone.
    Editor cancelled(300, 200);
    cancelled.dialogs.expect("Nimbulo", [&](HWND d) {
        ASSERT_TRUE(clickControl(d, IDC_CANCEL));
        EXPECT_TRUE(waitFor([&] { return ended(d); })) << "Cancel at " << dpi;
    });
    EXPECT_EQ(cancelled.run(true), userCanceledErr);
}

// Every slider dragged from 20 to 80, and the pad's sun to the right.
TEST(RealMouseAt, SlidersAndThePadFollowARealDrag)
{
    const int dpi = runDpi();
    if (!dpi) GTEST_SKIP();
    Editor host(300, 200);
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        int sliders = 0;
        for (int k = 0; k < kSettingWordCount; ++k) {
            const SettingWord& word = kSettingWords[k];
            if (controlKind(word.control) != SliderTrack) continue;
            PixelRect track = rectOf(d, word.control);
            ASSERT_TRUE(realDrag(d, trackX(track, 20, dpi), middleY(track), trackX(track, 80, dpi), middleY(track)));
            EXPECT_TRUE(waitFor([&] { return s->*word.field == 80; })) << word.name << " at " << dpi;
            ++sliders;
        }
        EXPECT_EQ(sliders, 13);
        PixelRect pad = rectOf(d, IDC_LIGHT_PAD);
        int cx = pad.left + scaledLength(43, dpi), cy = pad.top + scaledLength(41, dpi);
        ASSERT_TRUE(realDrag(d, cx, cy, cx + scaledLength(40, dpi), cy));
        EXPECT_TRUE(waitFor([&] { return s->lightX > 0.99f && s->lightY > -0.01f && s->lightY < 0.01f; }))
            << "the pad at " << dpi << ": " << s->lightX << ", " << s->lightY;
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

// A click that arrives while the dialog is busy is answered once it is free:
// during its first paint, during a render a command started, and during the
// render that follows a slider's release. The host's display is slow, so
// each of these takes a second or more.
TEST(RealMouseAt, AClickWhileTheDialogIsBusyIsAnsweredWhenItIsFree)
{
    const int dpi = runDpi();
    if (!dpi) GTEST_SKIP();
    Editor host(1200, 900);
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, afterInit, nullptr, GetCurrentThreadId());
    DWORD shown = 0;
    atStart = [&](HWND d) {
        // Laid out and rendered, not yet shown: the first paint will take 1.5 s.
        markName(host.settings());
        host.displayDelayMs = 1500;
        shown = GetTickCount();
        xdotoolLater(clickOn(d, IDC_DICE), 300);
    };
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        EXPECT_GE(GetTickCount() - shown, 1400u) << "the first paint was not slow";
        host.displayDelayMs = 0;
        EXPECT_TRUE(waitFor([&] { return named(s, "random settings"); })) << "during the first paint at " << dpi;

        // A render that a command started: Ecce, shown row by row, slowly.
        host.displayDelayMs = 12;
        DWORD start = GetTickCount();
        xdotoolLater(clickOn(d, IDC_DICE), 300);
        sendCommand(d, IDC_ECCE);
        DWORD took = GetTickCount() - start;
        EXPECT_GT(took, 1000u) << "the render was not slow";
        markName(s);
        EXPECT_TRUE(waitFor([&] { return named(s, "random settings"); })) << "during a render at " << dpi;

        // The render after a slider's release, with Dice clicked during it;
        // Undo then shows the slider's step came first. No live renders while
        // the knob moves, so that the release renders.
        SetEnvironmentVariableA("NIMBULO_LIVE_BUDGET_MS", "0");
        PixelRect track = rectOf(d, IDC_DENSITY_TRACK);
        std::string chain = "mousemove --sync " + screenPoint(d, trackX(track, 20, dpi), middleY(track)) +
                            " mousedown 1 mousemove --sync " + screenPoint(d, trackX(track, 80, dpi), middleY(track)) +
                            " mouseup 1 sleep 0.3 " + clickOn(d, IDC_DICE);
        markName(s);
        xdotoolLater(chain, 0);
        EXPECT_TRUE(waitFor([&] { return named(s, "random settings"); }, 30000)) << "after a release at " << dpi;
        host.displayDelayMs = 0;
        SetEnvironmentVariableA("NIMBULO_LIVE_BUDGET_MS", nullptr);
        sendCommand(d, IDC_UNDO);
        EXPECT_EQ(s->density, 80);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
    UnhookWindowsHookEx(hook);
    atStart = nullptr;
}

// Hosts that are not per-monitor aware get a dialog that answers the same.
TEST(RealMouseAt, DpiUnawareAndSystemAwareHostsToo)
{
    const int dpi = runDpi();
    SetAwareness set = setThreadAwareness();
    if (!dpi || !set) GTEST_SKIP();
    for (INT_PTR awareness : {-1, -2}) {  // unaware, system aware
        HANDLE before = set(reinterpret_cast<HANDLE>(awareness));
        ASSERT_NE(before, nullptr);
        Editor host(300, 200);
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            markName(host.settings());
            ASSERT_TRUE(clickControl(d, IDC_DICE));
            EXPECT_TRUE(waitFor([&] { return named(host.settings(), "random settings"); }))
                << "a host of awareness " << awareness << " at " << dpi;
            ASSERT_TRUE(clickControl(d, IDC_OK));
            EXPECT_TRUE(waitFor([&] { return ended(d); }));
        });
        EXPECT_EQ(host.run(true), noErr);
        set(before);
    }
}

// Careless hands with a real mouse, at 150 %: random clicks and drags over the
// whole client area (OK and Cancel spared) never end the dialog, and OK then
// paints (the synthetic monkey checks what the cache keeps).
TEST(RealMouseAt, ThreeHundredRandomGestures)
{
    const int dpi = runDpi();
    if (dpi != 144) GTEST_SKIP() << "at 144 DPI only";
    std::mt19937 random(20261210);
    Editor host(400, 300);
    host.record->colorServices = nullptr;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        RECT client;
        GetClientRect(d, &client);
        PixelRect ok = rectOf(d, IDC_OK), cancel = rectOf(d, IDC_CANCEL);
        auto point = [&] {
            for (;;) {
                POINT p{LONG(random() % uint32_t(client.right)), LONG(random() % uint32_t(client.bottom))};
                if (!pixelInRect(p.x, p.y, ok) && !pixelInRect(p.x, p.y, cancel)) return p;
            }
        };
        for (int g = 0; g < 300 && IsWindow(d); ++g) {
            POINT a = point(), b = point();
            ASSERT_TRUE(random() % 3 ? realClick(d, a.x, a.y) : realDrag(d, a.x, a.y, b.x, b.y, 3));
            settleFor(20);
        }
        ASSERT_TRUE(IsWindow(d)) << "the gestures ended the dialog";
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}
