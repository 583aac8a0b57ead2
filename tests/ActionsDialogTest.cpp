// Actions with the real dialog: a step recorded from what the dialog
// accepted plays back silently to the same picture, and a played step that
// asks for the dialog (or misses a setting) opens it with the step's values.
#include <gtest/gtest.h>

#include "host/Descriptors.h"
#include "host/Editor.h"
#include "render/Random.h"
#include "resources/ResourceIds.h"
#include "settings/Terminology.h"

using namespace testhost;

namespace {

int32 valueOf(const DescriptorItems& step, const char (&key)[5])
{
    for (const auto& [k, v] : step)
        if (k == fourCC(key)) return v.integer;
    return -1;
}

}  // namespace

TEST(Actions, WhatTheDialogAcceptedPlaysBackSilently)
{
    DescriptorItems step;
    CloudSettings painted;
    {
        Editor host;
        DescriptorSuite suite(host);  // an interactive run: Display, nothing recorded yet
        host.colourAnswer = [](ColorServicesInfo* info) {
            info->colorComponents[0] = 0x30;
            info->colorComponents[1] = 0x44;
            info->colorComponents[2] = 0x9A;
            return OSErr(noErr);
        };
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            sendCommand(d, IDC_DICE);
            PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
            click(d, trackX(track, 83), middleY(track));
            PixelRect pad = windowRect(d, IDC_LIGHT_PAD);
            click(d, pad.left + 43 - 21, pad.top + 41 + 9);
            sendCommand(d, IDC_SKY_COLOUR);
            PixelRect both = choiceSegment(windowRect(d, IDC_SEAMLESS), wrapBoth);
            click(d, middleX(both), middleY(both));
            sendCommand(d, IDC_OK);
        });
        ASSERT_EQ(host.run(true), noErr);
        painted = *host.settings();
        step = suite.takeRecorded();
    }
    ASSERT_EQ(painted.density, 83);
    ASSERT_EQ(valueOf(step, "dnsT"), 83);

    TestHost other(120, 90, 3);
    DescriptorSuite suite(other);
    suite.params.playInfo = plugInDialogSilent;
    suite.params.descriptor = suite.makeHandle(step);
    ASSERT_EQ(other.run(false), noErr);
    EXPECT_TRUE(other.dialogs.opened.empty());
    EXPECT_EQ(other.output, renderInProcess(painted, Picture{120, 90, 3, false, other.source}).pixels);
}

TEST(Actions, AStepThatAsksForTheDialogOpensItWithItsValues)
{
    DescriptorItems step;
    {
        TestHost host(40, 30, 3);
        DescriptorSuite suite(host);
        ASSERT_EQ(host.call(filterSelectorParameters), noErr);
        seedRandom(17);
        RandomizeSettings(host.settings());
        host.settings()->showDialog = 0;
        ASSERT_EQ(host.run(false), noErr);
        step = suite.takeRecorded();
    }
    DescriptorItems missing = step;
    missing.erase(missing.begin());
    const struct {
        const char* name;
        int16 play;
        const DescriptorItems* items;
    } plays[] = {{"shown as asked", plugInDialogDisplay, &step},
                 {"a setting missing", plugInDialogDontDisplay, &missing}};
    for (const auto& p : plays) {
        Editor host;
        DescriptorSuite suite(host);
        suite.params.playInfo = p.play;
        suite.params.descriptor = suite.makeHandle(*p.items);
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            // The controls hold the step's values: the settings are read back from them.
            const CloudSettings* s = host.settings();
            EXPECT_EQ(s->lumpScale, valueOf(step, "lmpS")) << p.name;
            EXPECT_EQ(s->density, valueOf(step, "dnsT")) << p.name;
            EXPECT_EQ(s->seed, valueOf(step, "seeD")) << p.name;
            sendCommand(d, IDC_OK);
        });
        ASSERT_EQ(host.run(false), noErr) << p.name;
        EXPECT_EQ(host.dialogs.opened.size(), 1u) << p.name;
    }
}
