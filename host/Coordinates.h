// The interface's rectangles as 32-bit values. A host with documents larger
// than the 16-bit fields can hold passes a BigDocumentStruct; once the
// plug-in says it uses it, its fields replace filterRect, inRect, outRect and
// maskRect. Everything else in the plug-in reads and writes the rectangles
// through these functions, so it neither knows nor cares which fields apply.
#pragma once

#include "host/HostAbi.h"

// The host's 32-bit coordinates; null when it has none.
BigDocumentStruct* bigDocumentOf(const FilterRecord* record);

// Tells a host with 32-bit coordinates that the plug-in reads and writes
// them; nothing for a host without.
void announceBigCoordinates(FilterRecord* record);

// The largest document side the plug-in takes, as its property list says.
enum : int32 { largestDocumentSide = 300000 };

// Whether every coordinate of `rect` lies within the largest document's
// reach either side of 0: the sizes, pans and centres computed from such a
// rectangle keep well inside 32 bits. An odd host's rectangle beyond it is
// refused rather than computed with.
bool rectWithinReach(const VRect& rect);

VRect filterRectOf(const FilterRecord* record);
VRect inRectOf(const FilterRecord* record);
VRect outRectOf(const FilterRecord* record);
VRect maskRectOf(const FilterRecord* record);

void setFilterRect(FilterRecord* record, const VRect& rect);
void setInRect(FilterRecord* record, const VRect& rect);
void setOutRect(FilterRecord* record, const VRect& rect);
void setMaskRect(FilterRecord* record, const VRect& rect);
