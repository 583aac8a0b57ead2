// When memory runs out the filter finishes on fewer threads or says so: it
// never lets an exception reach the host, which would end the editor. This
// program replaces the allocator, so each allocation of a render can be made
// to fail in turn.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "host/TestHost.h"

namespace {

std::atomic<long> allocations{0};
std::atomic<long> failingAllocation{-1};  // the one that fails, counted from the last arming; -1 for none

bool failsNow() { return ++allocations == failingAllocation.load(); }

void* allocate(size_t size) { return std::malloc(size ? size : 1); }

// The allocations the render of one whole run makes (its Continue calls),
// with the `failing`-th of them failing (-1: none); the run's result and
// picture in `host`.
long runFailing(testhost::TestHost& host, long failing)
{
    host.progress.reserve(1 << 16);  // the host's own bookkeeping allocates nothing during the render
    long made = 0;
    host.aroundContinue = [&](bool entering) {
        if (!entering) made += allocations.exchange(0), failingAllocation = -1;
        if (entering) allocations = 0, failingAllocation = failing - made;
    };
    host.result = host.run(false);
    return made;
}

}  // namespace

// The replacements allocate with malloc and free with free, in pairs; the
// compiler, which sees delete calling free, cannot know that new called malloc.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(size_t size)
{
    void* p = failsNow() ? nullptr : allocate(size);
    if (!p) throw std::bad_alloc();
    return p;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return failsNow() ? nullptr : allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return failsNow() ? nullptr : allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

TEST(AllocationFailure, EachAllocationOfARenderFailingInTurnEndsWellOrSaysOutOfMemory)
{
    setenv("NIMBULO_THREADS", "3", 1);
    for (int planes : {1, 3}) {
        std::vector<uint8> expected;
        long count = 0;
        {
            testhost::TestHost reference(300, 40, planes);  // one test host at a time: they share their books
            count = runFailing(reference, -1);
            ASSERT_EQ(reference.result, noErr);
            expected = reference.output;
        }
        ASSERT_GT(count, 0) << "the render allocates nothing: the test tests nothing";
        for (long k = 1; k <= count; ++k) {
            testhost::TestHost host(300, 40, planes);
            runFailing(host, k);
            ASSERT_TRUE(host.result == noErr || host.result == memFullErr) << "allocation " << k << ": " << host.result;
            if (host.result == noErr) {
                EXPECT_EQ(host.output, expected) << "allocation " << k;
            }
        }
    }
    unsetenv("NIMBULO_THREADS");
}

TEST(AllocationFailure, AnExceptionFromTheHostsSideStopsAtTheEntryPoint)
{
    // A host callback that throws, as C++ hosts may: the filter answers the
    // call with an error instead of letting the exception through.
    struct Case {
        std::function<bool()> abort;
        OSErr expected;
    };
    const Case cases[] = {
        {[]() -> bool { throw std::bad_alloc(); }, memFullErr},
        {[]() -> bool { throw 42; }, unexpectedErr},
    };
    for (const Case& c : cases) {
        testhost::TestHost host(64, 16, 3);
        host.abortAnswer = c.abort;
        EXPECT_EQ(host.run(false), c.expected);
        EXPECT_EQ(host.counts.handleLock, host.counts.handleUnlock);
    }
}
