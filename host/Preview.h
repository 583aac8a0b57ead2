// The dialog's preview: the area it shows, the host request at an integer
// sampling factor, panning, the render into the dialog, the fast source view
// while dragging, and the thumbnail for presets files.
#pragma once

#include "host/HostAbi.h"

struct FilterContext;

// Fits the filter rectangle into the preview item (previewItemRect, set by the
// dialog): sets previewArea and fitZoom. Returns the factor to start at: the
// fit factor, or 1 when the host cannot sample a live preview.
int32 fitPreview(FilterContext* ctx);

// Asks the host for the visible part of the image at factor s.
void setupPreview(FilterContext* ctx, int32 s);

// Keeps the pan offsets inside the image at factor s.
void clampPan(FilterContext* ctx, int32 s);

// Keeps the view's centre when the factor changes from a to b.
void recentrePan(FilterContext* ctx, int32 a, int32 b);

// How a preview render shows itself: after a change, with the wait cursor
// and its rows drawn as they are finished; during a drag (live), with neither:
// the caller shows the finished pane once.
enum PreviewRender { previewRenderShown, previewRenderLive };

// Renders the whole preview request.
void renderPreview(FilterContext* ctx, PreviewRender how = previewRenderShown);

// The source pixels over a checkerboard, weighted by the selection: a fast
// view while the preview is dragged.
void showSourceInPreview(FilterContext* ctx);

// Fills a 64 x 64 thumbnail with the neutral grey ramp: row r is 255 - r.
void fillThumbnailRamp(uint8* thumbnail);

// Fills the 64 x 64 thumbnail from the centre of the preview output.
void grabThumbnail(FilterContext* ctx);

// The host's output buffer described for displayPixels; at 16 bits, the
// 8-bit copy of it the screen is shown (the base address is null when that
// copy cannot be had).
void describePreviewPixels(const FilterContext* ctx, PSPixelMap* map);

// At 16 bits, brings row `row` of the preview output into the screen's 8-bit
// copy; nothing at 8 bits.
void copyPreviewRowToScreen(FilterContext* ctx, int32 row);
