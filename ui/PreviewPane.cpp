#include "ui/PreviewPane.h"

#include <cstdio>

#include "host/Capabilities.h"
#include "host/Context.h"
#include "host/Coordinates.h"
#include "host/Dialogs.h"
#include "host/Preview.h"
#include "host/Rects.h"
#include "settings/CloudSettings.h"

void zoomCommand(FilterContext* ctx, void* dialog, int id, uint8_t* changed)
{
    (void)dialog;
    if (id != IDC_ZOOM_OUT && id != IDC_ZOOM_IN && id != IDC_ZOOM_READOUT) return;
    if (!canSample(ctx->filter)) return;
    CloudSettings* s = settingsOf(ctx);
    int32_t z = s->zoomRate;
    if (id == IDC_ZOOM_OUT) {
        if (z >= ctx->zoomLimit) return;
        recentrePan(ctx, z, z + 1);
        s->zoomRate = z + 1;
        if (s->zoomRate == ctx->zoomLimit) s->panX = s->panY = 0;
    } else if (id == IDC_ZOOM_IN) {
        if (z < 2) return;
        recentrePan(ctx, z, z - 1);
        s->zoomRate = z - 1;
    } else {
        recentrePan(ctx, z, 1);
        s->zoomRate = 1;
    }
    setupPreview(ctx, settingsOf(ctx)->zoomRate);
    *changed = 1;
}

void refreshZoomButtons(FilterContext* ctx, void* dialog)
{
    const CloudSettings* s = settingsOf(ctx);
    bool sampling = canSample(ctx->filter);
    if (ctx->work) {
        ctx->work->controlEnabled[IDC_ZOOM_OUT] = sampling && s->zoomRate < ctx->zoomLimit;
        ctx->work->controlEnabled[IDC_ZOOM_IN] = sampling && s->zoomRate > 1;
    }
    invalidateControl(dialog, IDC_ZOOM_OUT);
    invalidateControl(dialog, IDC_ZOOM_IN);
    invalidateControl(dialog, IDC_ZOOM_READOUT);
}

void zoomReadout(int32_t zoomRate, char* text, size_t size)
{
    std::snprintf(text, size, "%d%%", int(zoomRate > 0 ? 100 / zoomRate : 100));
}

PanePoint paneImageOrigin(const PixelRect& pane, int ow, int oh)
{
    int w = widthOf(pane), h = heightOf(pane);
    return PanePoint{w > ow ? pane.left + (w - ow) / 2 : pane.left, h > oh ? pane.top + (h - oh) / 2 : pane.top};
}

PanePoint imagePointAt(FilterContext* ctx, const PixelRect& pane, PanePoint p)
{
    const VRect out = outRectOf(ctx->filter);
    PanePoint origin = paneImageOrigin(pane, rectWidth(out), rectHeight(out));
    const CloudSettings* s = settingsOf(ctx);
    return PanePoint{s->panX + (p.x - origin.x) * s->zoomRate, s->panY + (p.y - origin.y) * s->zoomRate};
}

bool pressStartsPan(FilterContext* ctx) { return settingsOf(ctx)->zoomRate != ctx->fitZoom; }

void setCentreFromPressPoint(FilterContext* ctx, const PixelRect& pane)
{
    CloudSettings* s = settingsOf(ctx);
    PanePoint centre = imagePointAt(ctx, pane, PanePoint{s->pressPoint[1], s->pressPoint[0]});
    s->centreX = centre.x;
    s->centreY = centre.y;
    // A filter rectangle of no width or height keeps the fraction it had.
    int w = rectWidth(ctx->savedFilterRect), h = rectHeight(ctx->savedFilterRect);
    if (w > 0) s->centreU = float(s->centreX) / float(w);
    if (h > 0) s->centreV = float(s->centreY) / float(h);
}
