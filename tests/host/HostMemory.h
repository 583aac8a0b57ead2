// Memory the test host hands to the plug-in. On 64-bit builds every block lies
// above 4 GB, so a pointer or token cut down to 32 bits cannot go unnoticed.
#pragma once

#include <cstddef>

namespace testhost {

void* hostAlloc(size_t size);  // zero-filled
void hostFree(void* block);

}  // namespace testhost
