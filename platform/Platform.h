// The one seam between the portable code and the operating system.
// Win32 and POSIX each implement it in their own file.
#pragma once

#include <cstddef>

// Zero-filled memory from the system heap, ready to use; null when none is left.
void* platformAllocZeroed(size_t size);

// Gives back memory from platformAllocZeroed; null is ignored.
void platformFree(void* block);
