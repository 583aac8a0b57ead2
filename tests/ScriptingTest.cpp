// Actions and Smart Filters: the step recorded after an apply, played back
// silently or with the dialog, and steps that are damaged or hostile.
#include <gtest/gtest.h>

#include "host/Descriptors.h"
#include "host/EngineHarness.h"
#include "host/TestHost.h"
#include "render/Random.h"
#include "settings/Terminology.h"

using namespace testhost;

namespace {

// A look unlike the defaults in every recorded setting, applied (as after
// the dialog, which the dialog suites drive); the step recorded and the
// settings it was painted with.
struct Recorded {
    DescriptorItems step;
    CloudSettings painted;
};

Recorded recordALook(uint32 seed)
{
    TestHost host(40, 24, 3);
    DescriptorSuite suite(host);
    EXPECT_EQ(host.call(filterSelectorParameters), noErr);
    CloudSettings* s = host.settings();
    seedRandom(seed);
    RandomizeSettings(s);
    s->wrap = wrapBoth;
    s->backlighting = 1;
    s->cloudColor = RGB48{0x1234, 0xFEDC, 0x8001};
    s->lightX = 0.3125f;
    s->lightY = -0.5f;
    s->lightZ = 0.81f;
    s->centreU = 0.25f;
    s->centreV = 1.5f;
    s->showDialog = 0;
    EXPECT_EQ(host.run(false), noErr);
    EXPECT_EQ(suite.params.recordInfo, plugInDialogOptional);
    return Recorded{suite.takeRecorded(), *host.settings()};
}

DescriptorItems without(DescriptorItems items, uint32 key)
{
    for (size_t k = 0; k < items.size(); ++k)
        if (items[k].first == key) items.erase(items.begin() + long(k));
    return items;
}

DescriptorItems with(DescriptorItems items, uint32 key, const DescriptorValue& v)
{
    for (auto& item : items)
        if (item.first == key) item.second = v;
    return items;
}

}  // namespace

TEST(Scripting, ARecordedStepPlaysBackSilentlyToTheSameBytes)
{
    const Recorded recorded = recordALook(5);
    ASSERT_EQ(recorded.step.size(), size_t(kScriptTermCount));
    // Played over another picture as an Action does: no Parameters call.
    TestHost other(40, 24, 3);
    Picture picture = gradientPicture(40, 24, 3, false);
    for (uint8& v : picture.pixels) v = uint8(255 - v);
    other.setPixels(picture.pixels);
    DescriptorSuite suite(other);
    suite.params.playInfo = plugInDialogSilent;
    suite.params.descriptor = suite.makeHandle(recorded.step);
    ASSERT_EQ(other.run(false), noErr);
    EXPECT_EQ(other.output, renderInProcess(recorded.painted, picture).pixels);
    // The played step went back once, and the new one records the same.
    EXPECT_EQ(other.counts.badCalls, 0);
    EXPECT_EQ(suite.readsOpen + suite.writesOpen, 0);
    const DescriptorItems again = suite.takeRecorded();
    ASSERT_EQ(again.size(), recorded.step.size());
    for (size_t k = 0; k < again.size(); ++k) {
        EXPECT_EQ(again[k].first, recorded.step[k].first);
        EXPECT_EQ(again[k].second.real, recorded.step[k].second.real) << k;
        EXPECT_EQ(again[k].second.integer, recorded.step[k].second.integer) << k;
    }
}

TEST(Scripting, DamagedOrHostileStepsAreReportedOrPinned)
{
    const DescriptorItems step = recordALook(9).step;
    DescriptorItems flood;
    for (int k = 0; k < 5000; ++k) flood.emplace_back(fourCC("xxxX") + uint32(k), integerValue(k));
    flood.insert(flood.end(), step.begin(), step.end());
    const struct {
        const char* name;
        DescriptorItems items;
        size_t cut;
        int16 play;
        OSErr expected;
    } cases[] = {
        {"complete", step, 0, plugInDialogSilent, noErr},
        {"a key missing", without(step, fourCC("dnsT")), 0, plugInDialogSilent, errReportString},
        {"a slider as a float", with(step, fourCC("pufS"), floatValue(40)), 0, plugInDialogSilent, errReportString},
        {"a colour without blue",
         with(step, fourCC("cldC"), objectValue(classRGBColor, {{keyRed, floatValue(1)}, {keyGreen, floatValue(2)}})),
         0, plugInDialogSilent, errReportString},
        {"a colour of another class", with(step, fourCC("skyC"), objectValue(fourCC("HSBC"), {})), 0,
         plugInDialogSilent, errReportString},
        {"an unknown seamless value", with(step, fourCC("smlS"), enumeratedValue(wrapEnumeration, fourCC("wrpQ"))), 0,
         plugInDialogSilent, errReportString},
        {"thousands of unknown keys first", flood, 0, plugInDialogSilent, errReportString},
        {"cut short", step, 5, plugInDialogSilent, errReportString},
        {"empty", {}, 0, plugInDialogSilent, errReportString},
    };
    for (const auto& c : cases) {
        TestHost host(24, 16, 3);
        DescriptorSuite suite(host);
        ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
        const int handles = host.liveHandles();
        suite.params.playInfo = c.play;
        suite.params.descriptor = suite.makeHandle(c.items, c.cut);
        EXPECT_EQ(host.run(false), c.expected) << c.name;
        if (c.expected == errReportString) {
            EXPECT_EQ(host.output, host.source) << c.name;
            EXPECT_NE(suite.error().find("Record the step again"), std::string::npos) << c.name;
        } else {
            EXPECT_NE(host.output, host.source) << c.name;
        }
        // The step went back exactly once, whatever the path; nothing else is left.
        EXPECT_EQ(host.counts.badCalls, 0) << c.name;
        EXPECT_EQ(suite.readsOpen + suite.writesOpen, 0) << c.name;
        suite.takeRecorded();
        EXPECT_EQ(host.liveHandles(), handles) << c.name;
    }

    // Values beyond their ranges are pinned.
    TestHost host(24, 16, 3);
    DescriptorSuite suite(host);
    suite.params.playInfo = plugInDialogSilent;
    DescriptorItems wild = with(step, fourCC("pufS"), integerValue(5000));
    wild = with(wild, fourCC("seeD"), integerValue(-3));
    wild = with(wild, fourCC("lgtX"), floatValue(7.0));
    suite.params.descriptor = suite.makeHandle(wild);
    ASSERT_EQ(host.run(false), noErr);
    EXPECT_EQ(host.settings()->puffs, 100);
    EXPECT_EQ(host.settings()->seed, 0);
    EXPECT_EQ(host.settings()->lightX, 1.0f);
}

TEST(Scripting, HostsWithoutScriptingPaintAsBefore)
{
    // A seed no run here paints with marks the host's step.
    const DescriptorItems step = with(recordALook(3).step, fourCC("seeD"), integerValue(2047));
    std::vector<uint8> plain;  // one test host at a time: they share the handle table
    {
        TestHost host(24, 16, 3);
        ASSERT_EQ(host.run(false), noErr);
        plain = host.output;
    }
    const struct {
        const char* name;
        void (*take)(TestHost&, DescriptorSuite&);
    } hosts[] = {
        {"no tables",
         [](TestHost&, DescriptorSuite& d) {
             d.params.readDescriptorProcs = nullptr, d.params.writeDescriptorProcs = nullptr;
         }},
        {"a step but no reader", [](TestHost&, DescriptorSuite& d) { d.params.readDescriptorProcs = nullptr; }},
        {"a step but no handle suite", [](TestHost& h, DescriptorSuite&) { h.removeHandleSuite(); }},
    };
    for (const auto& h : hosts) {
        TestHost host(24, 16, 3);
        DescriptorSuite suite(host);
        suite.params.playInfo = plugInDialogDontDisplay;
        suite.params.descriptor = suite.makeHandle(step);
        const Handle given = suite.params.descriptor;
        h.take(host, suite);
        ASSERT_EQ(host.run(false), noErr) << h.name;
        const bool read = suite.params.readDescriptorProcs != nullptr;
        EXPECT_EQ(host.output == plain, !read) << h.name;
        // The host's step makes way for the recorded one; one the plug-in
        // cannot give back (no handle suite) stays where the host put it.
        const bool replaced = suite.params.writeDescriptorProcs && host.record->handleProcs;
        bool stayed = suite.params.descriptor == given;  // (a new handle may reuse the address)
        for (const auto& [key, v] : suite.itemsOf(suite.params.descriptor))
            if (key == fourCC("seeD")) stayed = stayed && v.integer == 2047;
        EXPECT_EQ(!stayed, replaced) << h.name;
        EXPECT_EQ(host.counts.badCalls, 0) << h.name;
    }
}
