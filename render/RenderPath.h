// Which code computes the cloud pixels: the scalar reference, or a vector
// path that gives the same bits 4 (SSE2) or 8 (AVX2) pixels at a time. The
// best path the processor runs is chosen once; tests and benchmarks may pick
// another.
#pragma once

#include <cstdint>

#include "render/CloudModel.h"

enum RenderPath { renderScalar, renderSse2, renderAvx2 };

// The fastest path this processor and system run.
RenderPath bestRenderPath();

// The path in use (the best one unless set); a path the processor cannot run
// falls back to the best one it can.
RenderPath currentRenderPath();
void setRenderPath(RenderPath path);
const char* renderPathName(RenderPath path);

// Cloud pixels of columns i0 .. i0 + n - 1 of the row set up last, exactly as
// ShadeCloudPixel gives them one by one. Columns no puff can reach get the
// clear pixel without running the model (CloudReach.h). True when the span
// is clear sky throughout (isClearSky at every pixel, found on the way).
bool ShadeCloudSpan(const CloudRow* row, const CloudTables* t, int32_t i0, int32_t n, CloudPixel* out);

// A span length that suits ShadeCloudSpan: four groups of its widest blocks
// (shorter spans cut them short), few enough pixels for a stack.
constexpr int32_t goodSpanColumns = 896;

// The packs the vector files build: `out` gets 4 or 8 pixels from column i0;
// false when a lane leaves the vector forms' ranges (nothing is written then).
// *cutShort counts pixels whose noise stopped early.
bool ShadeCloudPackSse2(const CloudRow* row, const CloudTables* t, int32_t i0, CloudPixel* out, uint32_t* cutShort);
bool ShadeCloudPackAvx2(const CloudRow* row, const CloudTables* t, int32_t i0, CloudPixel* out, uint32_t* cutShort);
// Which of 3 (SSE2) or 7 (AVX2) blocks of 4 or 8 columns from i0 (at level
// 1, of 16 or 32) no puff can cover: bit k for block k, from a noise sample
// at each block's ends. For bounded rows with a lumpiness above 0.
int ClearCloudBlocksSse2(const CloudRow* row, const CloudTables* t, int32_t i0, int level);
int ClearCloudBlocksAvx2(const CloudRow* row, const CloudTables* t, int32_t i0, int level);
// The same two for seamless rows (Seamless.h); their blocks for rows with
// seamlessBlocksU above 0 and a lumpiness above 0.
bool ShadeSeamlessPackSse2(const CloudRow* row, const CloudTables* t, int32_t i0, CloudPixel* out, uint32_t* cutShort);
bool ShadeSeamlessPackAvx2(const CloudRow* row, const CloudTables* t, int32_t i0, CloudPixel* out, uint32_t* cutShort);
int ClearSeamlessBlocksSse2(const CloudRow* row, const CloudTables* t, int32_t i0, int level);
int ClearSeamlessBlocksAvx2(const CloudRow* row, const CloudTables* t, int32_t i0, int level);
