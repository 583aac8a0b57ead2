// The test host's image modes beyond RGB and Grayscale. Its pictures start as
// 8-bit RGB or grey; a mode converts them by the host's own conversion, and
// the host's colour services answer ConvertColor with the same conversion.
//
// The conversion: RGB is sRGB. Lab is CIE L*a*b* under D50, reached through
// the sRGB primaries as ICC profiles adapt them to D50 (white: each row's
// sum); L 0..100 is 0..255 at 8 bits, a and b are offset by 128. CMYK is
// device CMYK: black from the brightest channel (K = 1 - max), each ink the
// share its channel lacks; samples inverted, 255 no ink. Duotone is the grey
// picture. At 16 bits samples are 0..32768 (Lab a and b centred on 16384, a
// step of 128 for an 8-bit step); at 32 bits, sRGB decoded to linear light.
#pragma once

#include <vector>

#include "host/HostAbi.h"
#include "host/TestHost.h"

namespace testhost {

// 8-bit RGB levels (fractions kept) to a space's 8-bit samples and back.
void hostRgbToLab(const double rgb[3], double lab[3]);
void hostLabToRgb(const double lab[3], double rgb[3]);
void hostRgbToCmyk(const double rgb[3], double cmyk[4]);
void hostCmykToRgb(const double cmyk[4], double rgb[3]);
double hostDecodeSrgb(double level);   // a level 0..255 to linear light
double hostEncodeSrgb(double linear);  // linear light to a level, unrounded

// The host's ConvertColor: RGB to RGB, CMYK, Lab or Gray, rounded to whole
// 8-bit components. Other selectors and spaces get paramErr.
OSErr hostConvertColour(ColorServicesInfo* info);

// Puts the host's picture into `mode` (CMYK, Lab, Duotone and their 16-bit
// modes, RGB96, Gray32): samples converted as above, planes and record as a
// host in that mode gives them, colour services answering ConvertColor. Call
// after setEditableTransparency and before setMask. Any other mode (Bitmap,
// Indexed, Multichannel...) only changes `imageMode`, as a host that calls
// the filter anyway.
void useMode(TestHost& host, int16 mode);

// A picture's pixels in RGB (grey for the grey modes) 8-bit levels with
// fractions, by the host's conversion, then its transparency (0..255) when it
// has a layer: `colours` + 0 or 1 values a pixel. At 32 bits the colour is
// encoded to sRGB levels.
std::vector<double> asRgbLevels(const TestHost& host, const std::vector<uint8>& pixels, int16 mode);

// Grayscale, RGB, CMYK, Duotone, Lab: the modes displayPixels draws.
bool isEightBitDisplayMode(int32 mode);

// A sample of a 32-bit picture.
float floatSample(const std::vector<uint8>& pixels, size_t index);
void setFloatSample(std::vector<uint8>& pixels, size_t index, float value);

}  // namespace testhost
