// The document's image mode: which modes are painted, how their samples are
// encoded, and the rows, previews and thumbnails of the modes whose space is
// not the engine's own RGB (CMYK, Lab, at 8 and 16 bits) or whose samples are
// 32-bit linear-light floats (RGB96, Gray32). Grayscale, RGB and their 16-bit
// modes keep their own paths; Duotone is grey data and takes the grey paths.
#pragma once

#include <cstdint>

#include "host/HostAbi.h"
#include "render/CloudModel.h"

struct FilterContext;
struct ColourLink;

// Whether the filter paints the record's mode: a mode it handles, with at
// least the mode's colour planes and, when the host gives a depth, the
// mode's own. Bitmap, Indexed, HSL, HSB, the multichannel modes and numbers
// no host uses are refused with filterBadMode; a mode left at 0 with colour
// planes is a host that never set it, painted by its planes.
bool modeHandled(const FilterRecord* record);

// Bytes of a sample: 1, 2 (0..32768) or 4 (float). A host that leaves
// `depth` 0 is read from its image mode.
int modeBytesPerSample(const FilterRecord* record);

// The 8-bit mode of the preview's and display's proxy (CMYK64 to CMYK, Lab48
// to Lab, RGB96 to RGB, Gray32 and Gray16 to Grayscale, Duotone16 to Duotone).
int16 proxyModeOf(const FilterRecord* record);

// Whether the rows go through this file's composers (CMYK, Lab, 32 bits).
bool paintsInOwnSpace(const FilterRecord* record);

// Makes the run's colour link for the document's mode, once a run: through
// the host's colour services when it offers them, else built in.
void prepareColourModes(FilterContext* ctx);

// One row of the current pass in such a mode; `ctx->renderRow` is the row.
struct ModeRow {
    FilterContext* ctx;
    const ColourLink* link;
    const uint8* in;
    uint8* out;
    int32 D;
    bool preview, transparency, copyClear;
    bool isFloat, lab;
    int32_t space;       // the document's ColourSpace
    int bytes, colours;  // bytes a sample, colour samples a pixel
    int inStep, outStep, inLayer, outLayer;
    double white;       // the transparency sample of an opaque pixel
    double sky[4];      // the preview's sky, as samples of the document
    double checker[2];  // the grey preview's checkerboard (32 bits), light then dark
};
// False (and the row untouched) for modes with paths of their own.
bool beginModeRow(FilterContext* ctx, ModeRow* row);
// Lays the clouds of columns first .. first + n - 1; `clear`: the span is
// clear sky throughout.
void layModeColumns(const ModeRow& row, int32_t first, int32_t n, const CloudPixel* clouds, bool clear);

// The source view while the preview is dragged: one pixel over the
// checkerboard (level `checker`), selection `e`. False for modes with paths
// of their own.
bool sourceViewPixel(FilterContext* ctx, const uint8* in, uint8* out, int e, int checker, bool layer);
// The screen's 8-bit copy of a preview row in CMYK64, Lab48 (a and b about
// their centre), RGB96 or Gray32 (display encoding for colour, 0..255 for
// transparency). False for modes with paths of their own.
bool modeRowToScreen(FilterContext* ctx, const uint8* from, uint8* to, int32 columns);
// A thumbnail pixel in RGB from an output pixel. False for modes with paths of their own.
bool thumbnailPixel(FilterContext* ctx, const uint8* pixel, uint8* rgb);
