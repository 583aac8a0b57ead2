#include "host/Preview.h"

#include <cstring>

#include "host/Apply.h"
#include "host/Capabilities.h"
#include "host/Context.h"
#include "host/Coordinates.h"
#include "host/Dialogs.h"
#include "host/Mask.h"
#include "host/Modes.h"
#include "host/Rects.h"
#include "platform/Platform.h"
#include "render/Compose16.h"
#include "render/ComposeConstants.h"
#include "render/RowWorkers.h"
#include "resources/ResourceIds.h"
#include "settings/CloudSettings.h"

static inline int32 minInt(int32 a, int32 b) { return a < b ? a : b; }
static inline int32 maxInt(int32 a, int32 b) { return a > b ? a : b; }

int32 fitPreview(FilterContext* ctx)
{
    const FilterRecord* r = ctx->filter;
    const VRect f = filterRectOf(r);
    int32 iw = rectWidth(f), ih = rectHeight(f);

    VRect area = makeRect(ctx->previewItemRect.top + 2, ctx->previewItemRect.left + 2, ctx->previewItemRect.bottom - 2,
                          ctx->previewItemRect.right - 2);
    if (rectWidth(area) > iw) area.right = area.left + iw;
    if (rectHeight(area) > ih) area.bottom = area.top + ih;
    ctx->previewArea = area;

    // A preview item too small to show a pixel still gets a factor, not a division by zero.
    int32 ow = maxInt(minInt(rectWidth(area), iw), 1), oh = maxInt(minInt(rectHeight(area), ih), 1);
    int32 s = maxInt((iw + ow - 1) / ow, (ih + oh - 1) / oh);
    if (s < 1) s = 1;
    ctx->previewItemRect = scaleRect(f, 1, s);
    ctx->fitZoom = s;
    return canSample(r) ? s : 1;
}

void setupPreview(FilterContext* ctx, int32 s)
{
    FilterRecord* r = ctx->filter;
    r->inLoPlane = r->outLoPlane = 0;
    r->inHiPlane = r->outHiPlane = int16(r->planes - 1);
    if (!canSample(r)) {
        settingsOf(ctx)->zoomRate = 1;
        s = 1;
    }
    if (s < 1) s = 1;

    const CloudSettings* settings = settingsOf(ctx);
    const VRect f = filterRectOf(r);
    // The filter rectangle moved by the pan, clipped to itself, then sampled.
    int32 top = maxInt(f.top + settings->panY, f.top), left = maxInt(f.left + settings->panX, f.left);
    int32 bottom = minInt(f.bottom + settings->panY, f.bottom), right = minInt(f.right + settings->panX, f.right);
    VRect in = makeRect(top / s, left / s, bottom / s, right / s);
    // A side shorter than the factor still shows its first sample: a long
    // strip sampled to fit keeps one row (or column) rather than none.
    if (rectWidth(in) < 1 && right > left) in.right = in.left + 1;
    if (rectHeight(in) < 1 && bottom > top) in.bottom = in.top + 1;
    if (rectWidth(in) > rectWidth(ctx->previewArea)) in.right = in.left + rectWidth(ctx->previewArea);
    if (rectHeight(in) > rectHeight(ctx->previewArea)) in.bottom = in.top + rectHeight(ctx->previewArea);

    setInRect(r, in);
    setMaskRect(r, in);
    setOutRect(r, offsetRect(in, f.left - in.left, f.top - in.top));
    r->inputRate = r->maskRate = s * 65536;
    r->inputPadding = r->outputPadding = r->maskPadding = -1;
    ctx->maskRowFirst = in.top - f.top;
    ctx->maskRowLast = in.bottom - f.top - 1;
    ctx->inRowFirst = in.top - f.top;
    ctx->inRowLast = in.bottom - f.top - 1;

    if (canAdvance(r) && resultOf(ctx) == noErr) setResult(ctx, r->advanceState());
    if (resultOf(ctx) == noErr) setRenderGeometry(ctx, inRectOf(r), s);
}

void clampPan(FilterContext* ctx, int32 s)
{
    CloudSettings* settings = settingsOf(ctx);
    if (s < 1) s = 1;
    if (settings->panX < 0) settings->panX = 0;
    if (settings->panY < 0) settings->panY = 0;
    VRect sampled = scaleRect(filterRectOf(ctx->filter), 1, s);
    int32 maxX = maxInt((rectWidth(sampled) - rectWidth(ctx->previewArea)) * s, 0);
    int32 maxY = maxInt((rectHeight(sampled) - rectHeight(ctx->previewArea)) * s, 0);
    settings->panX = minInt(settings->panX, maxX);
    settings->panY = minInt(settings->panY, maxY);
}

void recentrePan(FilterContext* ctx, int32 a, int32 b)
{
    const FilterRecord* r = ctx->filter;
    // The centre of what is shown now, in full-size pixels.
    const VRect in = inRectOf(r), f = filterRectOf(r);
    int32 cx = (in.left * a + in.right * a) / 2;
    int32 cy = (in.top * a + in.bottom * a) / 2;
    int32 w = rectWidth(ctx->previewArea) * b, h = rectHeight(ctx->previewArea) * b;
    CloudSettings* settings = settingsOf(ctx);
    settings->panX = (cx - w / 2) - f.left;
    settings->panY = (cy - h / 2) - f.top;
    clampPan(ctx, b);
}

void renderPreview(FilterContext* ctx, PreviewRender how)
{
    FilterRecord* r = ctx->filter;
    const bool shown = how == previewRenderShown;
    ctx->drawRowsAsRendered = shown;
    if (shown) showWaitCursor(true);
    if (canDisplay(r)) {
        RenderWorkers helpers(renderThreadCount());
        ctx->maskRowFirst = ctx->inRowFirst = ctx->regionTop;
        ctx->maskRowLast = ctx->inRowLast = ctx->regionBottom;
        prepareRenderPass(ctx);
        if (resultOf(ctx) == noErr && r->inData) {
            while (ctx->moreRows && resultOf(ctx) == noErr) {
                renderOneRow(ctx);
                if (resultOf(ctx) != noErr) {
                    ctx->moreRows = 0;
                    showMessage(RESOURCE_NAME(IDD_OUT_OF_MEMORY));
                }
            }
        }
    }
    if (shown) showWaitCursor(false);
}

void showSourceInPreview(FilterContext* ctx)
{
    FilterRecord* r = ctx->filter;
    ctx->maskRowFirst = ctx->inRowFirst = ctx->regionTop;
    ctx->maskRowLast = ctx->inRowLast = ctx->regionBottom;
    const bool layer = hasEditableTransparency(r) && r->outTransparencyMask != 0;
    const bool deep = bytesPerSample(r) == 2;
    const int colourSamples = isColourImage(r) ? 3 : 1, sampleBytes = deep ? 2 : 1;
    const int inStep = (r->inHiPlane - r->inLoPlane + 1) * sampleBytes, outStep = r->planes * sampleBytes;
    const int32 rows = rectHeight(inRectOf(r)), columns = rectWidth(outRectOf(r));
    for (int32 i = 0; i < rows; ++i) {
        ctx->renderRow = i;
        if (settingsOf(ctx)->dialogActive != 1 || !r->inData || !r->outData) continue;
        const uint8* in = static_cast<const uint8*>(r->inData) + ptrdiff_t(i) * r->inRowBytes;
        uint8* out = static_cast<uint8*>(r->outData) + ptrdiff_t(i) * r->outRowBytes;
        for (int32 x = 0; x < columns; ++x, in += inStep, out += outStep) {
            int e = maskValueAt(ctx, x, i);
            int checker = checkerDark(x, i) ? sourceCheckerDark : sourceCheckerLight;
            if (sourceViewPixel(ctx, in, out, e, checker, layer)) continue;  // CMYK, Lab, 32 bits
            if (!deep) {
                if (layer) {
                    e = (e * in[r->inLayerPlanes]) >> 8;
                    out[r->outLayerPlanes] = 255;
                }
                for (int k = 0; k < colourSamples; ++k) out[k] = uint8((checker * (255 - e) + e * in[k]) >> 8);
                continue;
            }
            // 16 bits: the same weights, with the layer's transparency in 0..32768.
            double weight = e / 255.0;
            if (layer) {
                weight *= loadSample16(in + 2 * r->inLayerPlanes) / double(deepWhite);
                storeSample16(out + 2 * r->outLayerPlanes, deepWhite);
            }
            const double behind = sample16From8(checker);
            for (int k = 0; k < colourSamples; ++k)
                storeSample16(out + 2 * k, behind * (1.0 - weight) + weight * loadSample16(in + 2 * k));
        }
        copyPreviewRowToScreen(ctx, i);
    }
}

// At 16 bits the screen gets an 8-bit copy of the preview output, of the
// output rectangle's size, made anew when that changes.
static bool screenCopyFits(FilterContext* ctx)
{
    const FilterRecord* r = ctx->filter;
    const VRect out = outRectOf(r);
    int32 w = rectWidth(out), h = rectHeight(out);
    size_t bytes = w > 0 && h > 0 && r->planes > 0 ? size_t(w) * size_t(h) * size_t(r->planes) : 0;
    if (bytes == 0) return false;
    if (ctx->screenCopy && ctx->screenCopyBytes == bytes) return true;
    platformFree(ctx->screenCopy);
    ctx->screenCopy = static_cast<uint8*>(platformAllocZeroed(bytes));
    ctx->screenCopyBytes = ctx->screenCopy ? bytes : 0;
    return ctx->screenCopy != nullptr;
}

void copyPreviewRowToScreen(FilterContext* ctx, int32 row)
{
    const FilterRecord* r = ctx->filter;
    const VRect out = outRectOf(r);
    if (bytesPerSample(r) == 1 || !r->outData || row < 0 || row >= rectHeight(out) || !screenCopyFits(ctx)) return;
    const size_t samples = size_t(rectWidth(out)) * size_t(r->planes);
    const uint8* from = static_cast<const uint8*>(r->outData) + ptrdiff_t(row) * r->outRowBytes;
    uint8* to = ctx->screenCopy + size_t(row) * samples;
    if (modeRowToScreen(ctx, from, to, rectWidth(out))) return;
    for (size_t k = 0; k < samples; ++k) to[k] = uint8(sample8From16(loadSample16(from + 2 * k)));
}

void fillThumbnailRamp(uint8* thumbnail)
{
    if (!thumbnail) return;
    for (int j = 0; j < thumbnailSide; ++j) std::memset(thumbnail + j * thumbnailSide * 3, 255 - j, thumbnailSide * 3);
}

void grabThumbnail(FilterContext* ctx)
{
    uint8* thumb = ctx->thumbnail;
    if (!thumb) return;
    fillThumbnailRamp(thumb);

    const FilterRecord* r = ctx->filter;
    if (!canAdvance(r) || !r->outData) return;
    const VRect shown = outRectOf(r);
    VRect o = offsetRect(shown, -shown.left, -shown.top);
    VRect box = makeRect(0, 0, thumbnailSide, thumbnailSide);
    VRect s = makeRect(0, 0, minInt(thumbnailSide, rectHeight(o)), minInt(thumbnailSide, rectWidth(o)));
    s = centreRect(s, o);
    VRect d = centreRect(s, box);

    const auto* out = static_cast<const uint8*>(r->outData);
    const bool colour = r->planes >= 3;
    const int sampleBytes = bytesPerSample(r);
    // A sample of the output in 8 bits, whatever its depth.
    auto sample = [&](const uint8* p, int k) {
        return sampleBytes == 2 ? uint8(sample8From16(loadSample16(p + 2 * k))) : p[k];
    };
    for (int32 y = d.top; y < d.bottom; ++y)
        for (int32 x = d.left; x < d.right; ++x) {
            const uint8* p = out + ptrdiff_t(s.top + y - d.top) * r->outRowBytes +
                             ptrdiff_t(s.left + x - d.left) * r->planes * sampleBytes;
            uint8* t = thumb + (y * thumbnailSide + x) * 3;
            if (thumbnailPixel(ctx, p, t)) continue;  // CMYK, Lab, 32 bits
            t[0] = sample(p, 0);
            t[1] = sample(p, colour ? 1 : 0);
            t[2] = sample(p, colour ? 2 : 0);
        }
}

void describePreviewPixels(const FilterContext* ctx, PSPixelMap* map)
{
    const FilterRecord* r = ctx->filter;
    std::memset(map, 0, sizeof *map);
    map->version = 1;
    map->bounds = outRectOf(r);
    map->imageMode = r->imageMode;
    map->rowBytes = r->outRowBytes;
    map->colBytes = r->outHiPlane - r->outLoPlane + 1;
    map->planeBytes = 1;
    map->baseAddr = r->outData;
    if (bytesPerSample(r) != 1) {
        // displayPixels takes 8-bit maps: the screen's copy, in the matching 8-bit mode.
        map->imageMode = proxyModeOf(r);
        map->rowBytes = rectWidth(map->bounds) * r->planes;
        map->colBytes = r->planes;
        map->baseAddr = screenCopyFits(const_cast<FilterContext*>(ctx)) ? ctx->screenCopy : nullptr;
    }
}
