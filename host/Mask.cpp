#include "host/Mask.h"

#include <cstddef>

#include "host/Capabilities.h"
#include "host/Context.h"

int maskValueAt(const FilterContext* ctx, int32_t x, int32_t y)
{
    if (x < 0 || x > ctx->regionRight || y < ctx->regionTop || y > ctx->regionBottom) return 0;
    const FilterRecord* record = ctx->filter;
    if (!hasMask(record)) return 255;
    if (y < ctx->maskRowFirst || y > ctx->maskRowLast) return 0;
    const auto* mask = static_cast<const uint8*>(record->maskData);
    return mask[ptrdiff_t(y - ctx->maskRowFirst) * record->maskRowBytes + x];
}
