#include "host/Modes.h"

#include <cstring>

#include "host/Context.h"
#include "host/Mask.h"
#include "render/ColourModes.h"
#include "render/Compose16.h"
#include "render/ComposeConstants.h"
#include "settings/CloudSettings.h"

namespace {

struct ModeFacts {
    bool handled;  // painted at all
    bool own;      // through this file's composers
    int16 bytes, colours;
    int32 space;
    int16 proxy;
};

// Indexed by image mode.
const ModeFacts facts[] = {
    {false, false, 1, 1, spaceGrey, plugInModeBitmap},        // Bitmap
    {true, false, 1, 1, spaceGrey, plugInModeGrayScale},      // Grayscale
    {false, false, 1, 3, spaceRGB, plugInModeIndexedColor},   // Indexed
    {true, false, 1, 3, spaceRGB, plugInModeRGBColor},        // RGB
    {true, true, 1, 4, spaceCMYK, plugInModeCMYKColor},       // CMYK
    {false, false, 1, 3, spaceRGB, plugInModeHSLColor},       // HSL
    {false, false, 1, 3, spaceRGB, plugInModeHSBColor},       // HSB
    {false, false, 1, 1, spaceGrey, plugInModeMultichannel},  // Multichannel
    {true, false, 1, 1, spaceGrey, plugInModeDuotone},        // Duotone: grey data
    {true, true, 1, 3, spaceLab, plugInModeLabColor},         // Lab
    {true, false, 2, 1, spaceGrey, plugInModeGrayScale},      // Gray16
    {true, false, 2, 3, spaceRGB, plugInModeRGBColor},        // RGB48
    {true, true, 2, 3, spaceLab, plugInModeLabColor},         // Lab48
    {true, true, 2, 4, spaceCMYK, plugInModeCMYKColor},       // CMYK64
    {false, false, 2, 1, spaceGrey, plugInModeMultichannel},  // DeepMultichannel
    {true, false, 2, 1, spaceGrey, plugInModeDuotone},        // Duotone16
    {true, true, 4, 3, spaceRGB, plugInModeRGBColor},         // RGB96
    {true, true, 4, 1, spaceGrey, plugInModeGrayScale},       // Gray32
};

const ModeFacts* factsOf(const FilterRecord* record)
{
    int mode = record->imageMode;
    return mode >= 0 && mode < int(sizeof facts / sizeof facts[0]) ? &facts[mode] : nullptr;
}

// The host's ConvertColor from RGB to `space`, one colour.
bool hostConvert(void* host, int32_t space, const int32_t rgb[3], int32_t result[4])
{
    auto* record = static_cast<FilterRecord*>(host);
    ColorServicesInfo info;
    std::memset(&info, 0, sizeof info);
    info.infoSize = int32(sizeof info);
    info.selector = 1;     // ConvertColor
    info.sourceSpace = 0;  // RGB
    info.resultSpace = int16(space);
    for (int k = 0; k < 3; ++k) info.colorComponents[k] = int16(rgb[k]);
    if (record->colorServices(&info) != noErr) return false;
    const int count = space == spaceCMYK ? 4 : 3;
    for (int k = 0; k < 4; ++k) {
        int32_t v = k < count ? info.colorComponents[k] : 0;
        if (v < 0 || v > 255) return false;  // not an answer in the documented range
        result[k] = v;
    }
    return true;
}

// The run's link; outside a run (a thumbnail, the screen copy of a host that
// calls them early) the built-in conversion's curves, made once.
const ColourLink* linkOf(FilterContext* ctx)
{
    if (ctx->work) {
        prepareColourModes(ctx);
        return &ctx->work->colourLink;
    }
    static ColourLink builtIn;
    static const bool made = (MakeLinkCurves(&builtIn), true);
    (void)made;
    return &builtIn;
}

inline double loadSample(const uint8* p, int bytes)
{
    if (bytes == 1) return p[0];
    if (bytes == 2) return loadSample16(p);
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

inline void storeSample(uint8* p, int bytes, double v)
{
    if (bytes == 1) {
        p[0] = uint8(!(v > 0.0) ? 0 : (v >= 255.0 ? 255 : int32_t(v + 0.5)));
    } else if (bytes == 2) {
        storeSample16(p, v);
    } else {
        float f = float(v);
        std::memcpy(p, &f, 4);
    }
}

// Converted samples (8-bit levels with fractions) in the document's depth.
inline double inDepth(double level8, int channel, bool lab, int bytes)
{
    if (bytes == 1) return level8;
    if (lab && channel > 0) return 16384.0 + (level8 - 128.0) * 128.0;
    return level8 * (deepWhite / 255.0);
}

// The document's samples of an RGB colour in 8-bit levels.
void documentColour(const ModeRow& w, const double rgb[3], double out[4])
{
    if (w.isFloat) {
        for (int k = 0; k < 3; ++k) out[k] = LinearFromLevel(*w.link, rgb[k]);
        out[3] = 0.0;
        return;
    }
    double level[4];
    if (w.link->space == w.space)
        LinkConvert(*w.link, rgb, level);
    else
        BuiltInConvert(*w.link, w.space, rgb, level);
    for (int k = 0; k < 4; ++k) out[k] = inDepth(level[k], k, w.lab, w.bytes);
}

void copyColours(const ModeRow& w, const uint8* in, uint8* out, int32_t run)
{
    if (in == out && w.inStep == w.outStep) return;  // in place: nothing to move
    const size_t pixelBytes = size_t(w.colours) * size_t(w.bytes);
    if (w.inStep == int(pixelBytes) && w.outStep == int(pixelBytes)) {
        std::memmove(out, in, pixelBytes * size_t(run));
        return;
    }
    for (int32_t j = 0; j < run; ++j, in += w.inStep, out += w.outStep) std::memcpy(out, in, pixelBytes);
}

}  // namespace

bool modeHandled(const FilterRecord* record)
{
    const ModeFacts* f = factsOf(record);
    // A record whose mode was never set (0, yet three colour planes or more,
    // which a bitmap never has) is painted by its planes, as it always was.
    if (record->imageMode == plugInModeBitmap && record->planes >= 3 && record->depth != 1) return true;
    if (!f || !f->handled) return false;
    if (!f->own) return record->planes >= 1;
    return record->planes >= f->colours && (record->depth == 0 || record->depth == 8 * f->bytes);
}

int modeBytesPerSample(const FilterRecord* record)
{
    const ModeFacts* f = factsOf(record);
    if (f && f->own && f->handled) return f->bytes;
    if (record->depth == 16) return 2;
    if (record->depth == 0 && f && f->handled && f->bytes == 2) return 2;
    return 1;
}

int16 proxyModeOf(const FilterRecord* record)
{
    const ModeFacts* f = factsOf(record);
    if (f && f->handled) return f->proxy;
    return record->planes >= 3 ? plugInModeRGBColor : plugInModeGrayScale;
}

bool paintsInOwnSpace(const FilterRecord* record)
{
    const ModeFacts* f = factsOf(record);
    return f && f->handled && f->own && record->planes >= f->colours;
}

void prepareColourModes(FilterContext* ctx)
{
    const FilterRecord* record = ctx->filter;
    if (!ctx->work || !paintsInOwnSpace(record)) return;
    ColourLink* link = &ctx->work->colourLink;
    const int32_t space = factsOf(record)->space;
    if (space != spaceCMYK && space != spaceLab) {
        if (!link->curves) MakeLinkCurves(link);
        return;
    }
    if (link->space == space) return;  // made earlier in this run
    const bool services = record->colorServices != nullptr;
    MakeColourLink(link, space, services ? hostConvert : nullptr, const_cast<FilterRecord*>(record));
}

bool beginModeRow(FilterContext* ctx, ModeRow* w)
{
    FilterRecord* record = ctx->filter;
    if (!paintsInOwnSpace(record) || !ctx->work) return false;
    const ModeFacts& f = *factsOf(record);
    const CloudSettings* s = settingsOf(ctx);
    w->ctx = ctx;
    w->link = linkOf(ctx);
    w->D = ctx->renderRow;
    w->preview = s->dialogActive == 1;
    w->in = static_cast<const uint8*>(record->inData);
    w->out = static_cast<uint8*>(record->outData);
    if (w->preview) {
        w->in += ptrdiff_t(w->D) * record->inRowBytes;
        w->out += ptrdiff_t(w->D) * record->outRowBytes;
    }
    w->transparency = record->filterCase == filterCaseEditableTransparencyNoSelection ||
                      record->filterCase == filterCaseEditableTransparencyWithSelection;
    w->copyClear = ctx->work->clearSky && !w->preview && !w->transparency;
    w->isFloat = f.bytes == 4;
    w->lab = f.space == spaceLab;
    w->space = f.space;
    w->bytes = f.bytes;
    w->colours = f.colours;
    w->inLayer = record->inLayerPlanes * f.bytes;
    w->outLayer = record->outLayerPlanes * f.bytes;
    w->inStep = (record->inHiPlane - record->inLoPlane + 1) * f.bytes;
    w->outStep = record->planes * f.bytes;
    w->white = f.bytes == 1 ? 255.0 : (f.bytes == 2 ? deepWhite : 1.0);
    const double sky[3] = {(s->skyColor.red >> 8) * 1.0, (s->skyColor.green >> 8) * 1.0, (s->skyColor.blue >> 8) * 1.0};
    documentColour(*w, sky, w->sky);
    w->checker[0] = LinearFromLevel(*w->link, previewCheckerLight);
    w->checker[1] = LinearFromLevel(*w->link, previewCheckerDark);
    return true;
}

namespace {

// The conversions of the colours met in a span of columns, kept for the
// colours that come again: under a cloud few colours recur many times. At
// 8 bits the colours are whole levels, and a table of recent ones keyed by the
// colour holds them; at other depths, the last one. A kept conversion is the
// very one documentColour gives.
template <int B> struct ConversionCache {
    enum { slots = 256 };
    int32_t keys[slots];
    double targets[slots][4];
    double lastColour[3] = {-1.0, -1.0, -1.0};

    ConversionCache()
    {
        if (B == 1) std::memset(keys, 0xff, sizeof keys);  // -1: no colour
    }

    const double* convert(const ModeRow& w, const double colour[3])
    {
        if (B == 1) {
            const int32_t r = int32_t(colour[0]), g = int32_t(colour[1]), b = int32_t(colour[2]);
            const int32_t key = (r << 16) | (g << 8) | b;
            if ((uint32_t(r) | uint32_t(g) | uint32_t(b)) < 256u && double(r) == colour[0] && double(g) == colour[1] &&
                double(b) == colour[2]) {
                const uint32_t slot = (uint32_t(key) * 2654435761u) >> 24;
                if (keys[slot] != key) {
                    documentColour(w, colour, targets[slot]);
                    keys[slot] = key;
                }
                return targets[slot];
            }
        }
        if (colour[0] != lastColour[0] || colour[1] != lastColour[1] || colour[2] != lastColour[2]) {
            documentColour(w, colour, targets[0]);
            for (int c = 0; c < 3; ++c) lastColour[c] = colour[c];
            if (B == 1) keys[0] = -1;  // the slot no longer holds its key's conversion
        }
        return targets[0];
    }
};

// The columns at `B` bytes a sample, the loads and stores folded for it.
template <int B> void layColumns(const ModeRow& w, int32_t first, int32_t n, const CloudPixel* clouds, bool clear)
{
    const uint8* in = w.in + ptrdiff_t(first) * w.inStep;
    uint8* out = w.out + ptrdiff_t(first) * w.outStep;
    if (clear && w.copyClear) {
        copyColours(w, in, out, n);
        return;
    }
    const int C = w.colours;
    const bool grey = C == 1, inPlace = in == out && w.inStep == w.outStep && w.inLayer == w.outLayer;
    constexpr LayerDepth depth = B == 1 ? layerEightBit : (B == 2 ? layerSixteenBit : layerFloat);
    ConversionCache<B> conversions;
    for (int32_t k = 0; k < n; ++k, in += w.inStep, out += w.outStep) {
        if (w.copyClear && isClearSky(clouds[k])) {
            if (!inPlace) std::memcpy(out, in, size_t(C) * size_t(B));
            continue;
        }
        const CloudLayer layer = cloudLayerAt<depth>(clouds[k], grey, w.transparency);
        if (layer.opacity == 0.0 && !w.preview) {
            // No cloud and no glow: the pixel as it was, bit for bit.
            if (inPlace) continue;
            std::memcpy(out, in, size_t(C) * size_t(B));
            if (w.transparency) std::memcpy(out + w.outLayer, in + w.inLayer, size_t(B));
            continue;
        }
        double ae = 1.0;
        if (w.transparency) {
            ae = loadSample(in + w.inLayer, B) / w.white;
            ae = !(ae > 0.0) ? 0.0 : (ae > 1.0 ? 1.0 : ae);
        }
        const double share = w.transparency ? LayerShare(layer.opacity, ae) : layer.opacity;
        double target[4] = {0.0, 0.0, 0.0, 0.0}, px[4];
        if (share > 0.0) {
            const double* converted = conversions.convert(w, layer.colour);
            for (int c = 0; c < 4; ++c) target[c] = converted[c];
        }
        for (int c = 0; c < C; ++c) {
            const double source = loadSample(in + c * B, B);
            px[c] = share > 0.0 ? source + (target[c] - source) * share : source;
        }
        const double at = (ae + (1.0 - ae) * layer.opacity) * w.white;

        if (!w.preview) {
            for (int c = 0; c < C; ++c) storeSample(out + c * B, B, px[c]);
            if (w.transparency) {
                if (layer.opacity == 0.0)
                    std::memcpy(out + w.outLayer, in + w.inLayer, size_t(B));
                else
                    storeSample(out + w.outLayer, B, B == 1 ? double(int32_t(at)) : at);
            }
            continue;
        }
        // The preview: the sky (grey at 32 bits: the checkerboard) where the
        // selection or the layer leaves the cloud out, as the RGB paths show it.
        const int32_t i = first + k;
        double m = maskWeight256(maskValueAt(w.ctx, i, w.D)) / 256.0;
        if (w.transparency) {
            m *= at / w.white;
            storeSample(out + w.outLayer, B, w.white);
        }
        for (int c = 0; c < C; ++c) {
            const double behind = grey ? w.checker[checkerDark(i, w.D) ? 1 : 0] : w.sky[c];
            storeSample(out + c * B, B, m * px[c] + (1.0 - m) * behind);
        }
    }
}

}  // namespace

void layModeColumns(const ModeRow& w, int32_t first, int32_t n, const CloudPixel* clouds, bool clear)
{
    if (w.bytes == 1)
        layColumns<1>(w, first, n, clouds, clear);
    else if (w.bytes == 2)
        layColumns<2>(w, first, n, clouds, clear);
    else
        layColumns<4>(w, first, n, clouds, clear);
}

bool sourceViewPixel(FilterContext* ctx, const uint8* in, uint8* out, int e, int checker, bool layer)
{
    const FilterRecord* r = ctx->filter;
    if (!paintsInOwnSpace(r)) return false;
    ModeRow w;
    const ModeFacts& f = *factsOf(r);
    w.link = linkOf(ctx);
    w.isFloat = f.bytes == 4;
    w.lab = f.space == spaceLab;
    w.space = f.space;
    w.bytes = f.bytes;
    const double white = f.bytes == 1 ? 255.0 : (f.bytes == 2 ? deepWhite : 1.0);
    double weight = e / 255.0;
    if (layer) {
        double a = loadSample(in + f.bytes * r->inLayerPlanes, f.bytes) / white;
        weight *= !(a > 0.0) ? 0.0 : (a > 1.0 ? 1.0 : a);
        storeSample(out + f.bytes * r->outLayerPlanes, f.bytes, white);
    }
    const double grey[3] = {double(checker), double(checker), double(checker)};
    double behind[4];
    documentColour(w, grey, behind);
    for (int c = 0; c < f.colours; ++c) {
        double v = loadSample(in + c * f.bytes, f.bytes);
        storeSample(out + c * f.bytes, f.bytes, behind[c] * (1.0 - weight) + weight * v);
    }
    return true;
}

bool modeRowToScreen(FilterContext* ctx, const uint8* from, uint8* to, int32 columns)
{
    const FilterRecord* r = ctx->filter;
    const ModeFacts* f = factsOf(r);
    if (!f || !f->handled || !f->own || f->bytes == 1) return false;
    if (f->bytes == 2) {
        // Lab48's a and b step 128 for an 8-bit step around 16384; the rest scale.
        for (int32 x = 0; x < columns; ++x)
            for (int c = 0; c < r->planes; ++c, from += 2, ++to) {
                const int32_t v = loadSample16(from);
                const bool chroma = f->space == spaceLab && c > 0 && c < f->colours;
                *to = uint8(chroma ? (v >= 32704 ? 255 : (v + 64) / 128) : sample8From16(v));
            }
        return true;
    }
    const ColourLink* link = linkOf(ctx);
    for (int32 x = 0; x < columns; ++x)
        for (int c = 0; c < r->planes; ++c, from += 4, ++to) {
            float v;
            std::memcpy(&v, from, 4);
            double u = !(v > 0.0f) ? 0.0 : (v > 1.0f ? 1.0 : double(v));
            if (c >= f->colours)
                *to = uint8(u * 255.0 + 0.5);  // transparency: not a colour
            else
                *to = link->encode8[int32_t(u * 4096.0 + 0.5)];
        }
    return true;
}

bool thumbnailPixel(FilterContext* ctx, const uint8* pixel, uint8* rgb)
{
    const FilterRecord* r = ctx->filter;
    if (!paintsInOwnSpace(r)) return false;
    const ModeFacts& f = *factsOf(r);
    const ColourLink* link = linkOf(ctx);
    double level[3];
    if (f.bytes == 4) {
        for (int k = 0; k < 3; ++k) level[k] = LevelFromLinear(loadSample(pixel + 4 * (f.colours == 1 ? 0 : k), 4));
    } else {
        double s[4] = {0.0, 0.0, 0.0, 0.0};
        for (int c = 0; c < f.colours; ++c) {
            double v = loadSample(pixel + c * f.bytes, f.bytes);
            if (f.bytes == 2)
                v = f.space == spaceLab && c > 0 ? 128.0 + (v - 16384.0) / 128.0 : v * (255.0 / deepWhite);
            s[c] = v;
        }
        BuiltInToRGB(*link, f.space, s, level);
    }
    for (int k = 0; k < 3; ++k) rgb[k] = uint8(!(level[k] > 0.0) ? 0 : (level[k] >= 255.0 ? 255 : level[k] + 0.5));
    return true;
}
