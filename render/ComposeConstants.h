// The numbers of laying a cloud over a pixel, named once for the 8-bit and
// 16-bit composers and the preview, so that the depths cannot drift apart.
#pragma once

#include <cstdint>

// A channel brighter than white gives its excess to the others: three times
// the excess, times 75/256, shared out, so an over-bright colour turns whiter
// instead of changing hue.
constexpr int32_t spillExcessFactor = 3;
constexpr int32_t spillShare = 75;  // out of 256
constexpr int spillShift = 8;

// Grey from colour: (77 R + 150 G + 28 B) / 256. The weights add up to 255,
// so white turns a 256th darker; pictures have always been painted so.
constexpr int32_t greyWeightRed = 77, greyWeightGreen = 150, greyWeightBlue = 28;
constexpr int greyShift = 8;

// A selection byte as a weight out of 256: values above 127 count one more, so
// that a fully selected pixel (255) takes all of the clouds and an unselected
// one (0) none.
inline int32_t maskWeight256(int32_t m) { return m > 127 ? m + 1 : m; }

// The 8-by-8 checkerboard shown behind what a grey preview's clouds do not
// cover, and behind the source view while the preview is dragged: the dark
// squares are where (x XOR y) AND 8 is set.
constexpr int32_t checkerSquare = 8;
inline bool checkerDark(int32_t x, int32_t y) { return ((x ^ y) & checkerSquare) != 0; }
constexpr int32_t previewCheckerLight = 144, previewCheckerDark = 112;  // behind a grey image's clouds
constexpr int32_t sourceCheckerLight = 255, sourceCheckerDark = 204;    // behind the source view
