// The real dialog, opened through the module's entry point under Wine and
// driven with the dialog manager's own messages: its layout, commands,
// gestures, preview, about box and screenshots.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "host/DialogDriver.h"
#include "host/Editor.h"
#include "host/EngineHarness.h"
#include "host/TestHost.h"
#include "resources/ResourceIds.h"
#include "settings/Persistence.h"
#include "settings/PresetFile.h"
#include "ui/Layout.h"
#include "ui/SliderGeometry.h"

using namespace testhost;

namespace {

bool fileExists(const std::string& path) { return std::ifstream(path).good(); }

bool sameSettings(const CloudSettings& a, const CloudSettings& b)
{
    return a.density == b.density && a.puffs == b.puffs && a.seed == b.seed && a.lightX == b.lightX &&
           a.cloudColor.red == b.cloudColor.red && a.backlighting == b.backlighting &&
           std::strcmp(a.presetName, b.presetName) == 0;
}

}  // namespace

TEST(Dialog, OpensWithItsLayoutAndLooksAsReviewed)
{
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        RECT client;
        GetClientRect(d, &client);
        EXPECT_EQ(client.right, 791);
        EXPECT_EQ(client.bottom, 559);
        PixelRect track = windowRect(d, IDC_PUFFS_TRACK);
        EXPECT_EQ(track.left, 126);
        EXPECT_EQ(track.top, 22);
        EXPECT_EQ(track.right, 266);
        EXPECT_EQ(track.bottom, 42);
        for (int id : {IDC_DICE, IDC_OK, IDC_PREVIEW, IDC_STATUS_LINE}) {
            PixelRect real = windowRect(d, id), table = outerRectOf(id);
            EXPECT_EQ(std::memcmp(&real, &table, sizeof real), 0) << id;
        }
        expectScreenshot(d, "dialog");
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
    EXPECT_EQ(host.dialogs.opened, std::vector<std::string>{"Nimbulo"});
}

TEST(Dialog, OkAndEnterAcceptAndRender)
{
    for (bool enter : {false, true}) {
        Editor host;
        std::remove(cachedSettingsPath().c_str());
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
            click(d, trackX(track, 20), middleY(track));
            if (enter)
                pressKey(d, VK_RETURN);
            else
                sendCommand(d, IDC_OK);
        });
        ASSERT_EQ(host.run(true), noErr) << enter;
        EXPECT_EQ(host.settings()->density, 20) << enter;
        CloudSettings expected = defaultSettings();
        expected.density = 20;
        bringToFilePrecision(&expected);  // what OK accepts is what the cache keeps
        EXPECT_TRUE(host.output == renderInProcess(expected, host.picture()).pixels) << enter;
        EXPECT_TRUE(fileExists(cachedSettingsPath())) << enter;
    }
}

TEST(Dialog, OkPaintsWhatTheNextRunWithoutTheDialogPaints)
{
    // The light as the pad makes it (no whole hundredths), and Backlighting,
    // which brings the light's height into the picture.
    const struct {
        const char* name;
        void (*gesture)(HWND d);
    } gestures[] = {
        {"pad drag",
         [](HWND d) {
             PixelRect r = windowRect(d, IDC_LIGHT_PAD);
             press(d, r.left + 43, r.top + 41);
             moveTo(d, r.left + 43 - 19, r.top + 41 + 13);
             release(d, r.left + 43 - 19, r.top + 41 + 13);
         }},
        {"Backlighting ticked",
         [](HWND d) {
             PixelRect box = windowRect(d, IDC_BACKLIGHTING);
             click(d, middleX(box), middleY(box));
         }},
        {"Seamless both ways",
         [](HWND d) {
             PixelRect both = choiceSegment(windowRect(d, IDC_SEAMLESS), wrapBoth);
             click(d, middleX(both), middleY(both));
         }},
    };
    for (const auto& g : gestures) {
        std::vector<uint8> picture, cache;
        {
            Editor accepted;
            accepted.dialogs.expect("Nimbulo", [&](HWND d) {
                g.gesture(d);
                sendCommand(d, IDC_OK);
            });
            ASSERT_EQ(accepted.run(true), noErr) << g.name;
            picture = accepted.output;
            std::ifstream in(cachedSettingsPath(), std::ios::binary);
            cache.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        // The editor's "repeat last filter", later: no dialog, the cache.
        Editor repeated;
        std::ofstream(cachedSettingsPath(), std::ios::binary)
            .write(reinterpret_cast<const char*>(cache.data()), std::streamsize(cache.size()));
        ASSERT_EQ(repeated.run(false), noErr) << g.name;
        EXPECT_TRUE(repeated.output == picture) << g.name;
        EXPECT_TRUE(repeated.output != repeated.source) << g.name;
    }
}

TEST(Dialog, CancelAndEscapeRestoreAndLeaveTheImage)
{
    for (bool escape : {false, true}) {
        Editor host;
        std::remove(cachedSettingsPath().c_str());
        CloudSettings atStart{};
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            atStart = *host.settings();
            sendCommand(d, IDC_DICE);
            EXPECT_FALSE(sameSettings(*host.settings(), atStart));
            if (escape)
                pressKey(d, VK_ESCAPE);
            else
                sendCommand(d, IDC_CANCEL);
        });
        EXPECT_EQ(host.run(true), userCanceledErr) << escape;
        EXPECT_TRUE(host.output == host.source) << escape;
        EXPECT_TRUE(sameSettings(*host.settings(), atStart)) << escape;
        EXPECT_EQ(host.settings()->showDialog, 0);
        EXPECT_FALSE(fileExists(cachedSettingsPath())) << escape;
    }
}

TEST(Dialog, CommandsReplaceTheSettingsAndUndoGoesBack)
{
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        CloudSettings start = *s;
        sendCommand(d, IDC_DICE, 1);  // a notification other than a click does nothing
        EXPECT_TRUE(sameSettings(*s, start));

        sendCommand(d, IDC_DICE);
        EXPECT_STREQ(s->presetName, "random settings");
        CloudSettings diced = *s;
        sendCommand(d, IDC_UNDO);
        EXPECT_TRUE(sameSettings(*s, start));
        sendCommand(d, IDC_UNDO);  // and redo
        EXPECT_TRUE(sameSettings(*s, diced));

        int32 density = s->density;
        sendCommand(d, IDC_ECCE);  // a new seed, nothing else
        EXPECT_EQ(s->density, density);
        EXPECT_GE(s->seed, 0);
        EXPECT_LE(s->seed, 2047);

        sendCommand(d, IDC_CLOUDS);
        EXPECT_STREQ(s->presetName, "plain");
        EXPECT_EQ(s->density, 66);
        EXPECT_EQ(s->seed, 21);
        expectScreenshot(d, "dialog-plain");  // the status line shows the name
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(Dialog, OpensWithoutAHostWindowAndWithoutAPreview)
{
    const struct {
        const char* what;
        void (*spoil)(FilterRecord&);
    } hosts[] = {
        {"no platform data", [](FilterRecord& r) { r.platformData = nullptr; }},
        {"no displayPixels", [](FilterRecord& r) { r.displayPixels = nullptr; }},
        {"no sampling", [](FilterRecord& r) { r.samplingSupport = 0; }},
    };
    for (const auto& h : hosts) {
        Editor host(900, 700);
        h.spoil(*host.record);
        bool opened = false;
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            opened = true;
            sendCommand(d, IDC_DICE);
            sendCommand(d, IDC_ZOOM_IN);  // "+": inert without sampling
            sendCommand(d, IDC_OK);
        });
        EXPECT_EQ(host.run(true), noErr) << h.what;
        EXPECT_TRUE(opened) << h.what;
        EXPECT_EQ(host.settings()->zoomRate, 1) << h.what;
    }
}

TEST(AboutBox, FromTheHostAndFromTheIcon)
{
    Editor host;
    // The About selector: the box opens with no owner; Escape closes it.
    host.dialogs.expect("About", [&](HWND about) {
        EXPECT_EQ(GetWindow(about, GW_OWNER), nullptr);
        expectScreenshot(about, "about");
        pressKey(about, VK_ESCAPE);
    });
    host.call(filterSelectorAbout);
    EXPECT_EQ(host.dialogs.opened, std::vector<std::string>{"About"});

    // The about icon fires on the release, wherever the button comes up; a
    // second request while the box is open does nothing; the box's button
    // tries the web page (without a browser the message says so) and closes it.
    host.dialogs.opened.clear();
    HWND mainDialog = nullptr;
    host.dialogs.expect("About", [&](HWND about) {
        sendCommand(mainDialog, IDC_ABOUT);
        pump();
        sendCommand(about, IDC_WEB_SITE);
    });
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        mainDialog = d;
        PixelRect icon = windowRect(d, IDC_ABOUT);
        press(d, middleX(icon), middleY(icon));
        release(d, 700, 100);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
    ASSERT_GE(host.dialogs.opened.size(), 2u);
    EXPECT_EQ(host.dialogs.opened[1], "About");
    int abouts = 0;
    for (const std::string& title : host.dialogs.opened) abouts += title == "About";
    EXPECT_EQ(abouts, 1);
    EXPECT_EQ(host.dialogs.waiting(), 0u);
}

// Renders as slow as an old machine's: drags wait for the release.
struct SlowRenders {
    SlowRenders() { SetEnvironmentVariableA("NIMBULO_LIVE_BUDGET_MS", "0"); }
    ~SlowRenders() { SetEnvironmentVariableA("NIMBULO_LIVE_BUDGET_MS", nullptr); }
};

TEST(Gestures, SliderFollowsThePointerAndTheReleaseCommits)
{
    SlowRenders slow;
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
        int displays = host.counts.display;
        press(d, trackX(track, 80), middleY(track));  // the knob jumps under the pointer at once
        EXPECT_EQ(s->density, 66);                    // the settings wait for the release
        std::string why;
        EXPECT_TRUE(matchesReference(captureAsIs(d), "slider-dragging", &why)) << why;
        moveTo(d, track.left - 50, middleY(track));
        moveTo(d, track.right + 50, middleY(track));
        EXPECT_EQ(host.counts.display, displays);  // no render while dragging
        release(d, track.right + 50, middleY(track));
        EXPECT_EQ(s->density, 100);
        EXPECT_GT(host.counts.display, displays + 50);  // one preview render with its rows

        press(d, track.left - 50 + 60, middleY(track));  // back to the far left
        moveTo(d, track.left - 60, middleY(track));
        release(d, track.left - 60, middleY(track));
        EXPECT_EQ(s->density, 0);
        sendCommand(d, IDC_UNDO);
        EXPECT_EQ(s->density, 100);

        // With Auto preview off, a change renders nothing.
        PixelRect box = windowRect(d, IDC_AUTO_PREVIEW);
        click(d, middleX(box), middleY(box));
        EXPECT_EQ(s->autoPreview, 0);
        displays = host.counts.display;
        click(d, trackX(track, 40), middleY(track));
        EXPECT_EQ(s->density, 40);
        EXPECT_EQ(host.counts.display, displays);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(Gestures, TogglePressesAndReleases)
{
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        PixelRect box = windowRect(d, IDC_BACKLIGHTING);
        int x = middleX(box), y = middleY(box);
        // The box's interior as drawn: white, grey while pressed.
        auto interior = [&] { return captureAsIs(d).pixel(box.left + 4, box.top + 5); };
        uint32_t normal = interior();
        press(d, x, y);
        uint32_t pressed = interior();
        EXPECT_NE(pressed, normal);
        moveTo(d, x + 40, y);
        EXPECT_EQ(interior(), normal);
        moveTo(d, x, y);
        EXPECT_EQ(interior(), pressed);
        std::string why;
        EXPECT_TRUE(matchesReference(captureAsIs(d), "toggle-pressed", &why)) << why;
        int displays = host.counts.display;
        release(d, x, y);
        EXPECT_EQ(s->backlighting, 1);
        EXPECT_GT(host.counts.display, displays);

        // Released outside: no change, no render.
        press(d, x, y);
        moveTo(d, x + 40, y);
        displays = host.counts.display;
        release(d, x + 40, y);
        EXPECT_EQ(s->backlighting, 1);
        EXPECT_EQ(host.counts.display, displays);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(Gestures, TheSeamlessStripPicksTheSegmentReleasedOn)
{
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        const PixelRect strip = windowRect(d, IDC_SEAMLESS);
        auto middle = [&](int k) { return POINT{middleX(choiceSegment(strip, k)), middleY(choiceSegment(strip, k))}; };
        // A segment not chosen: its face, and framed in blue while pressed.
        const POINT both = middle(wrapBoth);
        auto edge = [&] { return captureAsIs(d).pixel(choiceSegment(strip, wrapBoth).left + 2, both.y); };
        const uint32_t normal = edge();
        press(d, both.x, both.y);
        EXPECT_NE(edge(), normal);
        std::string why;
        EXPECT_TRUE(matchesReference(captureAsIs(d), "seamless-pressed", &why)) << why;
        // Moved on to another segment before the release: that one is picked.
        moveTo(d, middle(wrapAcross).x, both.y);
        EXPECT_EQ(edge(), normal);
        int displays = host.counts.display;
        release(d, middle(wrapAcross).x, both.y);
        EXPECT_EQ(s->wrap, wrapAcross);
        EXPECT_GT(host.counts.display, displays);
        // Released beside the strip or on the chosen segment: no change, no
        // render, and no step of the history.
        for (POINT up : {POINT{strip.right + 30, both.y}, middle(wrapAcross)}) {
            press(d, both.x, both.y);
            moveTo(d, up.x, up.y);
            displays = host.counts.display;
            release(d, up.x, up.y);
            EXPECT_EQ(s->wrap, wrapAcross);
            EXPECT_EQ(host.counts.display, displays);
        }
        // One step of undo, like any control.
        sendCommand(d, IDC_UNDO);
        EXPECT_EQ(s->wrap, wrapOff);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(Gestures, PadAimsTheLightAndColoursComeFromTheHost)
{
    Editor host;
    host.colourAnswer = [](ColorServicesInfo* info) {
        info->colorComponents[0] = 0x12;
        info->colorComponents[1] = 0x80;
        info->colorComponents[2] = 0xF0;
        return OSErr(noErr);
    };
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        PixelRect r = windowRect(d, IDC_LIGHT_PAD);
        int displays = host.counts.display;
        press(d, r.left + 43 + 16, r.top + 41);
        moveTo(d, r.left + 43 + 66, r.top + 41);
        release(d, r.left + 43 + 66, r.top + 41);
        EXPECT_FLOAT_EQ(s->lightX, 1.0f);
        EXPECT_FLOAT_EQ(s->lightY, 0.0f);
        EXPECT_FLOAT_EQ(s->lightZ, 0.0f);
        EXPECT_GT(host.counts.display, displays);

        sendCommand(d, IDC_CLOUD_COLOUR);
        EXPECT_EQ(host.counts.colour, 1);
        EXPECT_EQ(s->cloudColor.red, 0x1200);
        EXPECT_EQ(s->cloudColor.green, 0x8000);
        EXPECT_EQ(s->cloudColor.blue, 0xF000);
        PixelRect swatch = windowRect(d, IDC_CLOUD_COLOUR);
        pump();
        EXPECT_EQ(captureAsIs(d).pixel(middleX(swatch), middleY(swatch)), 0x1280F0u);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(Gestures, LongSessionsLeakNoDrawingObjects)
{
    // More paints and drags than a process has GDI handles: a leak of one
    // object a paint would leave the dialog without text or pictures.
    Editor host(64, 48);
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
        press(d, trackX(track, 10), middleY(track));
        int paints = std::getenv("NIMBULO_PAINTS") ? std::atoi(std::getenv("NIMBULO_PAINTS")) : 17000;
        DWORD started = GetTickCount();
        // Hidden, the paints draw through the same objects without the X
        // server's copies of every frame.
        ShowWindow(d, SW_HIDE);
        for (int i = 0; i < paints; ++i) {
            SendMessageA(d, WM_PAINT, 0, 0);
            if (i % 8 == 0) moveTo(d, trackX(track, i % 100), middleY(track));
        }
        std::fprintf(stderr, "%d paints: %lu ms\n", paints, GetTickCount() - started);
        ShowWindow(d, SW_SHOW);
        release(d, trackX(track, 50), middleY(track));
        expectScreenshot(d, "dialog-after-long-session");
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(Gestures, WithoutTheHostsPickerTheSystemColourDialogAsks)
{
    Editor host;
    host.record->colorServices = nullptr;
    host.dialogs.expect("Color", [&](HWND picker) {
        EXPECT_EQ(GetWindow(picker, GW_OWNER), nullptr);  // opened without an owner window
        PostMessageA(picker, WM_COMMAND, IDCANCEL, 0);
    });
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        RGB48 before = host.settings()->skyColor;
        int displays = host.counts.display;
        sendCommand(d, IDC_SKY_COLOUR);
        EXPECT_EQ(host.settings()->skyColor.red, before.red);  // a cancelled picker changes nothing
        EXPECT_EQ(host.settings()->skyColor.blue, before.blue);
        EXPECT_EQ(host.counts.display, displays);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
    EXPECT_EQ(host.dialogs.opened, (std::vector<std::string>{"Nimbulo", "Color"}));
}
