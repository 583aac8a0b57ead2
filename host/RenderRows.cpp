// The row renderer: turns one row of host pixels into clouds laid over them.
#include "host/RenderRows.h"

#include <cmath>
#include <cstring>

#include "host/Capabilities.h"
#include "host/Context.h"
#include "host/Coordinates.h"
#include "host/Mask.h"
#include "host/Modes.h"
#include "render/CloudPainter.h"
#include "render/Compose16.h"
#include "render/Compose8.h"
#include "render/RenderPath.h"
#include "render/RowWorkers.h"
#include "settings/CloudSettings.h"

namespace {

// What every column of a row needs; read only while the row renders.
struct RowWork {
    FilterContext* ctx;
    const CloudTables* tables;
    const uint8* in;
    uint8* out;
    int32_t D;
    bool preview, transparency, colour;
    bool deep;      // 16 bits per channel: offsets and steps below are in bytes
    bool clearSky;  // clear sky is skipped (CloudReach.h): copied, not composed
    int inLayer, outLayer, inStep, outStep;
    int sky8[3], sky16[3];
};

// Whether the final pass leaves pixels with no cloud and no glow as they
// were: over an opaque image (clear sky, the most common pixel), both
// depths' composers give exactly the source there, and the loops copy it
// without them.
inline bool copiesClearSky(const RowWork& w) { return w.clearSky && !w.preview && !w.transparency; }

inline bool untouched(bool copyClear, const CloudPixel& cloud) { return copyClear && isClearSky(cloud); }

// Whether the 8 pixels from `next` on are, bit for bit, the one before them:
// clear sky comes in long runs of one pixel, compared here 8 at a time.
inline bool sameAsBefore8(const CloudPixel* next) { return std::memcmp(next - 1, next, 8 * sizeof(CloudPixel)) == 0; }

// Copies the colour samples of `run` 8-bit pixels from in to out.
void copyRun(const uint8* in, uint8* out, int32_t run, int inStep, int outStep, bool colour)
{
    const int channels = colour ? 3 : 1;
    const size_t bytes = size_t(run) * size_t(channels);
    if (in == out) return;
    if (inStep == channels && outStep == channels && (out + bytes <= in || in + bytes <= out)) {
        std::memcpy(out, in, bytes);
        return;
    }
    for (int32_t j = 0; j < run; ++j, in += inStep, out += outStep) {
        out[0] = in[0];
        if (colour) out[1] = in[1], out[2] = in[2];
    }
}

// Lays the cloud pixels of columns first .. first + n - 1 over their source
// pixels.
void composeColumns(const RowWork& w, int32_t first, int32_t n, const CloudPixel* clouds)
{
    const uint8* in = w.in + ptrdiff_t(first) * w.inStep;
    uint8* out = w.out + ptrdiff_t(first) * w.outStep;
    // In locals: the byte stores below could alias the row's fields.
    const bool copyClear = copiesClearSky(w), colour = w.colour;
    const int inStep = w.inStep, outStep = w.outStep;
    for (int32_t k = 0; k < n; ++k, in += inStep, out += outStep) {
        if (untouched(copyClear, clouds[k])) {
            // A run of clear sky is copied as it stands, in one go where
            // both rows hold just the colour samples.
            int32_t run = 1;
            while (k + run + 8 <= n && sameAsBefore8(clouds + k + run)) run += 8;
            while (k + run < n && untouched(copyClear, clouds[k + run])) ++run;
            copyRun(in, out, run, inStep, outStep, colour);
            k += run - 1;
            in += ptrdiff_t(run - 1) * inStep;
            out += ptrdiff_t(run - 1) * outStep;
            continue;
        }
        const int32_t i = first + k;
        int32_t source[3] = {in[0], w.colour ? in[1] : in[0], w.colour ? in[2] : in[0]};
        int32_t a0 = w.transparency ? in[w.inLayer] : 255;
        ComposedPixel px = compose8::composePixel(w.tables, clouds[k], source, a0, w.colour, w.transparency);

        if (!w.preview) {
            out[0] = uint8(px.red);
            if (w.colour) {
                out[1] = uint8(px.green);
                out[2] = uint8(px.blue);
            }
            if (w.transparency) out[w.outLayer] = uint8(px.transparency);
            continue;
        }

        // The preview shows what the host will do with the selection: the
        // sky colour (or, for grey, a checkerboard) where the cloud does not reach.
        int32_t m = maskWeight256(maskValueAt(w.ctx, i, w.D));
        if (w.transparency) {
            m = (m * px.transparency) >> 8;
            out[w.outLayer] = 255;
        }
        if (w.colour) {
            const int32_t ch[3] = {px.red, px.green, px.blue};
            for (int c = 0; c < 3; ++c) out[c] = uint8((m * ch[c] + (256 - m) * w.sky8[c]) >> 8);
        } else {
            int32_t checker = checkerDark(i, w.D) ? previewCheckerDark : previewCheckerLight;
            out[0] = uint8((m * px.red + (256 - m) * checker) >> 8);
        }
    }
}

// The same at 16 bits per channel: samples of two bytes in the host's range
// 0..32768, composed with 16-bit precision.
void composeColumns16(const RowWork& w, int32_t first, int32_t n, const CloudPixel* clouds)
{
    const uint8* in = w.in + ptrdiff_t(first) * w.inStep;
    uint8* out = w.out + ptrdiff_t(first) * w.outStep;
    const bool copyClear = copiesClearSky(w);
    for (int32_t k = 0; k < n; ++k, in += w.inStep, out += w.outStep) {
        if (untouched(copyClear, clouds[k])) {
            for (int c = 0; c < (w.colour ? 3 : 1); ++c) storeSample16(out + 2 * c, loadSample16(in + 2 * c));
            continue;
        }
        const int32_t i = first + k;
        const double source[3] = {double(loadSample16(in)), double(loadSample16(w.colour ? in + 2 : in)),
                                  double(loadSample16(w.colour ? in + 4 : in))};
        const double a0 = w.transparency ? loadSample16(in + w.inLayer) : deepWhite;
        DeepPixel px = ComposeCloudPixel16(clouds[k], source, a0, w.colour, w.transparency);
        const double channels[3] = {px.red, px.green, px.blue};

        if (!w.preview) {
            for (int c = 0; c < (w.colour ? 3 : 1); ++c) storeSample16(out + 2 * c, channels[c]);
            if (w.transparency) storeSample16(out + w.outLayer, px.transparency);
            continue;
        }

        // As at 8 bits: the sky colour or the checkerboard where the cloud does not reach.
        double weight = maskWeight256(maskValueAt(w.ctx, i, w.D)) / 256.0;
        if (w.transparency) {
            weight *= px.transparency / deepWhite;
            storeSample16(out + w.outLayer, deepWhite);
        }
        if (w.colour) {
            for (int c = 0; c < 3; ++c) storeSample16(out + 2 * c, weight * channels[c] + (1.0 - weight) * w.sky16[c]);
        } else {
            int32_t checker = sample16From8(checkerDark(i, w.D) ? previewCheckerDark : previewCheckerLight);
            storeSample16(out, weight * px.red + (1.0 - weight) * checker);
        }
    }
}

}  // namespace

namespace {

// What every row of a pass shares: the composers' facts, the document's own
// space when it has one, and the pass's view. Read only while rows render,
// by as many threads as lay them.
struct PassRows {
    RowWork w;
    ModeRow own;
    bool ownSpace;
    CloudPass pass;
    int32_t count;  // columns
    int32_t M;      // every M-th pixel (the preview's sampling), from the pan on
    int64_t panX, panY;
    void (*compose)(const RowWork&, int32_t, int32_t, const CloudPixel*);
};

// Sets up the rows of the current pass; false (and memFullErr) without
// buffers or the work block.
bool beginPassRows(FilterContext* ctx, PassRows* p)
{
    FilterRecord* record = ctx->filter;
    if (!record->inData || !record->outData || !ctx->work) {
        setResult(ctx, memFullErr);
        return false;
    }
    CloudSettings* s = settingsOf(ctx);
    RowWork& w = p->w;
    w.ctx = ctx;
    w.tables = &ctx->work->tables;
    w.D = ctx->renderRow;
    w.preview = s->dialogActive == 1;
    w.in = static_cast<const uint8*>(record->inData);
    w.out = static_cast<uint8*>(record->outData);
    w.transparency = hasEditableTransparency(record);
    w.colour = isColourImage(record);
    w.deep = bytesPerSample(record) == 2;
    w.clearSky = ctx->work->clearSky;
    const int sampleBytes = w.deep ? 2 : 1;
    w.inLayer = record->inLayerPlanes * sampleBytes;
    w.outLayer = record->outLayerPlanes * sampleBytes;
    w.inStep = (record->inHiPlane - record->inLoPlane + 1) * sampleBytes;
    w.outStep = record->planes * sampleBytes;
    const uint16_t sky[3] = {s->skyColor.red, s->skyColor.green, s->skyColor.blue};
    for (int c = 0; c < 3; ++c) {
        w.sky8[c] = sky[c] >> 8;
        w.sky16[c] = sample16FromFull(sky[c]);
    }
    s->blendMode = 1;
    p->compose = w.deep ? composeColumns16 : composeColumns;

    const VRect out = outRectOf(record);
    p->count = out.right - out.left;
    const VRect& filterRect = ctx->savedFilterRect;
    p->pass =
        CloudPass{s,        w.tables,         filterRect.right - filterRect.left, filterRect.bottom - filterRect.top,
                  p->count, ctx->renderHeight};
    // CMYK, Lab and 32 bits: composed in the document's own space.
    p->ownSpace = beginModeRow(ctx, &p->own);
    p->M = s->zoomRate > 0 ? s->zoomRate : 1;
    p->panX = int64_t(s->panX / p->M) * p->M;
    p->panY = int64_t(s->panY / p->M);
    return true;
}

// Lays row D of the pass from `in` over `out`, with the row's clouds in
// `given` when a helper computed them; else, with `sharedClouds`, from the
// helpers when they have them (the calling thread only); otherwise they are
// computed here a span at a time.
void layRow(const PassRows& p, FilterContext* ctx, int32_t D, const uint8* in, uint8* out, bool sharedClouds,
            SharedCloudRow given = SharedCloudRow{nullptr, nullptr})
{
    RowWork w = p.w;
    ModeRow own = p.own;
    w.D = own.D = D;
    w.in = own.in = in;
    w.out = own.out = out;
    // A span of clouds over its pixels; a span found clear sky throughout
    // over an opaque image is copied as it stands.
    auto lay = [&](int32_t first, int32_t n, const CloudPixel* clouds, bool clear) {
        if (p.ownSpace)
            layModeColumns(own, first, n, clouds, clear);
        else if (clear && copiesClearSky(w) && !w.deep)
            copyRun(w.in + ptrdiff_t(first) * w.inStep, w.out + ptrdiff_t(first) * w.outStep, n, w.inStep, w.outStep,
                    w.colour);
        else
            p.compose(w, first, n, clouds);
    };
    const int32_t count = p.count;
    const SharedCloudRow shared = given.clouds || !sharedClouds ? given : sharedCloudRow(p.pass, D);
    if (shared.clouds) {
        for (int32_t first = 0; first < count; first += sharedChunkColumns) {
            int32_t n = count - first < sharedChunkColumns ? count - first : sharedChunkColumns;
            lay(first, n, shared.clouds + first, shared.clearChunks[first / sharedChunkColumns]);
        }
        return;
    }
    CloudRow row;
    setupPainterRow(&ctx->work->painter, p.panX, (p.panY + D) * p.M, p.M, &row);
    enum { span = goodSpanColumns };
    CloudPixel clouds[span];
    for (int32_t first = 0; first < count; first += span) {
        int32_t n = count - first < span ? count - first : int32_t(span);
        lay(first, n, clouds, ShadeCloudSpan(&row, w.tables, first, n, clouds));
    }
}

// A band being laid: its rows in the host's buffers, one after another.
struct BandRows {
    const PassRows* pass;
    FilterContext* ctx;
    int32_t firstRow;
    const uint8* in;
    uint8* out;
    int32_t inRowBytes, outRowBytes;
};

void layBandRow(void* band, int32_t k, SharedCloudRow clouds)
{
    const BandRows& b = *static_cast<const BandRows*>(band);
    layRow(*b.pass, b.ctx, b.firstRow + k, b.in + ptrdiff_t(k) * b.inRowBytes, b.out + ptrdiff_t(k) * b.outRowBytes,
           false, clouds);
}

}  // namespace

void RenderCloudRow(FilterContext* ctx)
{
    PassRows p{};
    if (!beginPassRows(ctx, &p)) return;
    const FilterRecord* record = ctx->filter;
    const int32_t D = ctx->renderRow;
    const uint8* in = p.w.in;
    uint8* out = p.w.out;
    if (p.w.preview) {
        in += ptrdiff_t(D) * record->inRowBytes;
        out += ptrdiff_t(D) * record->outRowBytes;
    }
    layRow(p, ctx, D, in, out, true);
}

void RenderCloudBand(FilterContext* ctx, int32_t firstRow, int32_t rows)
{
    PassRows p{};
    if (!beginPassRows(ctx, &p)) return;
    const FilterRecord* record = ctx->filter;
    BandRows band{&p, ctx, firstRow, p.w.in, p.w.out, record->inRowBytes, record->outRowBytes};
    if (shareBandRows(p.pass, firstRow, rows, layBandRow, &band)) return;
    for (int32_t k = 0; k < rows; ++k)
        layRow(p, ctx, firstRow + k, band.in + ptrdiff_t(k) * band.inRowBytes,
               band.out + ptrdiff_t(k) * band.outRowBytes, true);
}
