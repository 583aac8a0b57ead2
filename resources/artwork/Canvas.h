// A small raster canvas for the module's artwork: straight RGBA in floats,
// shapes drawn with one-pixel antialiased edges from their distance fields,
// and text through stb_truetype. Everything is plain arithmetic, so the same
// sources give the same bytes on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Colour {
    float r, g, b, a;
};

// An opaque colour from 0xRRGGBB.
Colour rgb(uint32_t hex);
Colour withAlpha(Colour c, float a);
Colour mix(Colour a, Colour b, float t);

struct Canvas {
    int width = 0, height = 0;
    std::vector<Colour> pixels;  // rows from the top

    Canvas(int w, int h, Colour fill);
    Colour& at(int x, int y) { return pixels[size_t(y) * width + x]; }
    const Colour& at(int x, int y) const { return pixels[size_t(y) * width + x]; }

    // Composites `c` with coverage `cover` (0..1) over pixel (x, y); outside is ignored.
    void blend(int x, int y, Colour c, float cover);
    // A copy of the part at (x, y) of size w x h.
    Canvas crop(int x, int y, int w, int h) const;
    // Puts `other` at (x, y), over what is there.
    void paste(const Canvas& other, int x, int y);
};

// Shapes take pixel-edge coordinates: a 1-pixel square at (x, y) spans x..x+1.
void fillRect(Canvas& c, float x0, float y0, float x1, float y1, Colour colour);
void fillRoundRect(Canvas& c, float x0, float y0, float x1, float y1, float radius, Colour colour);
// A ring of width `lineWidth` just inside the rounded rectangle's edge.
void strokeRoundRect(Canvas& c, float x0, float y0, float x1, float y1, float radius, float lineWidth, Colour colour);
void fillCircle(Canvas& c, float cx, float cy, float radius, Colour colour);
// A disc whose colour runs from `inner` at the centre to `outer` at the rim.
void fillCircleRadial(Canvas& c, float cx, float cy, float radius, Colour inner, Colour outer);
void strokeCircle(Canvas& c, float cx, float cy, float radius, float lineWidth, Colour colour);
// A triangle, antialiased by 4 x 4 samples a pixel.
void fillTriangle(Canvas& c, float ax, float ay, float bx, float by, float cx, float cy, Colour colour);
// A line of `lineWidth` with round caps.
void drawLine(Canvas& c, float x0, float y0, float x1, float y1, float lineWidth, Colour colour);
// A vertical gradient from `top` to `bottom` inside the rounded rectangle.
void fillRoundRectGradient(Canvas& c, float x0, float y0, float x1, float y1, float radius, Colour top, Colour bottom);

// A TrueType font from a file; pixel sizes are the em height.
struct Font {
    std::vector<unsigned char> data;
    void* info = nullptr;  // stbtt_fontinfo
    Font() = default;
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font();
    bool load(const std::string& path);                       // a font file (the generator)
    bool loadBytes(const unsigned char* bytes, size_t size);  // a copy of a font in memory (the module)
};

// Width in pixels of `text` at `size`, with `tracking` extra pixels per letter.
float textWidth(const Font& font, float size, const char* text, float tracking = 0.0f);
// Draws `text` with its baseline at `baseline` (snapped to a whole pixel) from x.
void drawString(Canvas& c, const Font& font, float size, float x, float baseline, const char* text, Colour colour,
                float tracking = 0.0f);
// Height in pixels of the capital letters at `size`.
float capHeight(const Font& font, float size);
// Height in pixels above the baseline the font reserves at `size` (its ascent).
float ascent(const Font& font, float size);

// ---- Files the resource compiler takes. ----
// A 24-bit bottom-up BMP; alpha is composited over nothing (taken as opaque).
bool writeBmp(const Canvas& c, const std::string& path);
// A 32-bit icon with its AND mask (transparent where alpha is below one half).
bool writeIcon(const Canvas& c, const std::string& path);
// A monochrome 32 x 32 cursor from rows of '#' (black), '.' (white) and ' '
// (transparent), with its hot spot.
bool writeCursor(const std::vector<std::string>& rows, int hotX, int hotY, const std::string& path);
