// What the plug-in concludes from the host's record.
#include <gtest/gtest.h>

#include "host/Capabilities.h"
#include "host/TestHost.h"

using testhost::TestHost;

TEST(Capabilities, FollowTheRecord)
{
    struct Case {
        const char* what;
        void (*change)(TestHost&);
        bool advance, display, sample, handles, buffers, mask, colour, transparency;
    };
    // clang-format off
    const Case cases[] = {
        {"full host", [](TestHost&) {}, true, true, true, true, true, false, true, false},
        {"no advanceState", [](TestHost& h) { h.record->advanceState = nullptr; },
         false, false, false, true, true, false, true, false},
        {"no displayPixels", [](TestHost& h) { h.record->displayPixels = nullptr; },
         true, false, false, true, true, false, true, false},
        {"no sampling", [](TestHost& h) { h.record->samplingSupport = 0; },
         true, true, false, true, true, false, true, false},
        {"handle suite count 6", [](TestHost& h) { h.handleProcs().numHandleProcs = 6; },
         true, true, true, false, true, false, true, false},
        {"handle suite version 2", [](TestHost& h) { h.handleProcs().handleProcsVersion = 2; },
         true, true, true, false, true, false, true, false},
        {"buffer suite version 3", [](TestHost& h) { h.bufferProcs().bufferProcsVersion = 3; },
         true, true, true, true, false, false, true, false},
        {"buffer suite without free", [](TestHost& h) { h.bufferProcs().freeProc = nullptr; },
         true, true, true, true, false, false, true, false},
        {"mask flag without data", [](TestHost& h) { h.record->haveMask = true; },
         true, true, true, true, true, false, true, false},
        {"mask with data", [](TestHost& h) { static uint8 m = 9; h.record->haveMask = true; h.record->maskData = &m; },
         true, true, true, true, true, true, true, false},
        {"grey", [](TestHost& h) { h.record->planes = 1; },
         true, true, true, true, true, false, false, false},
        {"grey with transparency", [](TestHost& h) { h.record->planes = 2; h.record->filterCase = 4; },
         true, true, true, true, true, false, false, true},
        {"layer with selection", [](TestHost& h) { h.record->planes = 4; h.record->filterCase = 5; },
         true, true, true, true, true, false, true, true},
        {"protected transparency", [](TestHost& h) { h.record->planes = 4; h.record->filterCase = 6; },
         true, true, true, true, true, false, true, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        TestHost host(8, 8, 3);
        c.change(host);
        const FilterRecord* r = host.record;
        EXPECT_EQ(canAdvance(r), c.advance) << c.what;
        EXPECT_EQ(canDisplay(r), c.display) << c.what;
        EXPECT_EQ(canSample(r), c.sample) << c.what;
        EXPECT_EQ(handleSuiteUsable(r), c.handles) << c.what;
        EXPECT_EQ(bufferSuiteUsable(r), c.buffers) << c.what;
        EXPECT_EQ(hasMask(r), c.mask) << c.what;
        EXPECT_EQ(isColourImage(r), c.colour) << c.what;
        EXPECT_EQ(hasEditableTransparency(r), c.transparency) << c.what;
    }
}
