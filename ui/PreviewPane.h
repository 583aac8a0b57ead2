// The preview pane's arithmetic and zoom commands: the mapping between pane
// points and image pixels, the zoom steps, the zoom buttons' state and the
// readout. The drawing and the mouse gestures are the Windows side's
// (PreviewPaneWin.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "resources/ResourceIds.h"
#include "ui/Layout.h"

struct FilterContext;

// IDC_ZOOM_OUT ("-"), IDC_ZOOM_IN ("+") and IDC_ZOOM_READOUT ("%"); other ids are ignored, and all of them
// when the host cannot sample. Sets `changed` when the zoom was set up anew.
void zoomCommand(FilterContext* ctx, void* dialog, int id, uint8_t* changed);

// Enables "-" below the zoom limit and "+" above 1 (neither without
// sampling), and repaints the three zoom buttons.
void refreshZoomButtons(FilterContext* ctx, void* dialog);

// The readout: 100 / zoom, then "%".
void zoomReadout(int32_t zoomRate, char* text, size_t size);

struct PanePoint {
    int x, y;
};

// The pane point where the image's top-left pixel is shown: the output
// rectangle (ow x oh) centred in the pane's outer rectangle.
PanePoint paneImageOrigin(const PixelRect& pane, int ow, int oh);

// The image pixel (relative to the filter rectangle) that pane point p shows.
PanePoint imagePointAt(FilterContext* ctx, const PixelRect& pane, PanePoint p);

// A press starts a pan when only part of the image is visible.
bool pressStartsPan(FilterContext* ctx);

// Moves the pattern's centre to the image point under pressPoint; not
// clamped, so a press beside the image gives a centre outside it.
void setCentreFromPressPoint(FilterContext* ctx, const PixelRect& pane);

#ifdef _WIN32
#include <windows.h>

// Puts the host's output buffer on screen in the pane: optionally cleared to
// white, framed in black, the buffer centred in the pane.
void displayPreview(FilterContext* ctx, HWND dialog, bool clearFirst);

// A press at (x, y) on the pane: starts a pan when only part of the image is
// visible, otherwise moves the pattern's centre there at once.
void pressPreview(FilterContext* ctx, HWND dialog, int x, int y);

// A mouse move while the pane holds the capture: pans, showing the source.
void panPreview(FilterContext* ctx, HWND dialog, int x, int y);

// While the right button holds the pane of seamless clouds shown whole:
// the picture rolled by half, so that its edges meet in the middle where a
// seam would show. False (nothing drawn) when wrap is off, only part of the
// image is visible, or (x, y) is not on the pane; displayPreview ends it.
bool showSeams(FilterContext* ctx, HWND dialog, int x, int y);

// The release of a press that did not pan: moves the centre to the press
// point and records it for undo. The dialog re-renders after it.
void releasePreview(FilterContext* ctx, HWND dialog);
#endif
