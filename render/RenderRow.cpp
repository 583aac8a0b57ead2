#include "render/RenderRow.h"

#include <cmath>

#include "host/Capabilities.h"
#include "host/Context.h"
#include "host/Mask.h"
#include "render/CloudModel.h"
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
    if (!(v > low)) return low;   // also catches NaN
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
    if (overR) e += 3 * R - 765;
    if (overG) e += 3 * G - 765;
    if (overB) e += 3 * B - 765;
    e = (e * 75) >> 8;
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

ComposedPixel ComposeCloudPixel(const CloudTables* t, const CloudPixel& cloud, const int32_t source[3],
                                int32_t a0, bool colour, bool transparency)
{
    int32_t a8 = truncateLimited(cloud.opacity * 255.0f, 0, 255);
    int32_t ch[3] = {truncateLimited(cloud.red * 255.0, -(1 << 20), 1 << 20),
                     truncateLimited(cloud.green * 255.0, -(1 << 20), 1 << 20),
                     truncateLimited(cloud.blue * 255.0, -(1 << 20), 1 << 20)};
    SpillOverRange(&ch[0], &ch[1], &ch[2]);
    // Grey weights add up to 255, not 256.
    if (!colour) ch[0] = (77 * ch[0] + 150 * ch[1] + 28 * ch[2]) >> 8;
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

void RenderCloudRow(FilterContext* ctx)
{
    FilterRecord* record = ctx->filter;
    if (!record->inData || !record->outData || !ctx->work) {
        setResult(ctx, memFullErr);
        return;
    }
    CloudSettings* s = settingsOf(ctx);
    const CloudTables* t = &ctx->work->tables;
    const int32_t D = ctx->renderRow;
    const bool preview = s->dialogActive == 1;

    const uint8* in = static_cast<const uint8*>(record->inData);
    uint8* out = static_cast<uint8*>(record->outData);
    if (preview) {
        in += ptrdiff_t(D) * record->inRowBytes;
        out += ptrdiff_t(D) * record->outRowBytes;
    }

    const Rect16& filterRect = ctx->savedFilterRect;
    CloudRow row;
    SetupCloudFactors(&row, s, t, filterRect.right - filterRect.left, filterRect.bottom - filterRect.top);
    SetupCloudRow(&row, s, t, D);

    const bool transparency = hasEditableTransparency(record);
    const bool colour = isColourImage(record);
    const int inLayer = record->inLayerPlanes, outLayer = record->outLayerPlanes;
    const int inStep = record->inHiPlane - record->inLoPlane + 1, outStep = record->planes;
    const int32_t count = record->outRect.right - record->outRect.left;
    const int sky8[3] = {s->skyColor.red >> 8, s->skyColor.green >> 8, s->skyColor.blue >> 8};
    s->blendMode = 1;

    for (int32_t i = 0; i < count; ++i, in += inStep, out += outStep) {
        int32_t source[3] = {in[0], colour ? in[1] : in[0], colour ? in[2] : in[0]};
        int32_t a0 = transparency ? in[inLayer] : 255;
        ComposedPixel px = ComposeCloudPixel(t, ShadeCloudPixel(&row, t, i), source, a0, colour, transparency);

        if (!preview) {
            out[0] = uint8(px.red);
            if (colour) {
                out[1] = uint8(px.green);
                out[2] = uint8(px.blue);
            }
            if (transparency) out[outLayer] = uint8(px.transparency);
            continue;
        }

        // The preview shows what the host will do with the selection: the sky
        // colour (or, for grey, a checkerboard) where the cloud does not reach.
        int32_t m = maskValueAt(ctx, i, D);
        if (m > 127) m += 1;
        if (transparency) {
            m = (m * px.transparency) >> 8;
            out[outLayer] = 255;
        }
        if (colour) {
            const int32_t ch[3] = {px.red, px.green, px.blue};
            for (int k = 0; k < 3; ++k) out[k] = uint8((m * ch[k] + (256 - m) * sky8[k]) >> 8);
        } else {
            int32_t checker = ((i ^ D) & 8) ? 112 : 144;
            out[0] = uint8((m * px.red + (256 - m) * checker) >> 8);
        }
    }
}
