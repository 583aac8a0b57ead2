#include "resources/artwork/Artwork.h"

#include <cmath>
#include <string>
#include <vector>

#include "resources/artwork/Canvas.h"
#include "ui/Layout.h"

const char* const defaultFontFolder = "/usr/share/fonts/truetype/liberation2";

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

struct Fonts {
    Font regular, bold;
};

struct Card {
    int left, top, right, bottom;
};

// The panels of the dialog's page, each framing one group of the layout.
const Card kShapeCard = {8, 5, 320, 214};        // Puffs to Dispersion
const Card kColourCard = {8, 228, 320, 418};     // the colours, then Sky light to Mottling
const Card kPatternCard = {8, 446, 320, 494};    // Zoom
const Card kCommandCard = {331, 390, 407, 553};  // Undo, Clouds, Load, Save
const Card kLightCard = {412, 390, 620, 508};    // the light pad and Backlighting

const float captionSize = 9.0f, captionTracking = 0.9f;

void drawCard(Canvas& c, const Card& k)
{
    fillRoundRect(c, float(k.left), float(k.top), float(k.right), float(k.bottom), 6.0f, cardBorder);
    fillRoundRect(c, float(k.left) + 1, float(k.top) + 1, float(k.right) - 1, float(k.bottom) - 1, 5.0f, card);
}

void drawCaption(Canvas& c, const Fonts& f, float x, float baseline, const char* text)
{
    drawString(c, f.bold, captionSize, x, baseline, text, caption, captionTracking);
}

// The baseline of a label's text as the dialog draws it: the label's table
// rectangle, 2 pixels up, centred on a 14-pixel line, at the font's ascent.
float labelBaseline(int labelId)
{
    PixelRect r = outerRectOf(labelId);
    int h = heightOf(r) - 2;
    return float(r.top - 2 + (h - 14) / 2 + 10);
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
void drawPadDisc(Canvas& c)
{
    PixelRect pad = outerRectOf(IDC_LIGHT_PAD);
    float cx = float(pad.left) + 43.5f, cy = float(pad.top) + 41.5f;
    fillCircle(c, cx, cy, 38.0f, rgb(0xC4CDD9));
    fillCircle(c, cx, cy, 37.0f, rgb(0xE9EDF2));
    fillCircleRadial(c, cx, cy, 33.5f, rgb(0x3E5682), rgb(0x1B2740));
    Colour grid = withAlpha(white, 0.16f);
    strokeCircle(c, cx, cy, 11.0f, 1.0f, grid);
    strokeCircle(c, cx, cy, 22.0f, 1.0f, grid);
    drawLine(c, cx - 33.0f, cy, cx + 33.0f, cy, 1.0f, withAlpha(white, 0.10f));
    drawLine(c, cx, cy - 33.0f, cx, cy + 33.0f, 1.0f, withAlpha(white, 0.10f));
    strokeCircle(c, cx, cy, 33.0f, 1.0f, withAlpha(white, 0.22f));
}

// The preview pane as the page shows it when the host offers no live preview.
void drawPreviewWell(Canvas& c)
{
    PixelRect r = layoutRect(IDC_PREVIEW);
    fillRect(c, float(r.left), float(r.top), float(r.right + 2), float(r.bottom + 2), rgb(0xC3CCD7));
    for (int y = r.top + 1; y < r.bottom + 1; ++y) {
        float t = float(y - r.top) / float(heightOf(r));
        fillRect(c, float(r.left + 1), float(y), float(r.right + 1), float(y + 1),
                 mix(rgb(0xCFDCEC), rgb(0xF2F5F9), t));
    }
    const int side = 72;
    Canvas mark(side, side, Colour{0, 0, 0, 0});
    drawLogo(mark, 0, 0, float(side));
    for (Colour& p : mark.pixels) p = Colour{1.0f, 1.0f, 1.0f, p.a * 0.55f};
    c.paste(mark, (r.left + r.right) / 2 - side / 2, (r.top + r.bottom) / 2 - side / 2);
}

Canvas drawPage(const Fonts& f)
{
    Canvas c(clientWidth, clientHeight, page);
    for (const Card* k : {&kShapeCard, &kColourCard, &kPatternCard, &kCommandCard, &kLightCard}) drawCard(c, *k);

    // Each panel's title sits in its top-left corner, above the first row.
    auto title = [&](const Card& k, const char* text) {
        drawCaption(c, f, float(k.left + 10), float(k.top + 11), text);
    };
    title(kShapeCard, "SHAPE");
    title(kColourCard, "COLOUR AND LIGHT");
    title(kPatternCard, "PATTERN");
    title(kLightCard, "LIGHT DIRECTION");
    drawCaption(c, f, float(layoutRect(IDC_PREVIEW).left + 4), labelBaseline(IDC_AUTO_PREVIEW_LABEL), "PREVIEW");

    // Between the colours and the light sliders, and between the history and the file buttons.
    float colourRow = float(outerRectOf(IDC_CLOUD_COLOUR_LABEL).bottom),
          lightRow = float(layoutRect(IDC_SKY_LIGHT_TRACK).top);
    float y = std::floor((colourRow + lightRow) / 2.0f);
    fillRect(c, float(kColourCard.left + 10), y, float(kColourCard.right - 10), y + 1, divider);
    float clouds = float(layoutRect(IDC_CLOUDS).bottom), load = float(layoutRect(IDC_LOAD).top);
    y = std::floor((clouds + load) / 2.0f);
    fillRect(c, float(kCommandCard.left + 8), y, float(kCommandCard.right - 8), y + 1, divider);

    // The name strip under the preview: a white field the status text sits in.
    PixelRect strip = outerRectOf(IDC_STATUS_LINE);
    fillRoundRect(c, float(strip.left), float(strip.top), float(strip.right), float(strip.bottom), 3.0f, cardBorder);
    fillRoundRect(c, float(strip.left + 1), float(strip.top + 1), float(strip.right - 1), float(strip.bottom - 1), 2.0f,
                  white);

    drawPreviewWell(c);
    drawPadDisc(c);
    return c;
}

// ---- Controls. ----

// A slider track: a groove from the knob's first centre to its last, with
// ticks at 0, 25, 50, 75 and 100. `light` gives the dark-to-bright groove of
// the light sliders, otherwise the neutral groove of the shape sliders.
Canvas drawTrack(bool light)
{
    Canvas c(135, 12, card);
    const float x0 = 3.0f, x1 = 133.0f, y0 = 4.0f, y1 = 8.0f;
    if (light) {
        Canvas groove(135, 12, Colour{0, 0, 0, 0});
        fillRoundRect(groove, x0, y0, x1, y1, 2.0f, white);
        for (int x = 0; x < 135; ++x) {
            Colour shade =
                mix(rgb(0x3F4B5E), rgb(0xF6CE70), std::min(std::max((float(x) - x0) / (x1 - x0), 0.0f), 1.0f));
            for (int yy = 0; yy < 12; ++yy) groove.at(x, yy) = Colour{shade.r, shade.g, shade.b, groove.at(x, yy).a};
        }
        c.paste(groove, 0, 0);
    } else {
        fillRoundRect(c, x0, y0, x1, y1, 2.0f, rgb(0xC3CCD7));
        fillRoundRect(c, x0, y0 + 1.0f, x1, y1, 2.0f, rgb(0xD3DAE3));
    }
    for (int value = 0; value <= 100; value += 25) {
        int x = 6 + (value * 125) / 100;
        fillRect(c, float(x), 10.0f, float(x + 1), 12.0f, rgb(0xB3BDC9));
    }
    return c;
}

// The knob: a slim handle in the middle of its 12 x 10 cell. The cell's edges
// are the card's colour, so the knob never leaves a trace beyond the track.
Canvas drawKnob()
{
    Canvas c(12, 10, card);
    fillRoundRect(c, 2.0f, 0.0f, 9.0f, 10.0f, 2.5f, rgb(0x55647A));
    fillRoundRectGradient(c, 3.0f, 1.0f, 8.0f, 9.0f, 1.5f, white, rgb(0xE1E7EE));
    return c;
}

// A toggle's 10 x 10 box; its last column and row complete the sunken frame.
Canvas drawToggleBox(bool checked, bool pressed)
{
    Canvas c(10, 10, white);
    fillRect(c, 0, 0, 9, 9, pressed ? rgb(0xC9CED6) : white);
    if (checked) {
        Colour mark = rgb(0x1F3A66);
        drawLine(c, 1.9f, 4.6f, 3.8f, 6.6f, 1.6f, mark);
        drawLine(c, 3.8f, 6.6f, 7.4f, 2.2f, 1.6f, mark);
    }
    return c;
}

// A command button's glyph: its word, centred on the button face.
Canvas drawWordGlyph(const Fonts& f, int w, int h, const char* word)
{
    Canvas c(w, h, buttonFace);
    const float size = 11.0f;
    float x = (float(w) - textWidth(f.bold, size, word)) / 2.0f;
    float baseline = std::floor((float(h) + capHeight(f.bold, size)) / 2.0f + 0.5f);
    drawString(c, f.bold, size, x, baseline, word, ink);
    return c;
}

// The marker: a small sun ball in the top-left corner of a 32 x 32 icon.
Canvas drawMarker()
{
    Canvas c(32, 32, Colour{0, 0, 0, 0});
    fillCircle(c, 2.5f, 2.5f, 2.6f, rgb(0xE0A21C));
    fillCircle(c, 2.5f, 2.5f, 1.7f, rgb(0xFFE27A));
    fillRect(c, 2.0f, 2.0f, 3.0f, 3.0f, rgb(0xFFF8D8));
    for (Colour& p : c.pixels) p.a = p.a >= 0.5f ? 1.0f : 0.0f;  // crisp against any disc shade
    return c;
}

Canvas drawWarning()
{
    Canvas c(32, 32, Colour{0, 0, 0, 0});
    Colour edge = rgb(0xB5790E), fill = rgb(0xF6BE3E);
    fillTriangle(c, 16.0f, 2.5f, 29.5f, 28.0f, 2.5f, 28.0f, edge);
    drawLine(c, 16.0f, 2.5f, 29.5f, 28.0f, 3.0f, edge);
    drawLine(c, 29.5f, 28.0f, 2.5f, 28.0f, 3.0f, edge);
    drawLine(c, 2.5f, 28.0f, 16.0f, 2.5f, 3.0f, edge);
    fillTriangle(c, 16.0f, 5.5f, 27.0f, 26.5f, 5.0f, 26.5f, fill);
    fillRoundRect(c, 14.6f, 10.5f, 17.4f, 20.5f, 1.4f, rgb(0x1E1E1E));
    fillCircle(c, 16.0f, 23.3f, 1.6f, rgb(0x1E1E1E));
    return c;
}

Canvas drawAboutText(const Fonts& f, const std::string& version)
{
    Canvas c(303, 75, white);
    drawString(c, f.regular, 12.0f, 0.0f, 13.0f, "Soft, lit procedural clouds for any picture.", ink);
    drawString(c, f.regular, 11.0f, 0.0f, 31.0f, "A filter plug-in for Photoshop-compatible editors.", caption);
    std::string line = "Version " + version;
    drawString(c, f.bold, 11.0f, 0.0f, 50.0f, line.c_str(), ink);
    drawString(c, f.regular, 11.0f, 0.0f, 66.0f, "\xA9 2026 Nimbulo Labs", caption);
    return c;
}

Canvas drawWordmark(const Fonts& f)
{
    Canvas c(110, 14, white);
    drawString(c, f.bold, 15.0f, 0.0f, 12.0f, "Nimbulo", rgb(0x22314A), 0.3f);
    return c;
}

Canvas logoOn(Colour background, int side)
{
    Canvas c(side, side, background);
    drawLogo(c, 0.0f, 0.0f, float(side));
    return c;
}

// ---- Cursors: rows of '#' black, '.' white, ' ' transparent. ----

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

const char* const kArtworkFiles[] = {
    "page.bmp",        "track-light.bmp",        "track-shape.bmp", "knob.bmp",
    "toggle-off.bmp",  "toggle-off-pressed.bmp", "toggle-on.bmp",   "toggle-on-pressed.bmp",
    "button-dice.bmp", "button-ecce.bmp",        "button-undo.bmp", "button-clouds.bmp",
    "button-load.bmp", "button-save.bmp",        "light-pad.bmp",   "about-mark.bmp",
    "about-name.bmp",  "about-logo.bmp",         "about-text.bmp",  "marker.ico",
    "warning.ico",     "hand-closed.cur",        "hand-open.cur",   "hand-pointing.cur",
    nullptr,
};

bool writeArtwork(const std::string& folder, const std::string& fontFolder, const std::string& version,
                  std::string* error)
{
    Fonts f;
    for (auto [font, name] : {std::pair<Font*, const char*>{&f.regular, "LiberationSans-Regular.ttf"},
                              {&f.bold, "LiberationSans-Bold.ttf"}}) {
        if (!font->load(fontFolder + "/" + name)) {
            *error = "cannot read the font " + fontFolder + "/" + name + " (Debian package fonts-liberation2)";
            return false;
        }
    }
    std::string failed;
    auto bmp = [&](const char* name, const Canvas& c) {
        if (!writeBmp(c, folder + "/" + name)) failed = name;
    };
    Canvas pageCanvas = drawPage(f);
    PixelRect pad = outerRectOf(IDC_LIGHT_PAD);
    bmp("page.bmp", pageCanvas);
    bmp("track-light.bmp", drawTrack(true));
    bmp("track-shape.bmp", drawTrack(false));
    bmp("knob.bmp", drawKnob());
    bmp("toggle-off.bmp", drawToggleBox(false, false));
    bmp("toggle-off-pressed.bmp", drawToggleBox(false, true));
    bmp("toggle-on.bmp", drawToggleBox(true, false));
    bmp("toggle-on-pressed.bmp", drawToggleBox(true, true));
    bmp("button-dice.bmp", drawWordGlyph(f, 29, 19, "Dice"));
    bmp("button-ecce.bmp", drawWordGlyph(f, 36, 19, "Ecce"));
    bmp("button-undo.bmp", drawWordGlyph(f, 36, 19, "Undo"));
    bmp("button-clouds.bmp", drawWordGlyph(f, 39, 16, "Clouds"));
    bmp("button-load.bmp", drawWordGlyph(f, 39, 16, "Load"));
    bmp("button-save.bmp", drawWordGlyph(f, 39, 16, "Save"));
    bmp("light-pad.bmp", pageCanvas.crop(pad.left, pad.top, 85, 85));
    bmp("about-mark.bmp", logoOn(page, 32));
    bmp("about-name.bmp", drawWordmark(f));
    bmp("about-logo.bmp", logoOn(white, 21));
    bmp("about-text.bmp", drawAboutText(f, version));
    if (!writeIcon(drawMarker(), folder + "/marker.ico")) failed = "marker.ico";
    if (!writeIcon(drawWarning(), folder + "/warning.ico")) failed = "warning.ico";
    if (!writeCursor(kClosedHand, 8, 8, folder + "/hand-closed.cur")) failed = "hand-closed.cur";
    if (!writeCursor(kOpenHand, 8, 8, folder + "/hand-open.cur")) failed = "hand-open.cur";
    if (!writeCursor(kPointingHand, 2, 1, folder + "/hand-pointing.cur")) failed = "hand-pointing.cur";
    if (!failed.empty()) {
        *error = "cannot write " + folder + "/" + failed;
        return false;
    }
    return true;
}
