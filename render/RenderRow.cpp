#include "render/RenderRow.h"

#include <cmath>

#include "host/Capabilities.h"
#include "host/Context.h"
#include "host/Mask.h"
#include "render/CloudModel.h"
#include "render/CloudReach.h"
#include "render/Compose16.h"
#include "render/ComposeConstants.h"
#include "render/RenderPath.h"
#include "render/RowWorkers.h"
#include "settings/CloudSettings.h"

void BuildOverRatioTable(CloudTables* t)
{
    t->OverRatioTable[0] = 0.0f;
    for (int k = 1; k < 255; ++k) t->OverRatioTable[k] = float(1.0 / (1.0 / (k * byteToUnit) - 1.0));
    t->OverRatioTable[255] = 1.0e8f;
}

// Float to int, truncating toward zero, for values that may be out of range or
// not a number: those are limited first, so the conversion is always defined.
static inline int32_t truncateLimited(double v, int32_t low, int32_t high)
{
    if (!(v > low)) return low;  // also catches NaN
    if (v >= high) return high;
    return int32_t(v);
}

void SpillOverRange(int32_t* red, int32_t* green, int32_t* blue)
{
    int32_t& R = *red;
    int32_t& G = *green;
    int32_t& B = *blue;
    bool overR = R > 255, overG = G > 255, overB = B > 255;
    int32_t e = 0;
    if (overR) e += spillExcessFactor * (R - 255);
    if (overG) e += spillExcessFactor * (G - 255);
    if (overB) e += spillExcessFactor * (B - 255);
    e = (e * spillShare) >> spillShift;
    int32_t h = e >> 1;
    if (overR && !overG && !overB) {
        G += h;
        B += h;
        if (G > 255) B += G - 255;
        if (B > 255) G += B - 255;
    } else if (overG && !overR && !overB) {
        R += h;
        B += h;
        if (R > 255) B += R - 255;
        if (B > 255) R += B - 255;
    } else if (overB && !overR && !overG) {
        R += h;
        G += h;
        if (R > 255) G += R - 255;
        if (G > 255) R += G - 255;
    } else if (overR && overG && !overB) {
        B += e;
    } else if (overR && overB && !overG) {
        G += e;
    } else if (overG && overB && !overR) {
        R += e;
    }
}

// The share of a layer of opacity `a` (byte `a8`) laid over a pixel of
// transparency `under`: a / (a + under (1 - a)), through the ratio table.
static inline double overShare(const CloudTables* t, int32_t a8, double under)
{
    if (a8 == 0) return 0.0;
    if (a8 == 255) return 1.0;
    return 1.0 - under / (under + t->OverRatioTable[a8]);
}

// ComposeCloudPixel, inline in the row loop: the loop runs on the thread
// that talks to the host while helpers compute clouds, so its speed sets the
// pace of every thread.
static inline ComposedPixel composePixel(const CloudTables* t, const CloudPixel& cloud, const int32_t source[3],
                                         int32_t a0, bool colour, bool transparency)
{
    int32_t a8 = truncateLimited(cloud.opacity * 255.0f, 0, 255);
    // No cloud and no glow over an opaque pixel leave it as it was (the
    // general arithmetic below gives exactly that, more slowly).
    if (a8 == 0 && !(cloud.glow > 0.0f) && !transparency) return ComposedPixel{source[0], source[1], source[2], a0};
    int32_t ch[3] = {truncateLimited(cloud.red * 255.0, -(1 << 20), 1 << 20),
                     truncateLimited(cloud.green * 255.0, -(1 << 20), 1 << 20),
                     truncateLimited(cloud.blue * 255.0, -(1 << 20), 1 << 20)};
    SpillOverRange(&ch[0], &ch[1], &ch[2]);
    if (!colour) ch[0] = (greyWeightRed * ch[0] + greyWeightGreen * ch[1] + greyWeightBlue * ch[2]) >> greyShift;
    for (int k = 0; k < 3; ++k)
        if (ch[k] > 255) ch[k] = 255;

    // Lay the cloud over the source pixel. The opacities are products with
    // 1/255 and stay in double: at full opacity a is a hair above 1, so a
    // channel where the cloud is darker than the source comes out one lower.
    double a = a8 * byteToUnit;
    int32_t at = a0;
    if (!transparency) {
        for (int k = 0; k < 3; ++k) ch[k] = int32_t((ch[k] - source[k]) * a + source[k]);
    } else {
        double ae = a0 * byteToUnit;
        double w = overShare(t, a8, ae);
        for (int k = 0; k < 3; ++k) ch[k] = int32_t((ch[k] - source[k]) * w + source[k]);
        at = truncateLimited((ae + (1.0 - ae) * a) * 255.0, 0, 255);
    }

    // Whiten backlit edges by the glow (a glow of exactly 0 changes nothing).
    float G = cloud.glow;
    if (G > 0.0f) {
        if (!transparency) {
            for (int k = 0; k < 3; ++k) ch[k] = int32_t(float(ch[k]) + float(255 - ch[k]) * G);
        } else {
            int32_t g8 = truncateLimited(G * 255.0f, 0, 255);
            double am = at * byteToUnit;
            double w2 = overShare(t, g8, am);
            for (int k = 0; k < 3; ++k) ch[k] = int32_t(ch[k] + (255 - ch[k]) * w2);
            at = truncateLimited((am + (1.0 - am) * G) * 255.0, 0, 255);
        }
    }
    return ComposedPixel{ch[0], ch[1], ch[2], at};
}

ComposedPixel ComposeCloudPixel(const CloudTables* t, const CloudPixel& cloud, const int32_t source[3], int32_t a0,
                                bool colour, bool transparency)
{
    return composePixel(t, cloud, source, a0, colour, transparency);
}

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

// A pixel the final pass leaves as it was: no cloud and no glow over an
// opaque image (clear sky, the most common pixel). Both depths' composers
// give exactly the source there; the loops copy it without them.
inline bool untouched(const RowWork& w, const CloudPixel& cloud)
{
    return w.clearSky && !w.preview && !w.transparency && cloud.opacity == 0.0f && !(cloud.glow > 0.0f);
}

// Lays the cloud pixels of columns first .. first + n - 1 over their source
// pixels.
void composeColumns(const RowWork& w, int32_t first, int32_t n, const CloudPixel* clouds)
{
    const uint8* in = w.in + ptrdiff_t(first) * w.inStep;
    uint8* out = w.out + ptrdiff_t(first) * w.outStep;
    for (int32_t k = 0; k < n; ++k, in += w.inStep, out += w.outStep) {
        if (untouched(w, clouds[k])) {
            out[0] = in[0];
            if (w.colour) out[1] = in[1], out[2] = in[2];
            continue;
        }
        const int32_t i = first + k;
        int32_t source[3] = {in[0], w.colour ? in[1] : in[0], w.colour ? in[2] : in[0]};
        int32_t a0 = w.transparency ? in[w.inLayer] : 255;
        ComposedPixel px = composePixel(w.tables, clouds[k], source, a0, w.colour, w.transparency);

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
    for (int32_t k = 0; k < n; ++k, in += w.inStep, out += w.outStep) {
        if (untouched(w, clouds[k])) {
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

void RenderCloudRow(FilterContext* ctx)
{
    FilterRecord* record = ctx->filter;
    if (!record->inData || !record->outData || !ctx->work) {
        setResult(ctx, memFullErr);
        return;
    }
    CloudSettings* s = settingsOf(ctx);
    RowWork w;
    w.ctx = ctx;
    w.tables = &ctx->work->tables;
    w.D = ctx->renderRow;
    w.preview = s->dialogActive == 1;
    w.in = static_cast<const uint8*>(record->inData);
    w.out = static_cast<uint8*>(record->outData);
    if (w.preview) {
        w.in += ptrdiff_t(w.D) * record->inRowBytes;
        w.out += ptrdiff_t(w.D) * record->outRowBytes;
    }

    w.transparency = hasEditableTransparency(record);
    w.colour = isColourImage(record);
    w.deep = bytesPerSample(record) == 2;
    w.clearSky = clearSkySkipping();
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
    void (*compose)(const RowWork&, int32_t, int32_t, const CloudPixel*) = w.deep ? composeColumns16 : composeColumns;

    const int32_t count = record->outRect.right - record->outRect.left;
    const Rect16& filterRect = ctx->savedFilterRect;
    const CloudPass pass{
        s, w.tables, filterRect.right - filterRect.left, filterRect.bottom - filterRect.top, count, ctx->renderHeight};
    // The row's clouds from the helpers when there are any, else computed
    // here a span at a time.
    if (const CloudPixel* clouds = sharedCloudRow(pass, w.D)) {
        compose(w, 0, count, clouds);
        return;
    }
    CloudRow row;
    SetupCloudFactors(&row, s, w.tables, pass.filterWidth, pass.filterHeight);
    SetupCloudRow(&row, s, w.tables, w.D);
    enum { span = 64 };
    CloudPixel clouds[span];
    for (int32_t first = 0; first < count; first += span) {
        int32_t n = count - first < span ? count - first : int32_t(span);
        ShadeCloudSpan(&row, w.tables, first, n, clouds);
        compose(w, first, n, clouds);
    }
}
