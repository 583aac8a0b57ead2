// The plug-in's one exported function, called by the host for every step of a run.
#pragma once

#include "host/HostAbi.h"

extern "C" void NIMBULO_CDECL ENTRYPOINT(int16 selector, void* filterRecord, intptr_t* data, int16* result);
