// The two working buffers of a run: the work block and the thumbnail.
// They come from the host's buffer suite when it is usable, else from the heap.
#pragma once

struct FilterContext;

// Obtains both buffers. On failure releases both, writes result 3, zeroes the
// request rectangles and returns false.
bool acquireWorkingBuffers(FilterContext* ctx);

// Gives both buffers back and clears their IDs and pointers.
void releaseWorkingBuffers(FilterContext* ctx);

// Zeroes inRect, outRect and maskRect: tells the host the filter is done.
void clearRequestRects(FilterContext* ctx);
