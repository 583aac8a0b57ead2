#include "host/TestHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "cli/HostImage.h"
#include "host/Handles.h"
#include "host/HostMemory.h"
#include "host/HostModes.h"
#include "settings/Persistence.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "host/Entry.h"
#endif

namespace testhost {

TestHost* TestHost::current = nullptr;

// ---- Handles: a master pointer followed by the block's size. ----
struct HostHandle {
    char* master;
    int32 size;
};
static std::set<HostHandle*> liveHandleSet;

static HostHandle* knownHandle(Handle h)
{
    auto* handle = reinterpret_cast<HostHandle*>(h);
    if (liveHandleSet.count(handle)) return handle;
    TestHost::current->counts.badCalls++;
    return nullptr;
}

static Handle NIMBULO_CDECL handleNew(int32 size)
{
    TestHost* host = TestHost::current;
    host->counts.handleNew++;
    if (host->failHandleAllocationsAfter == 0) return nullptr;
    if (host->failHandleAllocationsAfter > 0) host->failHandleAllocationsAfter--;
    auto* handle = static_cast<HostHandle*>(hostAlloc(sizeof(HostHandle)));
    handle->master = static_cast<char*>(hostAlloc(size_t(size)));
    // Host memory is not cleared for the plug-in: make that visible.
    std::memset(handle->master, 0xA5, size_t(size));
    handle->size = size;
    liveHandleSet.insert(handle);
    return reinterpret_cast<Handle>(handle);
}

static void NIMBULO_CDECL handleDispose(Handle h)
{
    TestHost::current->counts.handleDispose++;
    if (HostHandle* handle = knownHandle(h)) {
        liveHandleSet.erase(handle);
        hostFree(handle->master);
        hostFree(handle);
    }
}

static int32 NIMBULO_CDECL handleGetSize(Handle h)
{
    HostHandle* handle = knownHandle(h);
    return handle ? handle->size : 0;
}

static OSErr NIMBULO_CDECL handleSetSize(Handle h, int32 newSize)
{
    HostHandle* handle = knownHandle(h);
    if (!handle) return memFullErr;
    char* grown = static_cast<char*>(hostAlloc(size_t(newSize)));
    std::memcpy(grown, handle->master, size_t(std::min(newSize, handle->size)));
    hostFree(handle->master);
    handle->master = grown;
    handle->size = newSize;
    return noErr;
}

static void* NIMBULO_CDECL handleLock(Handle h, Boolean)
{
    TestHost::current->counts.handleLock++;
    HostHandle* handle = knownHandle(h);
    return handle ? handle->master : nullptr;
}

static void NIMBULO_CDECL handleUnlock(Handle h)
{
    TestHost::current->counts.handleUnlock++;
    knownHandle(h);
}

static void NIMBULO_CDECL handleRecoverSpace(int32) {}

// ---- Buffers: the ID is the address of a record above 4 GB on 64-bit. ----
struct HostBuffer {
    void* data;
    int32 size;
};
static std::set<HostBuffer*> liveBufferSet;

static HostBuffer* knownBuffer(BufferID id)
{
    auto* buffer = reinterpret_cast<HostBuffer*>(id);
    if (liveBufferSet.count(buffer)) return buffer;
    TestHost::current->counts.badCalls++;
    return nullptr;
}

static OSErr NIMBULO_CDECL bufferAllocate(int32 size, BufferID* id)
{
    TestHost* host = TestHost::current;
    host->counts.bufferAllocate++;
    *id = nullptr;
    if (host->failBufferAllocationsAfter == 0 || size < 0) return memFullErr;
    if (host->failBufferAllocationsAfter > 0) host->failBufferAllocationsAfter--;
    auto* buffer = static_cast<HostBuffer*>(hostAlloc(sizeof(HostBuffer)));
    buffer->data = hostAlloc(size_t(size));
    std::memset(buffer->data, 0x5A, size_t(size));
    buffer->size = size;
    liveBufferSet.insert(buffer);
    *id = reinterpret_cast<BufferID>(buffer);
    return noErr;
}

static void* NIMBULO_CDECL bufferLock(BufferID id, Boolean)
{
    TestHost::current->counts.bufferLock++;
    HostBuffer* buffer = knownBuffer(id);
    return buffer ? buffer->data : nullptr;
}

static void NIMBULO_CDECL bufferUnlock(BufferID id)
{
    TestHost::current->counts.bufferUnlock++;
    knownBuffer(id);
}

static void NIMBULO_CDECL bufferFree(BufferID id)
{
    TestHost::current->counts.bufferFree++;
    if (HostBuffer* buffer = knownBuffer(id)) {
        liveBufferSet.erase(buffer);
        hostFree(buffer->data);
        hostFree(buffer);
    }
}

static int32 NIMBULO_CDECL bufferSpace() { return 64 << 20; }

// ---- Host procedures. ----
static Boolean NIMBULO_CDECL testAbort()
{
    TestHost* host = TestHost::current;
    host->counts.abortPolls++;
    return host->abortAnswer && host->abortAnswer();
}

static void NIMBULO_CDECL reportProgress(int32 done, int32 total)
{
    TestHost::current->progress.push_back({done, total});
}

static OSErr NIMBULO_CDECL advanceState()
{
    TestHost::current->counts.advance++;
    return TestHost::current->deliver();
}

// Draws the pixel map's `source` rectangle into the device context with its
// top-left corner at (column, row), as an editor does.
static OSErr NIMBULO_CDECL displayPixels(const PSPixelMap* map, const VRect* source, int32 row, int32 column,
                                         void* platformContext)
{
    TestHost::current->counts.display++;
#ifdef _WIN32
    if (TestHost::current->displayDelayMs > 0) Sleep(DWORD(TestHost::current->displayDelayMs));
#endif
    // The interface's display takes 8-bit maps only.
    bool eightBit = map && isEightBitDisplayMode(map->imageMode) && map->planeBytes == 1;
    if (!eightBit) TestHost::current->counts.badCalls++;
#ifdef _WIN32
    HDC dc = static_cast<HDC>(platformContext);
    if (!dc || !map || !source || !map->baseAddr) return noErr;
    int w = source->right - source->left, h = source->bottom - source->top;
    if (w <= 0 || h <= 0) return noErr;
    std::vector<uint8> bgra(size_t(w) * size_t(h) * 4);
    const auto* base = static_cast<const uint8*>(map->baseAddr);
    bool colour = map->imageMode == plugInModeRGBColor && map->colBytes >= 3;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8* p = base + ptrdiff_t(source->top - map->bounds.top + y) * map->rowBytes +
                             ptrdiff_t(source->left - map->bounds.left + x) * map->colBytes;
            uint8* d = &bgra[(size_t(y) * w + x) * 4];
            d[0] = colour ? p[2] : p[0];
            d[1] = colour ? p[1] : p[0];
            d[2] = p[0];
            d[3] = 255;
        }
    BITMAPINFO info = topDownBitmapInfo(w, h);
    SetDIBitsToDevice(dc, column, row, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), bgra.data(), &info, DIB_RGB_COLORS);
#else
    (void)map, (void)source, (void)row, (void)column, (void)platformContext;
#endif
    return noErr;
}

static OSErr NIMBULO_CDECL colorServices(ColorServicesInfo* info)
{
    TestHost* host = TestHost::current;
    host->counts.colour++;
    return host->colourAnswer ? host->colourAnswer(info) : OSErr(userCanceledErr);
}

// ---- The host. ----
// Each host starts as on a machine where the filter never ran: no cache, no
// undo files in the (private) temporary folder.
static void forgetEarlierRuns()
{
    for (const char* name : {"Nimbulo cached settings", "Nimbulo undo 0", "Nimbulo undo 1"}) {
        char path[300];
        temporaryFilePath(name, path, sizeof path);
        std::remove(path);
    }
}

TestHost::TestHost(int w, int h, int p) : width(w), height(h), planes(p)
{
    current = this;
    forgetEarlierRuns();
    source.resize(size_t(w) * size_t(h) * size_t(p));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < p; ++c) source[(size_t(y) * w + x) * p + c] = uint8((x * 7 + y * 13 + c * 50) & 255);
    output = source;

    // The host allocates more than the declared record: reserved bytes follow.
    record = static_cast<FilterRecord*>(hostAlloc(sizeof(FilterRecord) + 512));
    handles = static_cast<HandleProcs*>(hostAlloc(sizeof(HandleProcs)));
    buffers = static_cast<BufferProcs*>(hostAlloc(sizeof(BufferProcs)));
    platform = static_cast<PlatformData*>(hostAlloc(sizeof(PlatformData)));

    *handles = HandleProcs{1,
                           8,
                           handleNew,
                           handleDispose,
                           handleGetSize,
                           handleSetSize,
                           handleLock,
                           handleUnlock,
                           handleRecoverSpace,
                           handleDispose};
    *buffers = BufferProcs{2, 5, bufferAllocate, bufferLock, bufferUnlock, bufferFree, bufferSpace};

    FilterRecord& r = *record;
    r.abortProc = testAbort;
    r.progressProc = reportProgress;
    r.imageSize = {int16(h), int16(w)};
    r.planes = int16(p);
    r.filterRect = {0, 0, int16(h), int16(w)};
    r.background = {0xFFFF, 0xFFFF, 0xFFFF};
    r.maxSpace = 256 << 20;
    r.autoMask = true;
    r.hostSig = fourCC("TEST");
    r.imageMode = p >= 3 ? plugInModeRGBColor : plugInModeGrayScale;
    r.imageHRes = r.imageVRes = 72 << 16;
    r.wholeSize = {int16(h), int16(w)};
    r.platformData = platform;
    r.bufferProcs = buffers;
    r.displayPixels = displayPixels;
    r.handleProcs = handles;
    r.filterCase = filterCaseFlatImageNoSelection;
    r.advanceState = advanceState;
    r.supportsPadding = true;
    r.samplingSupport = 1;
    r.inputRate = r.maskRate = 65536;
    r.colorServices = colorServices;
    r.inNonLayerPlanes = r.outNonLayerPlanes = int16(p);
    r.depth = 8;
}

TestHost::~TestHost()
{
    current = this;
    releaseDelivered();
    // Blocks the plug-in left with the host live on until the host quits; a
    // test host ends here, so it frees what is still out: emulated handles
    // (which the plug-in made on the heap) and its own.
    Handle parameters = record->parameters;
    for (Handle h : {reinterpret_cast<Handle>(data), parameters}) {
        if (!h || liveHandleSet.count(reinterpret_cast<HostHandle*>(h))) continue;
        if (reinterpret_cast<EmulatedHandle*>(h)->tag != emulatedHandleTag) continue;
        FilterRecord withoutSuite{};
        disposeHandle(&withoutSuite, h);
    }
    for (HostHandle* handle : liveHandleSet) {
        hostFree(handle->master);
        hostFree(handle);
    }
    liveHandleSet.clear();
    for (HostBuffer* buffer : liveBufferSet) {
        hostFree(buffer->data);
        hostFree(buffer);
    }
    liveBufferSet.clear();
    hostFree(bigDocument);
    hostFree(platform);
    hostFree(buffers);
    hostFree(handles);
    hostFree(record);
    if (current == this) current = nullptr;
}

int TestHost::liveHandles() const { return int(liveHandleSet.size()); }
int TestHost::liveBuffers() const { return int(liveBufferSet.size()); }

void TestHost::setEditableTransparency(bool withSelection)
{
    FilterRecord& r = *record;
    r.filterCase =
        withSelection ? filterCaseEditableTransparencyWithSelection : filterCaseEditableTransparencyNoSelection;
    r.inLayerPlanes = r.outLayerPlanes = int16(planes - 1);
    r.inTransparencyMask = r.outTransparencyMask = 1;
    r.inNonLayerPlanes = r.outNonLayerPlanes = 0;
}

void TestHost::setMask(const std::vector<uint8>& maskBytes)
{
    mask = maskBytes;
    record->haveMask = !mask.empty();
    if (record->filterCase == filterCaseFlatImageNoSelection && !mask.empty())
        record->filterCase = filterCaseFlatImageWithSelection;
}

void TestHost::setPixels(const std::vector<uint8>& pixels)
{
    source = pixels;
    output = pixels;
}

void TestHost::setFilterRect(int16 top, int16 left, int16 bottom, int16 right)
{
    record->filterRect = {top, left, bottom, right};
}

FilterContext* TestHost::context() const
{
    Handle h = reinterpret_cast<Handle>(data);
    return h ? reinterpret_cast<FilterContext*>(*h) : nullptr;
}

CloudSettings* TestHost::settings() const
{
    return record->parameters ? reinterpret_cast<CloudSettings*>(*record->parameters) : nullptr;
}

int16 TestHost::call(int16 selector)
{
    current = this;
    pluginEntry()(selector, record, &data, &result);
    return result;
}

// A new host block holding the pixels of `rect` from `image`.
static void* fillRequest(const VRect& rect, Fixed rate, int lo, int hi, const HostImage& image, int16 padding,
                         int32* rowBytes)
{
    size_t bytes = requestBytes(rect, lo, hi, image.bytesPerSample);
    *rowBytes = bytes ? (rect.right - rect.left) * (hi - lo + 1) * image.bytesPerSample : 0;
    if (!bytes || !image.pixels) return nullptr;
    void* block = hostAlloc(bytes);
    copyRequest(image, rect, rate, lo, hi, padding, static_cast<uint8*>(block));
    return block;
}

void TestHost::useSixteenBits()
{
    bytesPerSample = 2;
    record->depth = 16;
    record->imageMode = record->imageMode == plugInModeRGBColor ? plugInModeRGB48 : plugInModeGray16;
    std::vector<uint8> wide(source.size() * 2);
    for (size_t k = 0; k < source.size(); ++k) {
        unsigned v = (source[k] * 32768u + 127u) / 255u;
        wide[2 * k] = uint8(v);
        wide[2 * k + 1] = uint8(v >> 8);
    }
    setPixels(wide);
}

void TestHost::writeBack()
{
    FilterRecord& r = *record;
    if (!r.outData) return;
    HostImage selection{width, height, 1, mask.data()};
    writeBackRequest(HostImage{width, height, planes, output.data(), bytesPerSample}, deliveredOut, deliveredOutLo,
                     deliveredOutLo + deliveredOutPlanes - 1, static_cast<const uint8*>(r.outData), r.outRowBytes,
                     mask.empty() ? nullptr : &selection);
}

void TestHost::releaseDelivered()
{
    FilterRecord& r = *record;
    hostFree(r.inData);
    hostFree(r.outData);
    hostFree(r.maskData);
    r.inData = r.outData = r.maskData = nullptr;
    r.inRowBytes = r.outRowBytes = r.maskRowBytes = 0;
}

OSErr TestHost::deliver()
{
    writeBack();
    releaseDelivered();
    FilterRecord& r = *record;
    if (!withholdInput)
        r.inData =
            fillRequest(requestedIn(), r.inputRate, r.inLoPlane, r.inHiPlane,
                        HostImage{width, height, planes, source.data(), bytesPerSample}, r.inputPadding, &r.inRowBytes);
    r.outData =
        fillRequest(requestedOut(), 65536, r.outLoPlane, r.outHiPlane,
                    HostImage{width, height, planes, output.data(), bytesPerSample}, r.outputPadding, &r.outRowBytes);
    deliveredOut = requestedOut();
    deliveredOutLo = r.outLoPlane;
    deliveredOutPlanes = r.outHiPlane - r.outLoPlane + 1;
    if (!mask.empty())
        r.maskData = fillRequest(requestedMask(), r.maskRate, 0, 0, HostImage{width, height, 1, mask.data()},
                                 r.maskPadding, &r.maskRowBytes);
    return noErr;
}

int16 TestHost::run(bool withParameters)
{
    if (withParameters && call(filterSelectorParameters) != noErr) return result;
    if (call(filterSelectorPrepare) != noErr) return result;
    if (call(filterSelectorStart) != noErr) return result;
    // Each Continue renders at least one row; more calls than rows means a stuck plug-in.
    for (int calls = 0; calls <= height + 1; ++calls) {
        if (requestsEmpty()) break;
        deliver();
        continueCalls++;
        if (aroundContinue) aroundContinue(true);
        int16 outcome = call(filterSelectorContinue);
        if (aroundContinue) aroundContinue(false);
        if (outcome != noErr) break;
    }
    writeBack();
    releaseDelivered();
    int16 outcome = result;
    if (outcome == noErr) call(filterSelectorFinish);
    return outcome;
}

#ifdef _WIN32
std::wstring moduleUnderTest()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"NIMBULO_MODULE", path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return std::wstring(path, length);
    length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path, length);
    return full.substr(0, full.find_last_of(L"\\/") + 1) + L"Nimbulo.8bf";
}

PluginEntryProc pluginEntry()
{
    static PluginEntryProc entry = [] {
        HMODULE module = LoadLibraryW(moduleUnderTest().c_str());
        if (!module) {
            std::fprintf(
                stderr, "test host: cannot load the module (NIMBULO_MODULE, or Nimbulo.8bf beside the test program)\n");
            std::exit(2);
        }
        auto proc = reinterpret_cast<PluginEntryProc>(reinterpret_cast<void*>(GetProcAddress(module, "ENTRYPOINT")));
        if (!proc) {
            std::fprintf(stderr, "test host: Nimbulo.8bf exports no ENTRYPOINT\n");
            std::exit(2);
        }
        return proc;
    }();
    return entry;
}

bool entryFromModule() { return true; }
#else
PluginEntryProc pluginEntry() { return ENTRYPOINT; }
bool entryFromModule() { return false; }
#endif

std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string cachedSettingsPath()
{
    char path[300];
    temporaryFilePath("Nimbulo cached settings", path, sizeof path);
    return path;
}

void RenderThreads::set(const char* count)
{
#ifdef _WIN32
    SetEnvironmentVariableA("NIMBULO_THREADS", count);
#else
    if (count)
        setenv("NIMBULO_THREADS", count, 1);
    else
        unsetenv("NIMBULO_THREADS");
#endif
}

}  // namespace testhost
