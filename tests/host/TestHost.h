// A host for tests: it owns an in-memory image and a FilterRecord, serves the
// handle and buffer suites, delivers requested rectangles through advanceState,
// and counts every call the plug-in makes. Natively it calls the engine linked
// into the test; in Windows test programs it loads the built module.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/Context.h"
#include "host/DialogDriver.h"
#include "host/HostAbi.h"
#include "settings/CloudSettings.h"

namespace testhost {

struct Counters {
    int handleNew = 0, handleDispose = 0, handleLock = 0, handleUnlock = 0;
    int bufferAllocate = 0, bufferLock = 0, bufferUnlock = 0, bufferFree = 0;
    int advance = 0, display = 0, colour = 0, abortPolls = 0;
    int badCalls = 0;  // a handle or buffer the host never gave out, a double free, a 16-bit display
};

struct ProgressCall {
    int32 done, total;
};

class TestHost {
public:
    // An image of `width` x `height` pixels with `planes` interleaved bytes;
    // the filter rectangle covers it whole. Pixels start as a gradient.
    TestHost(int width, int height, int planes);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // Calls the plug-in's entry point; returns the result word.
    int16 call(int16 selector);

    // One whole run as an editor drives it: [Parameters], Prepare, Start, then
    // Continue (delivering the requested rows when the plug-in cannot ask)
    // until the request rectangles are empty or an error, then Finish.
    int16 run(bool withParameters);

    // The layer's transparency follows the colour planes (filter case 4 or 5).
    void setEditableTransparency(bool withSelection);
    // A selection mask of the image's size, one byte a pixel.
    void setMask(const std::vector<uint8>& maskBytes);
    void setFilterRect(int16 top, int16 left, int16 bottom, int16 right);

    // The suites as this host offers them; tests may change or null them.
    HandleProcs& handleProcs() { return *handles; }
    BufferProcs& bufferProcs() { return *buffers; }
    void removeHandleSuite() { record->handleProcs = nullptr; }
    void removeBufferSuite() { record->bufferProcs = nullptr; }

    FilterRecord* record = nullptr;
    intptr_t data = 0;
    int16 result = 0;

    int width, height, planes;
    std::vector<uint8> source;  // what the plug-in reads
    std::vector<uint8> output;  // what it wrote back
    std::vector<uint8> mask;    // empty: no selection

#ifdef _WIN32
    // The dialogs the plug-in opens during this host's calls; the main dialog
    // is accepted and every other one cancelled unless a test expects it.
    DialogDriver dialogs;
#endif

    Counters counts;
    std::vector<ProgressCall> progress;
    std::function<bool()> abortAnswer;  // default: never abort
    std::function<OSErr(ColorServicesInfo*)> colourAnswer;
    int displayDelayMs = 0;               // each display call takes this long, as a slow host's
    int failHandleAllocationsAfter = -1;  // >= 0: that many succeed, then null
    int failBufferAllocationsAfter = -1;
    bool withholdInput = false;  // deliver no inData, as a host short of memory
    int continueCalls = 0;
    std::function<void(bool entering)> aroundContinue;  // called just before and after each Continue

    // The plug-in's blocks as the host sees them; null before they exist.
    FilterContext* context() const;
    CloudSettings* settings() const;

    // Handles and buffers this host currently has out.
    int liveHandles() const;
    int liveBuffers() const;

    // The callbacks reach the host that is running.
    static TestHost* current;

    // Replaces the image (same size and planes); the output starts as a copy.
    void setPixels(const std::vector<uint8>& pixels);

    // The image in the 16-bit mode (Gray16 or RGB48): samples of two bytes,
    // native order, 0..32768; the pixels so far converted.
    void useSixteenBits();
    int bytesPerSample = 1;

    // Delivers the rectangles the plug-in last requested (and writes back the
    // previous output first). Used by advanceState and between Continue calls.
    OSErr deliver();

    // ---- Big documents (TestHostBigDocument.cpp) ----
    // Offers 32-bit coordinates: the image's size and a filter rectangle
    // covering it whole, while the 16-bit fields hold them clipped to 32767
    // (wrong for a larger image, as a plug-in that reads them would show).
    void useBigDocument();
    void setBigFilterRect(int32 top, int32 left, int32 bottom, int32 right);
    // The rectangles the plug-in asks for, in the fields this host reads:
    // the 32-bit ones once the plug-in has said it uses them.
    VRect requestedIn() const;
    VRect requestedOut() const;
    VRect requestedMask() const;
    bool requestsEmpty() const;
    BigDocumentStruct* bigDocument = nullptr;  // null: a host without 32-bit coordinates

private:
    void writeBack();
    void releaseDelivered();

    HandleProcs* handles = nullptr;
    BufferProcs* buffers = nullptr;
    PlatformData* platform = nullptr;
    VRect deliveredOut{};
    int deliveredOutLo = 0;
    int deliveredOutPlanes = 0;
};

// The entry point under test: linked in natively, loaded from the module on Windows.
PluginEntryProc pluginEntry();

#ifdef _WIN32
// The module the Windows suites load: NIMBULO_MODULE when set (a release
// archive's module, say), else Nimbulo.8bf beside the test program.
std::wstring moduleUnderTest();
#endif

// True when the entry point comes from the built module rather than linked code.
bool entryFromModule();

// The whole of file `path`; empty when it cannot be read.
std::vector<uint8_t> readBytes(const std::string& path);

// Where the plug-in caches the last accepted settings.
std::string cachedSettingsPath();

// The render threads the plug-in takes for a scope (NIMBULO_THREADS; null:
// its own choice), then its own choice again.
struct RenderThreads {
    explicit RenderThreads(const char* count) { set(count); }
    ~RenderThreads() { set(nullptr); }
    RenderThreads(const RenderThreads&) = delete;
    RenderThreads& operator=(const RenderThreads&) = delete;
    static void set(const char* count);
};

}  // namespace testhost
