// What the host offers. Every optional facility is tested where it is used;
// a missing one turns a feature off instead of stopping the filter.
#pragma once

#include "host/HostAbi.h"

bool canAdvance(const FilterRecord* record);               // rows and preview areas on demand
bool canDisplay(const FilterRecord* record);               // live preview
bool canSample(const FilterRecord* record);                // preview at a factor above 1
bool handleSuiteUsable(const FilterRecord* record);        // host handles instead of emulated ones
bool bufferSuiteUsable(const FilterRecord* record);        // host buffers instead of the heap
bool hasMask(const FilterRecord* record);                  // a selection mask is delivered
bool isColourImage(const FilterRecord* record);            // red, green, blue samples per pixel
bool hasEditableTransparency(const FilterRecord* record);  // a layer transparency sample follows
// 2 in the 16-bit modes (samples 0..32768), 4 in the 32-bit float modes,
// else 1. A host that leaves `depth` 0 is read from its image mode.
int bytesPerSample(const FilterRecord* record);
