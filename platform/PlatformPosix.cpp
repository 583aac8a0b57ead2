#include "platform/Platform.h"

#include <cstdlib>

void* platformAllocZeroed(size_t size) { return std::calloc(1, size ? size : 1); }

void platformFree(void* block) { std::free(block); }
