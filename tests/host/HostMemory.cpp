#include "host/HostMemory.h"

#include <cstdint>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace testhost {

#if UINTPTR_MAX > 0xFFFFFFFFu
// Blocks are mapped at rising hint addresses well above 4 GB.
static uintptr_t nextHint = uintptr_t(0x20) << 32;

// The live mappings, in a table of fixed size, so that the host allocates
// nothing on the side (a test may make every other allocation fail).
struct Mapping {
    void* block;
    size_t size;
};
static Mapping mappings[4096];

static void* mapAt(uintptr_t hint, size_t size)
{
#ifdef _WIN32
    return VirtualAlloc(reinterpret_cast<void*>(hint), size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
    void* p = mmap(reinterpret_cast<void*>(hint), size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
#endif
}

static void unmap(void* block, size_t size)
{
#ifdef _WIN32
    (void)size;
    VirtualFree(block, 0, MEM_RELEASE);
#else
    munmap(block, size);
#endif
}

void* hostAlloc(size_t size)
{
    const size_t granule = 0x10000;
    size_t rounded = (size + granule - 1) / granule * granule;
    if (rounded == 0) rounded = granule;
    Mapping* entry = nullptr;
    for (Mapping& m : mappings)
        if (!m.block) {
            entry = &m;
            break;
        }
    if (!entry) return nullptr;
    for (int attempt = 0; attempt < 64; ++attempt) {
        void* block = mapAt(nextHint, rounded);
        nextHint += rounded + granule;
        if (!block) continue;
        if (reinterpret_cast<uintptr_t>(block) > 0xFFFFFFFFu) {
            *entry = Mapping{block, rounded};
            return block;  // fresh mappings are zero-filled
        }
        unmap(block, rounded);
    }
    return nullptr;
}

void hostFree(void* block)
{
    if (!block) return;
    for (Mapping& m : mappings)
        if (m.block == block) {
            unmap(block, m.size);
            m = Mapping{nullptr, 0};
            return;
        }
}
#else
void* hostAlloc(size_t size) { return std::calloc(1, size ? size : 1); }
void hostFree(void* block) { std::free(block); }
#endif

}  // namespace testhost
