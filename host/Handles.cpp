#include "host/Handles.h"

#include <cstring>

#include "host/Capabilities.h"
#include "platform/Platform.h"

Handle newHandle(const FilterRecord* record, int32 size)
{
    if (size < 0) return nullptr;
    if (handleSuiteUsable(record)) {
        Handle h = record->handleProcs->newProc(size);
        // A host handle may hold anything; the plug-in's blocks start from zeros.
        if (h && *h) std::memset(*h, 0, size_t(size));
        return h;
    }
    auto* emulated = static_cast<EmulatedHandle*>(platformAllocZeroed(sizeof(EmulatedHandle)));
    if (!emulated) return nullptr;
    emulated->data = platformAllocZeroed(size_t(size));
    if (!emulated->data) {
        platformFree(emulated);
        return nullptr;
    }
    emulated->tag = emulatedHandleTag;
    return reinterpret_cast<Handle>(emulated);
}

void* lockHandle(const FilterRecord* record, Handle h)
{
    if (!h) return nullptr;
    if (handleSuiteUsable(record)) {
        if (!record->handleProcs->lockProc) return nullptr;
        return record->handleProcs->lockProc(h, true);
    }
    return reinterpret_cast<EmulatedHandle*>(h)->data;
}

void unlockHandle(const FilterRecord* record, Handle h)
{
    if (h && handleSuiteUsable(record) && record->handleProcs->unlockProc) record->handleProcs->unlockProc(h);
}

void disposeHandle(const FilterRecord* record, Handle h)
{
    if (!h) return;
    if (handleSuiteUsable(record)) {
        record->handleProcs->disposeProc(h);
        return;
    }
    auto* emulated = reinterpret_cast<EmulatedHandle*>(h);
    platformFree(emulated->data);
    platformFree(emulated);
}
