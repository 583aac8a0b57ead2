// The dialog's drawing code on a memory device context the size of the
// dialog, with the module's own artwork, reading back what was drawn.
#include <gtest/gtest.h>

#include <windows.h>

#include "host/DialogDriver.h"
#include "settings/ControlBinding.h"
#include "ui/Buttons.h"
#include "ui/ControlTable.h"
#include "ui/Layout.h"
#include "ui/PreviewPane.h"
#include "ui/Resources.h"
#include "ui/SliderGeometry.h"
#include "ui/Sliders.h"

namespace {

// A white 791 x 559 canvas standing in for the dialog's client area.
struct Canvas {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap;
    HGDIOBJ previous;
    uint32_t* pixels = nullptr;

    Canvas()
    {
        setModuleInstance(testhost::loadedModule());
        fillControlArrays();
        BITMAPINFO info = testhost::topDownBitmapInfo(clientWidth, clientHeight);
        void* bits = nullptr;
        bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels = static_cast<uint32_t*>(bits);
        previous = SelectObject(dc, bitmap);
        clear();
    }
    ~Canvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
    void clear()
    {
        for (int i = 0; i < clientWidth * clientHeight; ++i) pixels[i] = 0xFFFFFF;
    }
    // 0xRRGGBB at (x, y).
    uint32_t at(int x, int y)
    {
        GdiFlush();
        return pixels[y * clientWidth + x] & 0xFFFFFF;
    }
};

// Bitmap `id` drawn alone at the origin of a canvas, for comparison.
uint32_t bitmapPixel(int id, int x, int y)
{
    Canvas c;
    drawBitmap(nullptr, c.dc, id, 0, 0);
    return c.at(x, y);
}

const RECT noReadout = {0, 0, 0, 0};

}  // namespace

TEST(Drawing, PressedBitmapButtonShiftsItsBitmapAndDarkensItsFrame)
{
    Canvas up, down;
    const int dice = 72, glyph = 241;
    drawButtonFace(nullptr, nullptr, up.dc, dice, 0, nullptr, noReadout);
    drawButtonFace(nullptr, nullptr, down.dc, dice, buttonPressed, nullptr, noReadout);
    PixelRect r = outerRectOf(dice);
    SIZE size = bitmapSize(nullptr, glyph);
    int left = r.left + (widthOf(r) - size.cx + 1) / 2, top = r.top + (heightOf(r) - size.cy + 1) / 2;
    int matches = 0;
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) {
            EXPECT_EQ(up.at(left + x, top + y), bitmapPixel(glyph, x, y)) << x << "," << y;
            matches += down.at(left + 1 + x, top + 1 + y) == up.at(left + x, top + y);
            if (HasFailure()) return;
        }
    EXPECT_EQ(matches, size.cx * size.cy);
    EXPECT_EQ(up.at(r.left, r.top), 0xF0F0F0u);  // raised: light grey, then white
    EXPECT_EQ(up.at(r.left + 1, r.top + 1), 0xFFFFFFu);
    EXPECT_EQ(up.at(r.right, r.bottom), 0x000000u);
    EXPECT_EQ(down.at(r.left, r.top), 0x000000u);  // pressed: black, then mid grey
    EXPECT_EQ(down.at(r.left + 1, r.top + 1), 0x808080u);
}

TEST(Drawing, DisabledZoomButtonIsGreyTextOnAFlatFace)
{
    Canvas c;
    drawButtonFace(nullptr, nullptr, c.dc, IDC_ZOOM_IN, buttonDisabled, nullptr, noReadout);
    PixelRect r = outerRectOf(IDC_ZOOM_IN);
    EXPECT_EQ(c.at(r.left, r.top), 0x8C8C8Cu);  // a grey one-pixel frame
    EXPECT_EQ(c.at(r.right, r.bottom), 0x8C8C8Cu);
    int grey = 0, other = 0;
    for (int y = r.top + 1; y < r.bottom; ++y)
        for (int x = r.left + 1; x < r.right; ++x) {
            uint32_t p = c.at(x, y);
            if (p == 0x8C8C8Cu)
                ++grey;
            else if (p != 0xDEDEDEu)
                ++other;  // no white or black edges inside
        }
    EXPECT_GT(grey, 3);      // the "+" itself
    EXPECT_LT(other, grey);  // at most its antialiased edge
    for (int y = r.top + 1; y < r.bottom; ++y) EXPECT_NE(c.at(r.left + 1, y), 0xFFFFFFu);
}

TEST(Drawing, ColourButtonShowsTheHighBytes)
{
    Canvas c;
    controlColour[IDC_CLOUD_COLOUR] = RGB48{0xFF12, 0x8000, 0x00FF};
    for (UINT state : {0u, UINT(buttonPressed)}) {
        drawButtonFace(nullptr, nullptr, c.dc, IDC_CLOUD_COLOUR, state, nullptr, noReadout);
        PixelRect r = outerRectOf(IDC_CLOUD_COLOUR);
        EXPECT_EQ(c.at((r.left + r.right) / 2, (r.top + r.bottom) / 2), 0xFF8000u) << state;
        EXPECT_EQ(c.at(r.left + 2, r.top + 2), 0xFF8000u) << state;  // the swatch does not move when pressed
    }
}

TEST(Drawing, KnobLandsAtItsValue)
{
    // On the 140-pixel track the knob's left edge runs over 125 pixels from
    // one pixel in: 0 at 1, 37 at 1 + 46, 100 at 1 + 125.
    const int track = IDC_DENSITY_TRACK;
    const struct {
        int value, offset;
    } knobs[] = {{0, 1}, {37, 47}, {100, 126}};
    for (const auto& k : knobs) {
        Canvas c;
        controlValue[track] = k.value;
        controlLow[track] = 0;
        controlHigh[track] = 100;
        drawSliderTrack(nullptr, c.dc, track);
        PixelRect r = outerRectOf(track);
        ASSERT_EQ(r.right - r.left, 140);
        // The knob bitmap, pixel for pixel, at (left, top + 1).
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x)
                ASSERT_EQ(c.at(r.left + k.offset + x, r.top + 1 + y), bitmapPixel(IDB_KNOB, x, y)) << k.value;
    }
}

TEST(Drawing, StickIsYellowInFrontAndMagentaBehind)
{
    const struct {
        float v[3];
        uint32_t colour;
    } cases[] = {{{0.6f, 0.0f, 0.8f}, 0xFFFF00u}, {{0.6f, 0.0f, -0.8f}, 0xFF00FFu}};
    for (const auto& k : cases) {
        Canvas c;
        for (int i = 0; i < 3; ++i) controlVector[IDC_LIGHT_PAD][i] = k.v[i];
        drawPad(nullptr, c.dc, IDC_LIGHT_PAD);
        PixelRect r = outerRectOf(IDC_LIGHT_PAD);
        // Along the stick, which runs from (48, 40) to (61, 41) of the pad,
        // up to the marker drawn over its end.
        int found = 0;
        for (int x = r.left + 48; x < r.left + 58; ++x)
            found += c.at(x, r.top + 40) == k.colour || c.at(x, r.top + 41) == k.colour;
        EXPECT_EQ(found, 10) << k.colour;
    }
}

TEST(Drawing, ToggleImagesComeFromTheirBitmaps)
{
    const int bitmaps[4] = {148, 150, 149, 151};
    for (int image = 0; image < 4; ++image) {
        Canvas c;
        drawToggle(nullptr, c.dc, IDC_AUTO_PREVIEW, image);
        PixelRect r = outerRectOf(IDC_AUTO_PREVIEW);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                ASSERT_EQ(c.at(r.left + 1 + x, r.top + 3 + y), bitmapPixel(bitmaps[image], x, y)) << image;
    }
}
