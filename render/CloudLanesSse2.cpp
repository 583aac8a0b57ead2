// The SSE2 build of the vector cloud model: 4 pixels at a time.
#include "render/CloudLanes.h"
#include "render/RenderPath.h"
#include "render/SeamlessLanes.h"

#if defined(NIMBULO_HAVE_SSE2)
bool ShadeCloudPackSse2(const CloudRow* row, const CloudTables* t, int32_t i0, CloudPixel* out, uint32_t* cutShort)
{
    return CloudLanes<SseLanes>::shade(row, t, i0, out, cutShort);
}

int ClearCloudBlocksSse2(const CloudRow* row, const CloudTables* t, int32_t i0, int level)
{
    return CloudLanes<SseLanes>::clearBlocks(row, t, i0, level);
}

bool ShadeSeamlessPackSse2(const CloudRow* row, const CloudTables* t, int32_t i0, CloudPixel* out, uint32_t* cutShort)
{
    return SeamlessLanes<SseLanes>::shade(row, t, i0, out, cutShort);
}

int ClearSeamlessBlocksSse2(const CloudRow* row, const CloudTables* t, int32_t i0, int level)
{
    return SeamlessLanes<SseLanes>::clearBlocks(row, t, i0, level);
}
#else
bool ShadeCloudPackSse2(const CloudRow*, const CloudTables*, int32_t, CloudPixel*, uint32_t*) { return false; }
int ClearCloudBlocksSse2(const CloudRow*, const CloudTables*, int32_t, int) { return 0; }
bool ShadeSeamlessPackSse2(const CloudRow*, const CloudTables*, int32_t, CloudPixel*, uint32_t*) { return false; }
int ClearSeamlessBlocksSse2(const CloudRow*, const CloudTables*, int32_t, int) { return 0; }
#endif
