// The host's selection mask as the renderer sees it.
#pragma once

#include <cstdint>

struct FilterContext;

// The selection at render position (x, y): 0 outside the render region or the
// delivered mask rows, 255 where the host has no mask, else the mask byte.
int maskValueAt(const FilterContext* ctx, int32_t x, int32_t y);
