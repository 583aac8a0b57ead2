#include "platform/Platform.h"

#include <windows.h>

// Moveable global memory, locked at once, as the host interface's own heap
// fallback expects; the lock pointer leads back to the block through GlobalHandle.
void* platformAllocZeroed(size_t size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block) return nullptr;
    void* data = GlobalLock(block);
    if (!data) GlobalFree(block);
    return data;
}

void platformFree(void* data)
{
    if (!data) return;
    HGLOBAL block = GlobalHandle(data);
    if (!block) return;
    GlobalUnlock(block);
    GlobalFree(block);
}
