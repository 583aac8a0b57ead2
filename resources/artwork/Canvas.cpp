#include "resources/artwork/Canvas.h"

#include <algorithm>
#include <cmath>

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>

Colour rgb(uint32_t hex)
{
    return Colour{float((hex >> 16) & 255) / 255.0f, float((hex >> 8) & 255) / 255.0f, float(hex & 255) / 255.0f, 1.0f};
}

Colour withAlpha(Colour c, float a) { return Colour{c.r, c.g, c.b, c.a * a}; }

Colour mix(Colour a, Colour b, float t)
{
    return Colour{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Canvas::Canvas(int w, int h, Colour fill) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}

void Canvas::blend(int x, int y, Colour c, float cover)
{
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    float a = c.a * std::min(std::max(cover, 0.0f), 1.0f);
    if (a <= 0.0f) return;
    Colour& d = at(x, y);
    float outA = a + d.a * (1.0f - a);
    if (outA <= 0.0f) return;
    d.r = (c.r * a + d.r * d.a * (1.0f - a)) / outA;
    d.g = (c.g * a + d.g * d.a * (1.0f - a)) / outA;
    d.b = (c.b * a + d.b * d.a * (1.0f - a)) / outA;
    d.a = outA;
}

Canvas Canvas::crop(int x, int y, int w, int h) const
{
    Canvas out(w, h, Colour{0, 0, 0, 0});
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (x + i >= 0 && y + j >= 0 && x + i < width && y + j < height) out.at(i, j) = at(x + i, y + j);
    return out;
}

void Canvas::paste(const Canvas& other, int x, int y)
{
    for (int j = 0; j < other.height; ++j)
        for (int i = 0; i < other.width; ++i) blend(x + i, y + j, other.at(i, j), 1.0f);
}

// ---- Shapes from signed distances: negative inside, coverage 0.5 - d. ----

static float roundRectDistance(float px, float py, float x0, float y0, float x1, float y1, float radius)
{
    float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
    float qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
    float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

template <typename Distance, typename Paint>
static void rasterise(Canvas& c, float x0, float y0, float x1, float y1, Distance distance, Paint paint)
{
    int ix0 = std::max(int(std::floor(x0)) - 1, 0), iy0 = std::max(int(std::floor(y0)) - 1, 0);
    int ix1 = std::min(int(std::ceil(x1)) + 1, c.width), iy1 = std::min(int(std::ceil(y1)) + 1, c.height);
    for (int y = iy0; y < iy1; ++y)
        for (int x = ix0; x < ix1; ++x) {
            float d = distance(float(x) + 0.5f, float(y) + 0.5f);
            float cover = 0.5f - d;
            if (cover > 0.0f) c.blend(x, y, paint(float(x) + 0.5f, float(y) + 0.5f), cover);
        }
}

void fillRect(Canvas& c, float x0, float y0, float x1, float y1, Colour colour)
{
    fillRoundRect(c, x0, y0, x1, y1, 0.0f, colour);
}

void fillRoundRect(Canvas& c, float x0, float y0, float x1, float y1, float radius, Colour colour)
{
    rasterise(
        c, x0, y0, x1, y1, [&](float px, float py) { return roundRectDistance(px, py, x0, y0, x1, y1, radius); },
        [&](float, float) { return colour; });
}

void fillRoundRectGradient(Canvas& c, float x0, float y0, float x1, float y1, float radius, Colour top, Colour bottom)
{
    rasterise(
        c, x0, y0, x1, y1, [&](float px, float py) { return roundRectDistance(px, py, x0, y0, x1, y1, radius); },
        [&](float, float py) { return mix(top, bottom, std::min(std::max((py - y0) / (y1 - y0), 0.0f), 1.0f)); });
}

void strokeRoundRect(Canvas& c, float x0, float y0, float x1, float y1, float radius, float lineWidth, Colour colour)
{
    rasterise(
        c, x0, y0, x1, y1,
        [&](float px, float py) {
            float d = roundRectDistance(px, py, x0, y0, x1, y1, radius);
            return std::fabs(d + lineWidth * 0.5f) - lineWidth * 0.5f;
        },
        [&](float, float) { return colour; });
}

void fillCircle(Canvas& c, float cx, float cy, float radius, Colour colour)
{
    rasterise(
        c, cx - radius, cy - radius, cx + radius, cy + radius,
        [&](float px, float py) { return std::sqrt((px - cx) * (px - cx) + (py - cy) * (py - cy)) - radius; },
        [&](float, float) { return colour; });
}

void fillCircleRadial(Canvas& c, float cx, float cy, float radius, Colour inner, Colour outer)
{
    auto distance = [&](float px, float py) { return std::sqrt((px - cx) * (px - cx) + (py - cy) * (py - cy)); };
    rasterise(
        c, cx - radius, cy - radius, cx + radius, cy + radius,
        [&](float px, float py) { return distance(px, py) - radius; },
        [&](float px, float py) { return mix(inner, outer, std::min(distance(px, py) / radius, 1.0f)); });
}

void strokeCircle(Canvas& c, float cx, float cy, float radius, float lineWidth, Colour colour)
{
    float outer = radius + lineWidth * 0.5f;
    rasterise(
        c, cx - outer, cy - outer, cx + outer, cy + outer,
        [&](float px, float py) {
            float r = std::sqrt((px - cx) * (px - cx) + (py - cy) * (py - cy));
            return std::fabs(r - radius) - lineWidth * 0.5f;
        },
        [&](float, float) { return colour; });
}

void fillTriangle(Canvas& c, float ax, float ay, float bx, float by, float cx, float cy, Colour colour)
{
    auto edge = [](float x0, float y0, float x1, float y1, float px, float py) {
        return (x1 - x0) * (py - y0) - (y1 - y0) * (px - x0);
    };
    float area = edge(ax, ay, bx, by, cx, cy);
    int x0 = std::max(int(std::floor(std::min({ax, bx, cx}))), 0);
    int x1 = std::min(int(std::ceil(std::max({ax, bx, cx}))), c.width);
    int y0 = std::max(int(std::floor(std::min({ay, by, cy}))), 0);
    int y1 = std::min(int(std::ceil(std::max({ay, by, cy}))), c.height);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            int inside = 0;
            for (int j = 0; j < 4; ++j)
                for (int i = 0; i < 4; ++i) {
                    float px = float(x) + (float(i) + 0.5f) / 4.0f, py = float(y) + (float(j) + 0.5f) / 4.0f;
                    float e0 = edge(ax, ay, bx, by, px, py), e1 = edge(bx, by, cx, cy, px, py),
                          e2 = edge(cx, cy, ax, ay, px, py);
                    if (area < 0.0f) {
                        e0 = -e0;
                        e1 = -e1;
                        e2 = -e2;
                    }
                    if (e0 >= 0.0f && e1 >= 0.0f && e2 >= 0.0f) ++inside;
                }
            if (inside) c.blend(x, y, colour, float(inside) / 16.0f);
        }
}

void drawLine(Canvas& c, float x0, float y0, float x1, float y1, float lineWidth, Colour colour)
{
    float half = lineWidth * 0.5f;
    float dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy;
    rasterise(
        c, std::min(x0, x1) - half, std::min(y0, y1) - half, std::max(x0, x1) + half, std::max(y0, y1) + half,
        [&](float px, float py) {
            float t = length2 > 0.0f ? ((px - x0) * dx + (py - y0) * dy) / length2 : 0.0f;
            t = std::min(std::max(t, 0.0f), 1.0f);
            float ex = px - (x0 + t * dx), ey = py - (y0 + t * dy);
            return std::sqrt(ex * ex + ey * ey) - half;
        },
        [&](float, float) { return colour; });
}

// ---- Text. ----

bool Font::loadBytes(const unsigned char* bytes, size_t size)
{
    data.assign(bytes, bytes + size);
    auto* fontInfo = new stbtt_fontinfo;
    if (data.empty() || !stbtt_InitFont(fontInfo, data.data(), stbtt_GetFontOffsetForIndex(data.data(), 0))) {
        delete fontInfo;
        return false;
    }
    delete static_cast<stbtt_fontinfo*>(info);
    info = fontInfo;
    return true;
}

Font::~Font() { delete static_cast<stbtt_fontinfo*>(info); }

static const stbtt_fontinfo* infoOf(const Font& font) { return static_cast<const stbtt_fontinfo*>(font.info); }

float textWidth(const Font& font, float size, const char* text, float tracking)
{
    const stbtt_fontinfo* f = infoOf(font);
    float scale = stbtt_ScaleForMappingEmToPixels(f, size);
    float x = 0.0f;
    for (const char* p = text; *p; ++p) {
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(f, (unsigned char)*p, &advance, &bearing);
        x += float(advance) * scale + (p[1] ? tracking : 0.0f);
        if (p[1]) x += float(stbtt_GetCodepointKernAdvance(f, (unsigned char)p[0], (unsigned char)p[1])) * scale;
    }
    return x;
}

float ascent(const Font& font, float size)
{
    const stbtt_fontinfo* f = infoOf(font);
    int rise = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(f, &rise, &descent, &gap);
    return float(rise) * stbtt_ScaleForMappingEmToPixels(f, size);
}

float capHeight(const Font& font, float size)
{
    const stbtt_fontinfo* f = infoOf(font);
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    stbtt_GetCodepointBox(f, 'H', &x0, &y0, &x1, &y1);
    return float(y1) * stbtt_ScaleForMappingEmToPixels(f, size);
}

void drawString(Canvas& c, const Font& font, float size, float x, float baseline, const char* text, Colour colour,
                float tracking)
{
    const stbtt_fontinfo* f = infoOf(font);
    float scale = stbtt_ScaleForMappingEmToPixels(f, size);
    int base = int(std::floor(baseline + 0.5f));
    for (const char* p = text; *p; ++p) {
        int codepoint = (unsigned char)*p;
        float shift = x - std::floor(x);
        int x0, y0, x1, y1;
        stbtt_GetCodepointBitmapBoxSubpixel(f, codepoint, scale, scale, shift, 0.0f, &x0, &y0, &x1, &y1);
        int w = x1 - x0, h = y1 - y0;
        if (w > 0 && h > 0) {
            std::vector<unsigned char> glyph(size_t(w) * size_t(h));
            stbtt_MakeCodepointBitmapSubpixel(f, glyph.data(), w, h, w, scale, scale, shift, 0.0f, codepoint);
            int left = int(std::floor(x)) + x0, top = base + y0;
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i)
                    c.blend(left + i, top + j, colour, float(glyph[size_t(j) * w + i]) / 255.0f);
        }
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(f, codepoint, &advance, &bearing);
        x += float(advance) * scale + tracking;
        if (p[1]) x += float(stbtt_GetCodepointKernAdvance(f, codepoint, (unsigned char)p[1])) * scale;
    }
}
