#include "resources/artwork/Artwork.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "resources/ResourceIds.h"
#include "ui/Layout.h"
#include "ui/TextLayout.h"

namespace {

// ---- The palette: a calm blue-grey page, near-white cards, slate ink. ----
const Colour page = rgb(0xE6EAF0);
const Colour card = rgb(0xFAFBFC);
const Colour cardBorder = rgb(0xD2D9E2);
const Colour divider = rgb(0xE4E9EF);
const Colour caption = rgb(0x66758A);
const Colour ink = rgb(0x2B3544);
const Colour buttonFace = rgb(0xDEDEDE);  // the owner-drawn buttons' face
const Colour accent = rgb(0x3C6DB4);
const Colour sun = rgb(0xF4C35A);
const Colour white = rgb(0xFFFFFF);

// Drawing at a DPI: the artwork is designed in 96-DPI pixels. Edges that meet
// the dialog's controls or must stay sharp are scaled and rounded (`at`),
// free shapes and type are scaled exactly (`f`), and one-pixel lines stay at
// least one pixel (`line`). At 96 DPI every number is the designed one.
struct Scale {
    int dpi;
    float k;
    explicit Scale(int d) : dpi(d), k(float(d) / float(baseDpi)) {}
    float at(int v) const { return float(scaledLength(v, dpi)); }
    int px(int v) const { return scaledLength(v, dpi); }
    float f(float v) const { return v * k; }
    float line() const { return float(hairline(dpi)); }
};

struct Card {
    int left, top, right, bottom;
};

// The panels of the dialog's page, each framing one group of the layout.
const Card kShapeCard = {8, 5, 320, 214};        // Puffs to Dispersion
const Card kColourCard = {8, 228, 320, 418};     // the colours, then Sky light to Mottling
const Card kPatternCard = {8, 436, 320, 510};    // Zoom and Seamless
const Card kCommandCard = {331, 390, 407, 553};  // Undo, Clouds, Load, Save
const Card kLightCard = {412, 390, 620, 508};    // the light pad and Backlighting

// The seamless strip's segments, left to right (the wrap modes in order).
enum { wrapOffSegment, wrapAcrossSegment, wrapBothSegment };

const float captionSize = 9.0f, captionTracking = 0.9f;

void drawCard(Canvas& c, const Scale& s, const Card& k)
{
    float l = s.at(k.left), t = s.at(k.top), r = s.at(k.right), b = s.at(k.bottom), h = s.line();
    fillRoundRect(c, l, t, r, b, s.f(6.0f), cardBorder);
    fillRoundRect(c, l + h, t + h, r - h, b - h, s.f(6.0f) - h, card);
}

void drawCaption(Canvas& c, const ArtworkFonts& f, const Scale& s, float x, float baseline, const char* text)
{
    drawString(c, f.bold, s.f(captionSize), x, baseline, text, caption, s.f(captionTracking));
}

// The baseline of a label's text as the dialog draws it: where the dialog
// places the line in the label's rectangle, at the dialog font's ascent.
float labelBaseline(const ArtworkFonts& f, const Scale& s, int labelId)
{
    TextPoint at = textOrigin(outerRectOf(labelId, s.dpi), textLeft, -2, 0, s.dpi);
    return float(at.y) + std::floor(ascent(f.regular, float(dialogFontPixels(s.dpi))) + 0.5f);
}

// The cloud mark: a sun behind a cloud, in a `size` x `size` box at (x, y).
void drawLogo(Canvas& c, float x, float y, float size)
{
    float s = size / 21.0f;
    fillCircle(c, x + 14.5f * s, y + 6.5f * s, 4.2f * s, sun);
    Colour body = accent;
    fillCircle(c, x + 7.0f * s, y + 12.0f * s, 4.3f * s, body);
    fillCircle(c, x + 11.5f * s, y + 9.0f * s, 5.4f * s, body);
    fillCircle(c, x + 15.5f * s, y + 12.8f * s, 3.8f * s, body);
    fillRoundRect(c, x + 2.6f * s, y + 11.0f * s, x + 19.3f * s, y + 16.6f * s, 2.8f * s, body);
}

// ---- The page: the background the dialog copies before it draws its controls. ----

// The light pad's disc: the drag circle of radius 33 around (43, 41) of the pad.
void drawPadDisc(Canvas& c, const Scale& s)
{
    PixelRect pad = outerRectOf(IDC_LIGHT_PAD, s.dpi);
    float cx = float(pad.left) + s.f(43.5f), cy = float(pad.top) + s.f(41.5f), h = s.line();
    fillCircle(c, cx, cy, s.f(38.0f), rgb(0xC4CDD9));
    fillCircle(c, cx, cy, s.f(38.0f) - h, rgb(0xE9EDF2));
    fillCircleRadial(c, cx, cy, s.f(33.5f), rgb(0x3E5682), rgb(0x1B2740));
    Colour grid = withAlpha(white, 0.16f);
    strokeCircle(c, cx, cy, s.f(11.0f), h, grid);
    strokeCircle(c, cx, cy, s.f(22.0f), h, grid);
    drawLine(c, cx - s.f(33.0f), cy, cx + s.f(33.0f), cy, h, withAlpha(white, 0.10f));
    drawLine(c, cx, cy - s.f(33.0f), cx, cy + s.f(33.0f), h, withAlpha(white, 0.10f));
    strokeCircle(c, cx, cy, s.f(33.0f), h, withAlpha(white, 0.22f));
}

// The preview pane as the page shows it when the host offers no live preview.
void drawPreviewWell(Canvas& c, const Scale& s)
{
    PixelRect r = outerRectOf(IDC_PREVIEW, s.dpi);
    int h = hairline(s.dpi);
    fillRect(c, float(r.left), float(r.top), float(r.right), float(r.bottom), rgb(0xC3CCD7));
    int inner = heightOf(r) - 2 * h;
    for (int y = r.top + h; y < r.bottom - h; ++y) {
        float t = float(y - r.top) / float(inner);
        fillRect(c, float(r.left + h), float(y), float(r.right - h), float(y + 1),
                 mix(rgb(0xCFDCEC), rgb(0xF2F5F9), t));
    }
    const int side = s.px(72);
    Canvas mark(side, side, Colour{0, 0, 0, 0});
    drawLogo(mark, 0, 0, float(side));
    for (Colour& p : mark.pixels) p = Colour{1.0f, 1.0f, 1.0f, p.a * 0.55f};
    c.paste(mark, (r.left + r.right - 2 * h) / 2 - side / 2, (r.top + r.bottom - 2 * h) / 2 - side / 2);
}

Canvas drawPage(const ArtworkFonts& f, const Scale& s)
{
    Canvas c(s.px(clientWidth), s.px(clientHeight), page);
    for (const Card* k : {&kShapeCard, &kColourCard, &kPatternCard, &kCommandCard, &kLightCard}) drawCard(c, s, *k);

    // Each panel's title sits in its top-left corner, above the first row.
    auto title = [&](const Card& k, const char* text) {
        drawCaption(c, f, s, s.at(k.left + 10), s.at(k.top + 11), text);
    };
    title(kShapeCard, "SHAPE");
    title(kColourCard, "COLOUR AND LIGHT");
    title(kPatternCard, "PATTERN");
    title(kLightCard, "LIGHT DIRECTION");
    drawCaption(c, f, s, s.at(layoutRect(IDC_PREVIEW).left + 4), labelBaseline(f, s, IDC_AUTO_PREVIEW_LABEL),
                "PREVIEW");

    // Between the colours and the light sliders, and between the history and the file buttons.
    float colourRow = float(outerRectOf(IDC_CLOUD_COLOUR_LABEL, s.dpi).bottom),
          lightRow = float(outerRectOf(IDC_SKY_LIGHT_TRACK, s.dpi).top);
    float y = std::floor((colourRow + lightRow) / 2.0f);
    fillRect(c, s.at(kColourCard.left + 10), y, s.at(kColourCard.right - 10), y + s.line(), divider);
    float clouds = float(outerRectOf(IDC_CLOUDS, s.dpi).bottom), load = float(outerRectOf(IDC_LOAD, s.dpi).top);
    y = std::floor((clouds + load) / 2.0f);
    fillRect(c, s.at(kCommandCard.left + 8), y, s.at(kCommandCard.right - 8), y + s.line(), divider);

    // The name strip under the preview: a white field the status text sits in.
    PixelRect strip = outerRectOf(IDC_STATUS_LINE, s.dpi);
    float h = s.line();
    fillRoundRect(c, float(strip.left), float(strip.top), float(strip.right), float(strip.bottom), s.f(3.0f),
                  cardBorder);
    fillRoundRect(c, float(strip.left) + h, float(strip.top) + h, float(strip.right) - h, float(strip.bottom) - h,
                  s.f(3.0f) - h, white);

    drawPreviewWell(c, s);
    drawPadDisc(c, s);
    return c;
}

// ---- Controls. ----

// A slider track: a groove from the knob's first centre to its last, with
// ticks at 0, 25, 50, 75 and 100. `light` gives the dark-to-bright groove of
// the light sliders, otherwise the neutral groove of the shape sliders.
Canvas drawTrack(bool light, const Scale& s)
{
    const int w = s.px(135), h = s.px(12);
    Canvas c(w, h, card);
    const float x0 = s.f(3.0f), x1 = s.f(133.0f), y0 = s.f(4.0f), y1 = s.f(8.0f);
    if (light) {
        Canvas groove(w, h, Colour{0, 0, 0, 0});
        fillRoundRect(groove, x0, y0, x1, y1, s.f(2.0f), white);
        for (int x = 0; x < w; ++x) {
            Colour shade =
                mix(rgb(0x3F4B5E), rgb(0xF6CE70), std::min(std::max((float(x) - x0) / (x1 - x0), 0.0f), 1.0f));
            for (int yy = 0; yy < h; ++yy) groove.at(x, yy) = Colour{shade.r, shade.g, shade.b, groove.at(x, yy).a};
        }
        c.paste(groove, 0, 0);
    } else {
        fillRoundRect(c, x0, y0, x1, y1, s.f(2.0f), rgb(0xC3CCD7));
        fillRoundRect(c, x0, y0 + s.line(), x1, y1, s.f(2.0f), rgb(0xD3DAE3));
    }
    for (int value = 0; value <= 100; value += 25) {
        float x = s.at(6 + (value * 125) / 100);
        fillRect(c, x, s.at(10), x + s.line(), s.at(12), rgb(0xB3BDC9));
    }
    return c;
}

// The knob: a slim handle in the middle of its 12 x 10 cell. The cell's edges
// are the card's colour, so the knob never leaves a trace beyond the track.
Canvas drawKnob(const Scale& s)
{
    Canvas c(s.px(12), s.px(10), card);
    float h = s.line();
    fillRoundRect(c, s.f(2.0f), 0.0f, s.f(9.0f), s.f(10.0f), s.f(2.5f), rgb(0x55647A));
    fillRoundRectGradient(c, s.f(2.0f) + h, h, s.f(9.0f) - h, s.f(10.0f) - h, s.f(2.5f) - h, white, rgb(0xE1E7EE));
    return c;
}

// A toggle's 10 x 10 box; its last column and row complete the sunken frame.
Canvas drawToggleBox(bool checked, bool pressed, const Scale& s)
{
    Canvas c(s.px(10), s.px(10), white);
    float inside = s.at(10) - s.line();
    fillRect(c, 0, 0, inside, inside, pressed ? rgb(0xC9CED6) : white);
    if (checked) {
        Colour mark = rgb(0x1F3A66);
        drawLine(c, s.f(1.9f), s.f(4.6f), s.f(3.8f), s.f(6.6f), s.f(1.6f), mark);
        drawLine(c, s.f(3.8f), s.f(6.6f), s.f(7.4f), s.f(2.2f), s.f(1.6f), mark);
    }
    return c;
}

// A double-headed arrow from (x0, y0) to (x1, y1), on pixel centres.
void doubleArrow(Canvas& c, const Scale& s, float x0, float y0, float x1, float y1, Colour colour)
{
    const float length = std::hypot(x1 - x0, y1 - y0), ux = (x1 - x0) / length, uy = (y1 - y0) / length;
    const float head = s.f(3.5f), half = s.f(3.0f);
    drawLine(c, x0 + ux * head * 0.5f, y0 + uy * head * 0.5f, x1 - ux * head * 0.5f, y1 - uy * head * 0.5f, s.f(1.4f),
             colour);
    for (float sign : {1.0f, -1.0f}) {
        const float tx = sign > 0 ? x1 : x0, ty = sign > 0 ? y1 : y0;
        const float bx = tx - sign * ux * head, by = ty - sign * uy * head;
        fillTriangle(c, tx + sign * ux * s.f(0.5f), ty + sign * uy * s.f(0.5f), bx - uy * half, by + ux * half,
                     bx + uy * half, by - ux * half, colour);
    }
}

// The seamless strip with segment `chosen` picked: "Off", a left-right
// arrow, and both arrows; the chosen one white on the accent.
Canvas drawSeamlessStrip(const ArtworkFonts& f, const Scale& s, int chosen)
{
    const PixelRect outer = outerRectOf(IDC_SEAMLESS, s.dpi);
    const PixelRect all = {0, 0, widthOf(outer), heightOf(outer)};
    Canvas c(all.right, all.bottom, card);
    const float h = s.line(), radius = s.f(3.5f), W = float(all.right), H = float(all.bottom);
    fillRoundRect(c, 0.0f, 0.0f, W, H, radius, rgb(0xB3BDC9));
    fillRoundRect(c, h, h, W - h, H - h, radius - h, rgb(0xF1F4F8));
    const float cy = std::floor(H / 2.0f) + 0.5f;
    for (int k = 0; k < choiceSegments; ++k) {
        const PixelRect seg = choiceSegment(all, k);
        const bool picked = k == chosen;
        if (picked)
            fillRoundRect(c, float(seg.left) + h, h, float(seg.right) - h, H - h, radius - h, accent);
        else if (k + 1 < choiceSegments && k + 1 != chosen)
            fillRect(c, float(seg.right) - h, s.f(4.0f), float(seg.right), H - s.f(4.0f), cardBorder);
        const Colour glyph = picked ? white : rgb(0x3F4B5E);
        const float cx = std::floor(float(seg.left + seg.right) / 2.0f) + 0.5f;
        switch (k) {
        case wrapOffSegment: {
            const float size = s.f(10.5f);
            float baseline = std::floor((H + capHeight(f.regular, size)) / 2.0f + 0.5f);
            drawString(c, f.regular, size, cx - textWidth(f.regular, size, "Off") / 2.0f, baseline, "Off", glyph);
            break;
        }
        case wrapAcrossSegment: doubleArrow(c, s, cx - s.f(8.0f), cy, cx + s.f(8.0f), cy, glyph); break;
        default:
            doubleArrow(c, s, cx - s.f(10.0f), cy, cx + s.f(2.0f), cy, glyph);
            doubleArrow(c, s, cx + s.f(7.0f), cy - s.f(5.0f), cx + s.f(7.0f), cy + s.f(5.0f), glyph);
            break;
        }
    }
    return c;
}

// A command button's glyph: its word, centred on the button face.
Canvas drawWordGlyph(const ArtworkFonts& f, const Scale& s, int w, int h, const char* word)
{
    Canvas c(s.px(w), s.px(h), buttonFace);
    const float size = s.f(11.0f);
    float x = (float(c.width) - textWidth(f.bold, size, word)) / 2.0f;
    float baseline = std::floor((float(c.height) + capHeight(f.bold, size)) / 2.0f + 0.5f);
    drawString(c, f.bold, size, x, baseline, word, ink);
    return c;
}

Canvas drawAboutText(const ArtworkFonts& f, const Scale& s, const char* version)
{
    Canvas c(s.px(303), s.px(75), white);
    drawString(c, f.regular, s.f(12.0f), 0.0f, s.f(13.0f), "Soft, lit procedural clouds for any picture.", ink);
    drawString(c, f.regular, s.f(11.0f), 0.0f, s.f(31.0f), "A filter plug-in for Photoshop-compatible editors.",
               caption);
    std::string line = std::string("Version ") + version;
    drawString(c, f.bold, s.f(11.0f), 0.0f, s.f(50.0f), line.c_str(), ink);
    drawString(c, f.regular, s.f(11.0f), 0.0f, s.f(66.0f), "\xA9 2026 Nimbulo Labs", caption);
    return c;
}

Canvas drawWordmark(const ArtworkFonts& f, const Scale& s)
{
    Canvas c(s.px(110), s.px(14), white);
    drawString(c, f.bold, s.f(15.0f), 0.0f, s.f(12.0f), "Nimbulo", rgb(0x22314A), s.f(0.3f));
    return c;
}

Canvas logoOn(Colour background, const Scale& s, int side)
{
    Canvas c(s.px(side), s.px(side), background);
    drawLogo(c, 0.0f, 0.0f, float(c.width));
    return c;
}

// ---- Cursors: rows of '#' black, '.' white, ' ' transparent, 32 x 32 at 96 DPI. ----

const std::vector<std::string> kPointingHand = {
    " ###",
    "#...#",
    "#...#",
    "#...#",
    "#...#####",
    "#...#...#####",
    "#...#...#...###",
    "#...#...#...#..#",
    "#..............#",
    "#..............#",
    "#..............#",
    "#..............#",
    " #............#",
    "  #..........#",
    "   #........#",
    "    #......#",
    "    ########",
};

const std::vector<std::string> kOpenHand = {
    "    ## ## ##",     "   #..#..#..#",    "   #..#..#..# #",  "   #..#..#..##.#", "   #..#..#..#..#",
    "## #..#..#..#..#", "#.##..#..#..#..#", "#..#...........#", " #.............#", "  #............#",
    "  #...........#",  "   #..........#",  "    #........#",   "     #.......#",   "     #########",
};

const std::vector<std::string> kClosedHand = {
    "",
    "",
    "",
    "   ## ## ## ##",
    "  #..#..#..#..#",
    "  #...........#",
    " ##...........#",
    "#.#...........#",
    "#.............#",
    "#.............#",
    " #...........#",
    "  #.........#",
    "   #.......#",
    "   #########",
};

}  // namespace

bool drawBitmapArt(int id, int dpi, const ArtworkFonts& f, const char* version, Canvas* out)
{
    const Scale s(dpi);
    switch (id) {
    case IDB_PAGE: *out = drawPage(f, s); return true;
    case IDB_TRACK_LIGHT: *out = drawTrack(true, s); return true;
    case IDB_TRACK_SHAPE: *out = drawTrack(false, s); return true;
    case IDB_KNOB: *out = drawKnob(s); return true;
    case IDB_TOGGLE_OFF: *out = drawToggleBox(false, false, s); return true;
    case IDB_TOGGLE_OFF_PRESSED: *out = drawToggleBox(false, true, s); return true;
    case IDB_TOGGLE_ON: *out = drawToggleBox(true, false, s); return true;
    case IDB_TOGGLE_ON_PRESSED: *out = drawToggleBox(true, true, s); return true;
    case IDB_BUTTON_DICE: *out = drawWordGlyph(f, s, 29, 19, "Dice"); return true;
    case IDB_SEAMLESS_OFF: *out = drawSeamlessStrip(f, s, 0); return true;
    case IDB_SEAMLESS_ACROSS: *out = drawSeamlessStrip(f, s, 1); return true;
    case IDB_SEAMLESS_BOTH: *out = drawSeamlessStrip(f, s, 2); return true;
    case IDB_BUTTON_ECCE: *out = drawWordGlyph(f, s, 36, 19, "Ecce"); return true;
    case IDB_BUTTON_UNDO: *out = drawWordGlyph(f, s, 36, 19, "Undo"); return true;
    case IDB_BUTTON_CLOUDS: *out = drawWordGlyph(f, s, 39, 16, "Clouds"); return true;
    case IDB_BUTTON_LOAD: *out = drawWordGlyph(f, s, 39, 16, "Load"); return true;
    case IDB_BUTTON_SAVE: *out = drawWordGlyph(f, s, 39, 16, "Save"); return true;
    case IDB_LIGHT_PAD: {
        PixelRect pad = outerRectOf(IDC_LIGHT_PAD, dpi);
        *out = drawPage(f, s).crop(pad.left, pad.top, s.px(85), s.px(85));
        return true;
    }
    case IDB_ABOUT_MARK: *out = logoOn(page, s, 32); return true;
    case IDB_ABOUT_NAME: *out = drawWordmark(f, s); return true;
    case IDB_ABOUT_LOGO: *out = logoOn(white, s, 21); return true;
    case IDB_ABOUT_TEXT: *out = drawAboutText(f, s, version); return true;
    default: return false;
    }
}

Canvas drawMarkerArt(int dpi)
{
    const Scale s(dpi);
    Canvas c(s.px(32), s.px(32), Colour{0, 0, 0, 0});
    fillCircle(c, s.f(2.5f), s.f(2.5f), s.f(2.6f), rgb(0xE0A21C));
    fillCircle(c, s.f(2.5f), s.f(2.5f), s.f(1.7f), rgb(0xFFE27A));
    fillRect(c, s.f(2.0f), s.f(2.0f), s.f(3.0f), s.f(3.0f), rgb(0xFFF8D8));
    for (Colour& p : c.pixels) p.a = p.a >= 0.5f ? 1.0f : 0.0f;  // crisp against any disc shade
    return c;
}

Canvas drawWarningArt(int dpi)
{
    const Scale s(dpi);
    Canvas c(s.px(32), s.px(32), Colour{0, 0, 0, 0});
    Colour edge = rgb(0xB5790E), fill = rgb(0xF6BE3E);
    fillTriangle(c, s.f(16.0f), s.f(2.5f), s.f(29.5f), s.f(28.0f), s.f(2.5f), s.f(28.0f), edge);
    drawLine(c, s.f(16.0f), s.f(2.5f), s.f(29.5f), s.f(28.0f), s.f(3.0f), edge);
    drawLine(c, s.f(29.5f), s.f(28.0f), s.f(2.5f), s.f(28.0f), s.f(3.0f), edge);
    drawLine(c, s.f(2.5f), s.f(28.0f), s.f(16.0f), s.f(2.5f), s.f(3.0f), edge);
    fillTriangle(c, s.f(16.0f), s.f(5.5f), s.f(27.0f), s.f(26.5f), s.f(5.0f), s.f(26.5f), fill);
    fillRoundRect(c, s.f(14.6f), s.f(10.5f), s.f(17.4f), s.f(20.5f), s.f(1.4f), rgb(0x1E1E1E));
    fillCircle(c, s.f(16.0f), s.f(23.3f), s.f(1.6f), rgb(0x1E1E1E));
    return c;
}

CursorArt cursorArt(int id, int dpi)
{
    const std::vector<std::string>* rows = nullptr;
    int hotX = 8, hotY = 8;
    switch (id) {
    case IDCUR_HAND_CLOSED: rows = &kClosedHand; break;
    case IDCUR_HAND_OPEN: rows = &kOpenHand; break;
    case IDCUR_HAND_POINTING:
        rows = &kPointingHand;
        hotX = 2, hotY = 1;
        break;
    default: return CursorArt{};
    }
    // Each pixel of the drawing becomes a block of whole pixels (nearest
    // neighbour): the outline stays crisp at every scale.
    CursorArt art;
    art.side = scaledLength(32, dpi);
    art.hotX = scaledLength(hotX, dpi);
    art.hotY = scaledLength(hotY, dpi);
    for (int y = 0; y < art.side; ++y) {
        const size_t from = size_t(y * baseDpi / dpi);
        std::string row;
        for (int x = 0; x < art.side; ++x) {
            const size_t column = size_t(x * baseDpi / dpi);
            row += from < rows->size() && column < (*rows)[from].size() ? (*rows)[from][column] : ' ';
        }
        art.rows.push_back(row);
    }
    return art;
}
