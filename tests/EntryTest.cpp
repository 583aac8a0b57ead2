// The entry point as hosts drive it: selectors, result codes, the blocks kept
// in host memory between calls, and the memory the host lends.
#include <gtest/gtest.h>

#include <cstring>

#include "host/Handles.h"
#include "host/TestHost.h"

#ifdef _WIN32
#include <windows.h>
#endif

using testhost::TestHost;

TEST(Entry, AboutWithNullDataWordTouchesNothing)
{
    TestHost host(16, 8, 3);
    host.result = 1234;
    host.call(filterSelectorAbout);
    EXPECT_EQ(host.data, 0);
    EXPECT_EQ(host.result, 1234);
    EXPECT_EQ(Handle(host.record->parameters), nullptr);
    EXPECT_EQ(host.counts.handleNew, 0);
}

TEST(Entry, SelectorsOutsideTheTableAreBadParameters)
{
    for (int16 selector : {int16(6), int16(7), int16(-1), int16(0x7FFF)}) {
        TestHost host(16, 8, 3);
        EXPECT_EQ(host.call(selector), filterBadParameters) << selector;
        // The parameter block is made before the selector is looked at.
        ASSERT_NE(host.settings(), nullptr) << selector;
        EXPECT_EQ(host.settings()->seed, 21) << selector;
        // The context handle is unlocked as after any other selector.
        EXPECT_EQ(host.counts.handleLock, host.counts.handleUnlock) << selector;
    }
}

TEST(Entry, EverySelectorBalancesItsLocks)
{
    TestHost host(16, 8, 3);
    for (int16 selector = filterSelectorParameters; selector <= filterSelectorFinish; ++selector) {
        host.call(selector);
        EXPECT_EQ(host.counts.handleLock, host.counts.handleUnlock) << selector;
    }
}

// Host handle suites that must not be used: the plug-in falls back to its own.
struct SuiteFault {
    const char* what;
    void (*spoil)(HandleProcs&);
};
static const SuiteFault kUnusableHandleSuites[] = {
    {"version 2", [](HandleProcs& p) { p.handleProcsVersion = 2; }},
    {"version 0", [](HandleProcs& p) { p.handleProcsVersion = 0; }},
    {"count 6", [](HandleProcs& p) { p.numHandleProcs = 6; }},
    {"no new", [](HandleProcs& p) { p.newProc = nullptr; }},
    {"no dispose", [](HandleProcs& p) { p.disposeProc = nullptr; }},
    {"no get size", [](HandleProcs& p) { p.getSizeProc = nullptr; }},
    {"no set size", [](HandleProcs& p) { p.setSizeProc = nullptr; }},
};

TEST(Entry, UnusableHandleSuiteGivesEmulatedHandles)
{
    for (const SuiteFault& fault : kUnusableHandleSuites) {
        TestHost host(16, 8, 3);
        fault.spoil(host.handleProcs());
        ASSERT_EQ(host.call(filterSelectorPrepare), noErr) << fault.what;
        EXPECT_EQ(host.counts.handleNew, 0) << fault.what;

        Handle parameters = host.record->parameters;  // a 4-byte aligned field: copied, not referenced
        for (Handle h : {reinterpret_cast<Handle>(host.data), parameters}) {
            ASSERT_NE(h, nullptr) << fault.what;
            auto* emulated = reinterpret_cast<EmulatedHandle*>(h);
            EXPECT_EQ(emulated->tag, emulatedHandleTag) << fault.what;
            EXPECT_NE(emulated->data, nullptr) << fault.what;
        }
#ifdef _WIN32
        // The blocks are global memory of the requested size.
        auto* settingsRecord = reinterpret_cast<EmulatedHandle*>(host.record->parameters);
        EXPECT_GE(GlobalSize(GlobalHandle(settingsRecord->data)), sizeof(CloudSettings)) << fault.what;
        auto* contextRecord = reinterpret_cast<EmulatedHandle*>(host.data);
        EXPECT_GE(GlobalSize(GlobalHandle(contextRecord->data)), sizeof(FilterContext)) << fault.what;
#endif
        EXPECT_EQ(host.settings()->seed, 21) << fault.what;
        EXPECT_EQ(host.run(false), noErr) << fault.what;
    }
}

TEST(Entry, UsableHandleSuiteServesBothBlocks)
{
    TestHost host(16, 8, 3);
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    EXPECT_EQ(host.counts.handleNew, 2);
    EXPECT_EQ(host.liveHandles(), 2);
    // Host memory arrives filled with junk; the new blocks start cleared.
    EXPECT_EQ(host.settings()->showDialog, 0);
    EXPECT_EQ(host.context()->dialogWindow, nullptr);
}

TEST(Entry, SecondRunReusesContextAndKeepsSettings)
{
    TestHost host(40, 30, 3);
    ASSERT_EQ(host.run(false), noErr);
    intptr_t firstContext = host.data;
    Handle firstSettings = host.record->parameters;
    host.settings()->density = 12;
    host.settings()->presetName[0] = 'x';
    int handlesMade = host.counts.handleNew;

    ASSERT_EQ(host.run(false), noErr);
    EXPECT_EQ(host.data, firstContext);
    EXPECT_EQ(Handle(host.record->parameters), firstSettings);
    EXPECT_EQ(host.counts.handleNew, handlesMade);
    EXPECT_EQ(host.settings()->density, 12);
    EXPECT_EQ(host.settings()->presetName[0], 'x');
}

TEST(Entry, ParametersAsksForTheDialogAndStartClearsTheRequest)
{
    TestHost host(16, 8, 3);
    ASSERT_EQ(host.call(filterSelectorParameters), noErr);
    EXPECT_EQ(host.settings()->showDialog, 1);
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    ASSERT_EQ(host.call(filterSelectorStart), noErr);
    EXPECT_EQ(host.settings()->showDialog, 0);
}

TEST(Entry, StartWithoutParametersRendersWithoutDialog)
{
    TestHost host(24, 12, 3);
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    EXPECT_EQ(host.settings()->showDialog, 0);
    ASSERT_EQ(host.call(filterSelectorStart), noErr);
    EXPECT_EQ(host.settings()->showDialog, 0);
    EXPECT_EQ(host.settings()->dialogActive, 0);
    EXPECT_EQ(host.settings()->previewOn, 1);
}

TEST(Entry, StartRecordsWhetherAPreviewIsPossible)
{
    TestHost host(24, 12, 3);
    host.record->displayPixels = nullptr;
    ASSERT_EQ(host.run(false), noErr);
    EXPECT_EQ(host.settings()->previewOn, 0);
}

TEST(Entry, PrepareSizesTheBufferBudgetAndCentresThePattern)
{
    struct Case {
        int16 top, left, bottom, right;
        int32 span, space, centreX, centreY;
    };
    const Case cases[] = {
        {0, 0, 60, 100, 2484, 6096, 50, 30},         // width-bound
        {10, 20, 70, 120, 2484, 6096, 50, 30},       // the same size, offset
        {0, 0, 5000, 300, 10008, 21144, 150, 2500},  // a tall strip: the longer side wins
        {0, 0, 1, 1, 2187, 5502, 0, 0},
    };
    for (const Case& c : cases) {
        TestHost host(400, 5000, 1);
        host.setFilterRect(c.top, c.left, c.bottom, c.right);
        ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
        FilterContext* ctx = host.context();
        EXPECT_EQ(ctx->spanLength, c.span) << c.right - c.left << "x" << c.bottom - c.top;
        EXPECT_EQ(host.record->bufferSpace, c.space);
        EXPECT_EQ(ctx->renderWidth, c.right - c.left);
        EXPECT_EQ(ctx->renderHeight, c.bottom - c.top);
        EXPECT_EQ(ctx->regionRight, c.right - c.left - 1);
        EXPECT_EQ(ctx->regionBottom, c.bottom - c.top - 1);
        EXPECT_EQ(ctx->savedFilterRect.right, c.right);
        EXPECT_EQ(host.settings()->centreX, c.centreX);
        EXPECT_EQ(host.settings()->centreY, c.centreY);
        EXPECT_EQ(host.settings()->zoomRate, 1);
    }
}

TEST(Entry, FailedHandleAllocationGivesMemFull)
{
    // The context handle fails, then the parameter block's.
    for (int succeeding : {0, 1}) {
        TestHost host(16, 8, 3);
        host.failHandleAllocationsAfter = succeeding;
        EXPECT_EQ(host.call(filterSelectorPrepare), memFullErr) << succeeding;
        EXPECT_EQ(Handle(host.record->parameters), nullptr) << succeeding;
        EXPECT_EQ(host.data != 0, succeeding == 1) << succeeding;
        EXPECT_EQ(host.record->bufferSpace, 0) << succeeding;
    }
}

TEST(Entry, ContextLockFailureGivesMemFull)
{
    TestHost host(16, 8, 3);
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    host.handleProcs().lockProc = [](Handle, Boolean) -> void* { return nullptr; };
    EXPECT_EQ(host.call(filterSelectorStart), memFullErr);
}

TEST(Entry, MissingRecordOrDataWordIsRefused)
{
    TestHost host(16, 8, 3);
    int16 result = 0;
    testhost::pluginEntry()(filterSelectorPrepare, nullptr, &host.data, &result);
    EXPECT_EQ(result, filterBadParameters);
    result = 0;
    testhost::pluginEntry()(filterSelectorPrepare, host.record, nullptr, &result);
    EXPECT_EQ(result, filterBadParameters);
    EXPECT_EQ(host.counts.handleNew, 0);
}

TEST(Entry, WorkingBuffersComeFromTheHostAndGoBack)
{
    TestHost host(32, 16, 3);
    ASSERT_EQ(host.run(false), noErr);
    EXPECT_EQ(host.counts.bufferAllocate, 2);
    EXPECT_EQ(host.counts.bufferFree, 2);
    EXPECT_EQ(host.liveBuffers(), 0);
    EXPECT_EQ(host.counts.badCalls, 0);
    EXPECT_EQ(host.context()->work, nullptr);
    EXPECT_EQ(host.context()->thumbnail, nullptr);
}

TEST(Entry, UnusableBufferSuiteFallsBackToTheHeap)
{
    struct BufferFault {
        const char* what;
        void (*spoil)(TestHost&);
    };
    const BufferFault faults[] = {
        {"version 1", [](TestHost& h) { h.bufferProcs().bufferProcsVersion = 1; }},
        {"count 4", [](TestHost& h) { h.bufferProcs().numBufferProcs = 4; }},
        {"no space", [](TestHost& h) { h.bufferProcs().spaceProc = nullptr; }},
        {"no suite", [](TestHost& h) { h.removeBufferSuite(); }},
        {"allocation fails", [](TestHost& h) { h.failBufferAllocationsAfter = 0; }},
        {"second allocation fails", [](TestHost& h) { h.failBufferAllocationsAfter = 1; }},
        {"lock fails",
         [](TestHost& h) { h.bufferProcs().lockProc = [](BufferID, Boolean) -> void* { return nullptr; }; }},
    };
    for (const BufferFault& fault : faults) {
        TestHost host(32, 16, 3);
        fault.spoil(host);
        EXPECT_EQ(host.run(false), noErr) << fault.what;
        EXPECT_EQ(host.liveBuffers(), 0) << fault.what;
        EXPECT_EQ(host.counts.badCalls, 0) << fault.what;
        EXPECT_EQ(host.context()->work, nullptr) << fault.what;
    }
}

TEST(Entry, HostMemoryLiesAboveFourGigabytesOn64Bit)
{
    if (sizeof(void*) == 4) GTEST_SKIP() << "32-bit build";
    TestHost host(32, 16, 3);
    ASSERT_EQ(host.run(false), noErr);
    EXPECT_GT(uintptr_t(host.data), uintptr_t(0xFFFFFFFFu));
    EXPECT_GT(uintptr_t(host.record->parameters), uintptr_t(0xFFFFFFFFu));
    EXPECT_GT(uintptr_t(host.record), uintptr_t(0xFFFFFFFFu));
    // Every token the plug-in handed back was one the host gave out, unshortened.
    EXPECT_EQ(host.counts.badCalls, 0);
    EXPECT_EQ(host.liveBuffers(), 0);
    EXPECT_EQ(host.counts.bufferFree, 2);
}
