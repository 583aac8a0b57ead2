// The dialog in careless hands: thousands of random presses, drags, double
// clicks and keys, then OK. Nothing may break: no crash, settings in range,
// no drawing object kept, undo still alternating, and what OK painted is
// what the next run paints from the cache. NIMBULO_MONKEY_SEED and
// NIMBULO_MONKEY_GESTURES run other and longer sessions.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "host/Editor.h"
#include "resources/ResourceIds.h"
#include "settings/Persistence.h"
#include "settings/PresetFile.h"

using namespace testhost;

namespace {

long fromEnvironment(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

// The controls the monkey favours: every slider, the toggles, the pad, the
// preview, the zoom buttons and the commands that replace the settings.
std::vector<int> favouredControls()
{
    std::vector<int> ids = {IDC_ZOOM_IN,      IDC_ZOOM_OUT,  IDC_ZOOM_READOUT, IDC_AUTO_PREVIEW,
                            IDC_BACKLIGHTING, IDC_LIGHT_PAD, IDC_PREVIEW,      IDC_UNDO,
                            IDC_CLOUDS,       IDC_DICE,      IDC_ECCE,         IDC_SEAMLESS};
    for (int k = 0; k < kSettingWordCount; ++k) ids.push_back(kSettingWords[k].control);
    return ids;
}

}  // namespace

TEST(Monkey, CarelessHandsBreakNothing)
{
    const uint32_t seed = uint32_t(fromEnvironment("NIMBULO_MONKEY_SEED", 20261209));
    const int gestures = int(fromEnvironment("NIMBULO_MONKEY_GESTURES", 500));
    const std::vector<int> spared = {IDC_OK, IDC_CANCEL};

    // A first session opens every dialog once (files, about box, colour), so
    // that what the system keeps for its own dialogs is counted before.
    {
        Editor warm(96, 64);
        warm.dialogs.expect("Nimbulo", [&](HWND d) {
            runMonkey(d, seed + 1, 40, favouredControls(), spared, "OC");
            for (int id : {IDC_SAVE, IDC_LOAD, IDC_CLOUD_COLOUR}) sendCommand(d, id);
            PixelRect icon = windowRect(d, IDC_ABOUT);
            click(d, middleX(icon), middleY(icon));
            pump();
            sendCommand(d, IDC_OK);
        });
        ASSERT_EQ(warm.run(true), noErr);
    }

    const int handlesBefore = freeGdiHandles();
    MonkeyTally tally;
    std::vector<uint8> picture, cache;
    DWORD started = GetTickCount();
    {
        Editor host(96, 64);
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            tally = runMonkey(d, seed, gestures, favouredControls(), spared, "OC");
            ASSERT_TRUE(IsWindow(d)) << "the monkey closed the dialog";
            PixelRect icon = windowRect(d, IDC_ABOUT);  // its pictures counted too
            click(d, middleX(icon), middleY(icon));
            pump();
            // Undo and redo still alternate between the last two states.
            CloudSettings* s = host.settings();
            PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
            click(d, trackX(track, 17), middleY(track));
            click(d, trackX(track, 83), middleY(track));
            for (int expected : {17, 83, 17}) {
                sendCommand(d, IDC_UNDO);
                EXPECT_EQ(s->density, expected);
            }
            sendCommand(d, IDC_OK);
        });
        ASSERT_EQ(host.run(true), noErr);
        EXPECT_EQ(host.dialogs.waiting(), 0u);
        picture = host.output;
        std::ifstream in(cachedSettingsPath(), std::ios::binary);
        cache.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::fprintf(stderr, "monkey seed %u: %d gestures (%d clicks, %d drags, %d double clicks, %d keys) in %lu ms\n",
                 seed, tally.total(), tally.clicks, tally.drags, tally.doubleClicks, tally.keys,
                 GetTickCount() - started);
    EXPECT_EQ(tally.total(), gestures);
    EXPECT_EQ(freeGdiHandles(), handlesBefore) << "drawing objects kept after the dialog closed";

    // Every setting the cache holds is one the controls can make.
    ASSERT_EQ(cache.size(), size_t(presetBytesWithThumbnail));
    CloudSettings cached = defaultSettings();
    bool pictureRead = false;
    decodePreset(cache.data(), cache.size(), &cached, nullptr, &pictureRead);
    for (int k = 0; k < kSettingWordCount; ++k) {
        int32 v = cached.*(kSettingWords[k].field),
              high = kSettingWords[k].field == &CloudSettings::backlighting ? 1 : 100;
        EXPECT_TRUE(v >= 0 && v <= high) << kSettingWords[k].name << " " << v;
    }

    // The editor repeats the filter later: the same picture, from the cache.
    Editor repeated(96, 64);
    std::ofstream(cachedSettingsPath(), std::ios::binary)
        .write(reinterpret_cast<const char*>(cache.data()), std::streamsize(cache.size()));
    ASSERT_EQ(repeated.run(false), noErr);
    EXPECT_TRUE(repeated.output == picture);
}
