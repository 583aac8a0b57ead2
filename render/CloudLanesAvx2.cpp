// The AVX2 build of the vector cloud model: 8 pixels at a time. This file
// alone is compiled for AVX2 (and never for fused multiply-adds); it is only
// called on processors that run it.
#include "render/CloudLanes.h"
#include "render/RenderPath.h"
#include "render/SeamlessLanes.h"

#if defined(__AVX2__)
bool ShadeCloudPackAvx2(const CloudRow* row, const CloudTables* t, int32_t i0, CloudPixel* out, uint32_t* cutShort)
{
    return CloudLanes<AvxLanes>::shade(row, t, i0, out, cutShort);
}

int ClearCloudBlocksAvx2(const CloudRow* row, const CloudTables* t, int32_t i0, int level)
{
    return CloudLanes<AvxLanes>::clearBlocks(row, t, i0, level);
}

bool ShadeSeamlessPackAvx2(const CloudRow* row, const CloudTables* t, int32_t i0, CloudPixel* out, uint32_t* cutShort)
{
    return SeamlessLanes<AvxLanes>::shade(row, t, i0, out, cutShort);
}

int ClearSeamlessBlocksAvx2(const CloudRow* row, const CloudTables* t, int32_t i0, int level)
{
    return SeamlessLanes<AvxLanes>::clearBlocks(row, t, i0, level);
}
#else
bool ShadeCloudPackAvx2(const CloudRow*, const CloudTables*, int32_t, CloudPixel*, uint32_t*) { return false; }
int ClearCloudBlocksAvx2(const CloudRow*, const CloudTables*, int32_t, int) { return 0; }
bool ShadeSeamlessPackAvx2(const CloudRow*, const CloudTables*, int32_t, CloudPixel*, uint32_t*) { return false; }
int ClearSeamlessBlocksAvx2(const CloudRow*, const CloudTables*, int32_t, int) { return 0; }
#endif
