#include "cli/PluginHost.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

// ---- Handles: a master pointer with the block's size in front of the block. ----
struct HeapHandle {
    char* block;
    int32 size;
};

static Handle NIMBULO_CDECL newHandle(int32 size)
{
    if (size < 0) return nullptr;
    auto* h = static_cast<HeapHandle*>(std::calloc(1, sizeof(HeapHandle)));
    if (!h) return nullptr;
    h->block = static_cast<char*>(std::calloc(1, size_t(size) + 1));
    if (!h->block) {
        std::free(h);
        return nullptr;
    }
    h->size = size;
    return reinterpret_cast<Handle>(h);
}

static void NIMBULO_CDECL disposeHandle(Handle handle)
{
    auto* h = reinterpret_cast<HeapHandle*>(handle);
    if (!h) return;
    std::free(h->block);
    std::free(h);
}

static int32 NIMBULO_CDECL handleSize(Handle handle)
{
    return handle ? reinterpret_cast<HeapHandle*>(handle)->size : 0;
}

static OSErr NIMBULO_CDECL setHandleSize(Handle handle, int32 size)
{
    auto* h = reinterpret_cast<HeapHandle*>(handle);
    if (!h || size < 0) return memFullErr;
    char* grown = static_cast<char*>(std::realloc(h->block, size_t(size) + 1));
    if (!grown) return memFullErr;
    if (size > h->size) std::memset(grown + h->size, 0, size_t(size - h->size));
    h->block = grown;
    h->size = size;
    return noErr;
}

static void* NIMBULO_CDECL lockHandle(Handle handle, Boolean)
{
    return handle ? reinterpret_cast<HeapHandle*>(handle)->block : nullptr;
}

static void NIMBULO_CDECL unlockHandle(Handle) {}
static void NIMBULO_CDECL recoverSpace(int32) {}

// ---- Buffers: the ID is the block itself. ----
static OSErr NIMBULO_CDECL allocateBuffer(int32 size, BufferID* id)
{
    *id = size < 0 ? nullptr : static_cast<BufferID>(std::calloc(1, size_t(size) + 1));
    return *id ? noErr : memFullErr;
}

static void* NIMBULO_CDECL lockBuffer(BufferID id, Boolean) { return id; }
static void NIMBULO_CDECL unlockBuffer(BufferID) {}
static void NIMBULO_CDECL freeBuffer(BufferID id) { std::free(id); }
static int32 NIMBULO_CDECL bufferSpace() { return 256 << 20; }

// ---- The run in progress (procedures carry no context pointer). ----
struct Run {
    const RunRequest* request;
    FilterRecord* record;
    BigDocumentStruct* big;            // the 32-bit coordinates offered to the plug-in
    std::vector<uint8> in, out, mask;  // the delivered requests, reused row after row
    VRect deliveredOut;
    int deliveredOutLo, deliveredOutHi;
    bool outDelivered;
};
static Run* current = nullptr;

static void writeBack()
{
    Run& run = *current;
    if (!run.outDelivered) return;
    writeBackRequest(run.request->image, run.deliveredOut, run.deliveredOutLo, run.deliveredOutHi, run.out.data(),
                     run.record->outRowBytes, run.request->selection);
    run.outDelivered = false;
}

// A copy of the request in `store` (null for an empty request), and its row
// stride. The record's pointer fields are only 4-byte aligned in 64-bit
// builds, so they are assigned directly, never through a pointer.
static void* deliverRequest(std::vector<uint8>& store, const HostImage& image, const VRect& rect, Fixed rate, int lo,
                            int hi, int16 padding, int32* rowBytes)
{
    size_t bytes = requestBytes(rect, lo, hi, image.bytesPerSample);
    *rowBytes = 0;
    if (!bytes || !image.pixels) return nullptr;
    store.resize(bytes);
    copyRequest(image, rect, rate, lo, hi, padding, store.data());
    *rowBytes = (rect.right - rect.left) * (hi - lo + 1) * image.bytesPerSample;
    return store.data();
}

static OSErr deliver()
{
    Run& run = *current;
    FilterRecord& r = *run.record;
    writeBack();
    const HostImage& image = run.request->image;
    const RequestedRects asked = requestedRects(r, run.big);
    int32 rowBytes = 0;
    r.inData =
        deliverRequest(run.in, image, asked.in, r.inputRate, r.inLoPlane, r.inHiPlane, r.inputPadding, &rowBytes);
    r.inRowBytes = rowBytes;
    r.outData =
        deliverRequest(run.out, image, asked.out, 65536, r.outLoPlane, r.outHiPlane, r.outputPadding, &rowBytes);
    r.outRowBytes = rowBytes;
    run.deliveredOut = asked.out;
    run.deliveredOutLo = r.outLoPlane;
    run.deliveredOutHi = r.outHiPlane;
    run.outDelivered = r.outData != nullptr;
    if (run.request->selection) {
        r.maskData =
            deliverRequest(run.mask, *run.request->selection, asked.mask, r.maskRate, 0, 0, r.maskPadding, &rowBytes);
        r.maskRowBytes = rowBytes;
    }
    return noErr;
}

static OSErr NIMBULO_CDECL advanceState() { return deliver(); }

static Boolean NIMBULO_CDECL testAbort()
{
    return current->request->stopRequested && current->request->stopRequested();
}

static void NIMBULO_CDECL reportProgress(int32 done, int32 total)
{
    if (current->request->progress) current->request->progress(done, total);
}

// Whether the run's sides or rectangle pass what the 16-bit fields hold.
static bool needsBigCoordinates(const RunRequest& request)
{
    const VRect& f = request.filterRect;
    for (int v : {request.image.width, request.image.height, f.top, f.left, f.bottom, f.right})
        if (v < -32768 || v > 32767) return true;
    return false;
}

OSErr runFilter(PluginEntryProc entry, const RunRequest& request)
{
    static HandleProcs handleProcs = {1,
                                      8,
                                      newHandle,
                                      disposeHandle,
                                      handleSize,
                                      setHandleSize,
                                      lockHandle,
                                      unlockHandle,
                                      recoverSpace,
                                      disposeHandle};
    static BufferProcs bufferProcs = {2, 5, allocateBuffer, lockBuffer, unlockBuffer, freeBuffer, bufferSpace};
    static PlatformData platform = {nullptr};

    // The host's record is larger than the part the plug-in knows.
    std::vector<uint8> recordBytes(sizeof(FilterRecord) + 1024, 0);
    auto* record = reinterpret_cast<FilterRecord*>(recordBytes.data());
    BigDocumentStruct big{};
    Run run{&request, record, &big, {}, {}, {}, {}, 0, 0, false};
    current = &run;

    const HostImage& image = request.image;
    FilterRecord& r = *record;
    r.abortProc = testAbort;
    r.progressProc = reportProgress;
    // Sides past 32767 need the 32-bit coordinates, which every run offers.
    describeDocument(record, &big, image.width, image.height, request.filterRect);
    r.planes = int16(image.planes);
    r.background = {0xFFFF, 0xFFFF, 0xFFFF};
    r.maxSpace = 256 << 20;
    r.haveMask = request.selection != nullptr;
    r.autoMask = true;
    r.hostSig = fourCC("NMBL");
    int colourPlanes = request.editableTransparency ? image.planes - 1 : image.planes;
    const bool deep = image.bytesPerSample == 2;
    r.imageMode = colourPlanes >= 3 ? (deep ? plugInModeRGB48 : plugInModeRGBColor)
                                    : (deep ? plugInModeGray16 : plugInModeGrayScale);
    r.imageHRes = r.imageVRes = 72 << 16;
    r.platformData = &platform;
    r.bufferProcs = &bufferProcs;
    r.handleProcs = &handleProcs;
    r.advanceState = advanceState;
    r.supportsPadding = true;
    r.inputRate = r.maskRate = 65536;
    r.depth = deep ? 16 : 8;
    if (request.editableTransparency) {
        r.filterCase =
            request.selection ? filterCaseEditableTransparencyWithSelection : filterCaseEditableTransparencyNoSelection;
        r.inLayerPlanes = r.outLayerPlanes = int16(colourPlanes);
        r.inTransparencyMask = r.outTransparencyMask = 1;
    } else {
        r.filterCase = request.selection ? filterCaseFlatImageWithSelection : filterCaseFlatImageNoSelection;
        r.inNonLayerPlanes = r.outNonLayerPlanes = int16(image.planes);
    }

    intptr_t data = 0;
    int16 result = noErr;
    entry(filterSelectorPrepare, record, &data, &result);
    if (result == noErr && !usesBigCoordinates(&big) && needsBigCoordinates(request))
        result = pluginTooSmallForDocument;
    if (result == noErr && request.settle && r.parameters)
        request.settle(reinterpret_cast<CloudSettings*>(*r.parameters));
    if (result == noErr) entry(filterSelectorStart, record, &data, &result);
    // Each Continue renders at least one row.
    for (int calls = 0; result == noErr && !requestsEmpty(requestedRects(r, &big)) && calls <= image.height + 1;
         ++calls) {
        deliver();
        entry(filterSelectorContinue, record, &data, &result);
    }
    writeBack();
    OSErr outcome = result;
    entry(filterSelectorFinish, record, &data, &result);

    // The blocks the plug-in keeps with the host outlive a run in an editor;
    // this host ends here.
    Handle context = reinterpret_cast<Handle>(data);
    if (context) disposeHandle(context);
    if (r.parameters) disposeHandle(r.parameters);
    current = nullptr;
    return outcome;
}
