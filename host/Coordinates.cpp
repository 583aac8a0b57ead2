#include "host/Coordinates.h"

#include <initializer_list>

BigDocumentStruct* bigDocumentOf(const FilterRecord* record)
{
    return static_cast<BigDocumentStruct*>(record->bigDocumentData);
}

void announceBigCoordinates(FilterRecord* record)
{
    if (BigDocumentStruct* big = bigDocumentOf(record)) big->PluginUsing32BitCoordinates = 1;
}

bool rectWithinReach(const VRect& rect)
{
    for (int32 v : {rect.top, rect.left, rect.bottom, rect.right})
        if (v < -largestDocumentSide || v > largestDocumentSide) return false;
    return true;
}

static VRect widened(const Rect16& r) { return VRect{r.top, r.left, r.bottom, r.right}; }

// Only a host without 32-bit coordinates gets the 16-bit fields, whose
// rectangles always fit them.
static Rect16 narrowed(const VRect& r) { return Rect16{int16(r.top), int16(r.left), int16(r.bottom), int16(r.right)}; }

// The 32-bit field when the host has them, else the 16-bit one, of the same rectangle.
static VRect readRect(const FilterRecord* record, VRect BigDocumentStruct::*big, Rect16 FilterRecord::*small)
{
    const BigDocumentStruct* document = bigDocumentOf(record);
    return document ? document->*big : widened(record->*small);
}

static void writeRect(FilterRecord* record, VRect BigDocumentStruct::*big, Rect16 FilterRecord::*small,
                      const VRect& rect)
{
    if (BigDocumentStruct* document = bigDocumentOf(record))
        document->*big = rect;
    else
        record->*small = narrowed(rect);
}

VRect filterRectOf(const FilterRecord* record)
{
    return readRect(record, &BigDocumentStruct::filterRect32, &FilterRecord::filterRect);
}
VRect inRectOf(const FilterRecord* record)
{
    return readRect(record, &BigDocumentStruct::inRect32, &FilterRecord::inRect);
}
VRect outRectOf(const FilterRecord* record)
{
    return readRect(record, &BigDocumentStruct::outRect32, &FilterRecord::outRect);
}
VRect maskRectOf(const FilterRecord* record)
{
    return readRect(record, &BigDocumentStruct::maskRect32, &FilterRecord::maskRect);
}

void setFilterRect(FilterRecord* record, const VRect& rect)
{
    writeRect(record, &BigDocumentStruct::filterRect32, &FilterRecord::filterRect, rect);
}
void setInRect(FilterRecord* record, const VRect& rect)
{
    writeRect(record, &BigDocumentStruct::inRect32, &FilterRecord::inRect, rect);
}
void setOutRect(FilterRecord* record, const VRect& rect)
{
    writeRect(record, &BigDocumentStruct::outRect32, &FilterRecord::outRect, rect);
}
void setMaskRect(FilterRecord* record, const VRect& rect)
{
    writeRect(record, &BigDocumentStruct::maskRect32, &FilterRecord::maskRect, rect);
}
