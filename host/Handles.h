// Handles in host memory: through the host's handle suite when it is usable,
// otherwise emulated on the system heap behind the same four operations.
#pragma once

#include "host/HostAbi.h"

// An emulated handle: the data pointer (so *handle reaches the block like a
// host handle) followed by a tag word.
struct EmulatedHandle {
    void* data;
    uintptr_t tag;
};

constexpr uint32 emulatedHandleTag = fourCC("FOTO");

// A new zero-filled handle of `size` bytes; null when memory is short.
Handle newHandle(const FilterRecord* record, int32 size);
void* lockHandle(const FilterRecord* record, Handle h);
void unlockHandle(const FilterRecord* record, Handle h);
void disposeHandle(const FilterRecord* record, Handle h);
