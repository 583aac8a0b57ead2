// The plug-in's global block, kept in a host handle between entry-point calls,
// and the work block obtained for the length of one apply.
#pragma once

#include "host/HostAbi.h"
#include "render/CloudPainter.h"
#include "render/ColourModes.h"
#include "render/Lattice.h"
#include "settings/CloudSettings.h"

// Scratch memory of one run, obtained at Start and released when the apply ends.
struct WorkBlock {
    int32 abortTicks;            // rows since the abort test was last polled
    int32 progressTicks;         // rows since progress was last reported
    CloudTables tables;          // the render tables of the current pass
    CloudPainter painter;        // the current pass's settings, prepared for its rows
    bool clearSky;               // whether the current pass skips clear sky
    int32 bandRows;              // rows the final apply asks the host for at once (host/Apply.h)
    ColourLink colourLink;       // RGB to the document's space (host/Modes.h), made once a run
    CloudSettings undoSlots[2];  // the one-step undo history of the dialog
    int32 controlEnabled[160];   // the dialog's controls that answer the mouse
};

struct FilterContext {
    int16* result;          // the host's result word of the current call
    FilterRecord* filter;   // the host's record of the current call
    VRect previewItemRect;  // client rectangle of the dialog's preview item
    VRect previewArea;      // largest area the preview shows
    int32 fitZoom;          // sampling factor at which the filter rectangle fits
    WorkBlock* work;
    int32 regionTop, regionBottom;  // render region rows, inclusive
    int32 regionLeft, regionRight;  // render region columns, inclusive
    int32 progressTotal, progressDone;
    int32 currentRow;                 // next row to render
    int32 maskRowFirst, maskRowLast;  // rows of maskRect relative to filterRect.top
    int32 inRowFirst, inRowLast;      // rows of inRect relative to filterRect.top
    uint8 moreRows;
    VRect savedFilterRect;  // the filter rectangle as the host gave it at Prepare
    int32 zoomLimit;        // largest factor the preview may zoom out to
    int32 renderWidth, renderHeight;
    int32 renderRow;        // row handed to the renderer
    int32 spanLength;       // sizes the host's buffer budget
    BufferID workBufferID;  // 0 when the buffer came from the system heap
    BufferID thumbnailBufferID;
    uint8* thumbnail;   // 64 x 64 RGB, rows from the top
    uint8* screenCopy;  // at 16 bits: the preview output in 8 bits, for displayPixels
    size_t screenCopyBytes;
    int32 undoIndex;           // the undo slot that took the latest snapshot
    void* dialogWindow;        // the main dialog while it is open
    uint8 drawRowsAsRendered;  // the preview render in progress shows its rows as they come
    uint8 stepToRecord;        // the final apply began well: Finish records its settings for the host
};

enum { thumbnailSide = 64, thumbnailBytes = thumbnailSide * thumbnailSide * 3 };

inline void setResult(FilterContext* ctx, OSErr code) { *ctx->result = code; }
inline OSErr resultOf(const FilterContext* ctx) { return *ctx->result; }
