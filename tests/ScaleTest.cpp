// The dialog at every screen scale, without a window: the layout, the hit
// tests, the sliders and the labels at each DPI, and the dialog clamped to
// real screens.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "ui/ControlTable.h"
#include "ui/Layout.h"
#include "ui/SliderGeometry.h"
#include "ui/TextLayout.h"
#ifndef _WIN32
#include "resources/artwork/Artwork.h"
#endif

namespace {

const int kDpis[] = {96, 120, 144, 168, 192, 240, 288};

bool answersPresses(int id)
{
    int kind = controlKind(id);
    return id == IDC_PREVIEW || kind == SliderTrack || kind == CheckToggle || kind == DirectionPad || kind == ClickIcon;
}

// The frame a dialog window with a caption adds at `dpi`, as large as the
// systems' (Windows 10 and Wine) or larger.
int frameWidth(int dpi) { return scaledLength(8, dpi); }
int frameHeight(int dpi) { return scaledLength(32, dpi); }

}  // namespace

TEST(Scale, EveryControlInPlaceAtEveryDpi)
{
    for (int dpi : kDpis) {
        const PixelRect client = outerRectOf(0, dpi);
        EXPECT_EQ(widthOf(client), scaledLength(clientWidth, dpi)) << dpi;
        for (int a = 1; a < layoutCount; ++a) {
            if (!layoutVisible(a)) continue;
            const PixelRect ra = outerRectOf(a, dpi), a96 = outerRectOf(a);
            EXPECT_TRUE(ra.left >= 0 && ra.top >= 0 && ra.right <= client.right && ra.bottom <= client.bottom)
                << a << " at " << dpi;
            // Each edge within half a pixel of the exact scale, so every gap within one pixel.
            const double s = dpi / 96.0;
            EXPECT_LE(std::fabs(ra.left - a96.left * s), 0.5) << a << " at " << dpi;
            EXPECT_LE(std::fabs(ra.bottom - a96.bottom * s), 0.5) << a << " at " << dpi;
            for (int b = a + 1; b < layoutCount; ++b) {
                if (!layoutVisible(b)) continue;
                EXPECT_EQ(rectsOverlap(ra, outerRectOf(b, dpi)), rectsOverlap(a96, outerRectOf(b)))
                    << a << " and " << b << " at " << dpi;
            }
            // A control that answers presses is found at its centre: the press
            // goes to the first such control, in id order, under the pointer.
            if (!answersPresses(a)) continue;
            const int x = (ra.left + ra.right) / 2, y = (ra.top + ra.bottom) / 2;
            int hit = -1;
            for (int id = 0; id < controlCount && hit < 0; ++id)
                if (answersPresses(id) && pixelInRect(x, y, outerRectOf(id, dpi))) hit = id;
            EXPECT_EQ(hit, a) << "at " << dpi;
        }
    }
}

TEST(Scale, SlidersGiveTheSameValuesAtEveryDpi)
{
    for (int dpi : kDpis) {
        const PixelRect track = outerRectOf(IDC_DENSITY_TRACK, dpi);
        std::set<int> values;
        int last = -1;
        for (int x = track.left - 40; x < track.right + 40; ++x) {
            int v = sliderValueAt(track, x - scaledLength(knobHold, dpi), 0, 100, dpi);
            EXPECT_GE(v, last) << "at " << dpi;  // never backwards
            last = v;
            values.insert(v);
        }
        EXPECT_EQ(values.size(), 101u) << "every value 0 to 100, and only those, at " << dpi;
        // The knob stays on its track at both ends.
        EXPECT_GE(knobLeft(track, 0, 0, 100, dpi), track.left) << dpi;
        EXPECT_LE(knobLeft(track, 100, 0, 100, dpi) + scaledLength(12, dpi), track.right) << dpi;
    }
}

TEST(Scale, TheDialogFitsRealScreens)
{
    const struct {
        int width, height, dpi;
    } screens[] = {
        {1366, 768, 120},  {1920, 1080, 144}, {1920, 1080, 168}, {2560, 1600, 192},
        {3840, 2160, 192}, {3840, 2160, 240}, {3840, 2160, 288},
    };
    for (const auto& screen : screens) {
        // The work area: the screen less a taskbar of 40 pixels at 96 DPI.
        const int workWidth = screen.width, workHeight = screen.height - scaledLength(40, screen.dpi);
        int dpi = dpiThatFits(screen.dpi, workWidth, workHeight, frameWidth(screen.dpi), frameHeight(screen.dpi));
        EXPECT_LE(dpi, screen.dpi);
        EXPECT_LE(scaledLength(clientWidth, dpi) + frameWidth(screen.dpi), workWidth) << screen.width;
        EXPECT_LE(scaledLength(clientHeight, dpi) + frameHeight(screen.dpi), workHeight) << screen.width;
        if (dpi < screen.dpi) {  // clamped no further than needed
            EXPECT_GT(scaledLength(clientHeight, dpi + 1) + frameHeight(screen.dpi), workHeight) << screen.width;
        }
    }
    EXPECT_EQ(dpiThatFits(144, 1920, 1040, 9, 47), 144);  // full size where it fits
    EXPECT_EQ(dpiThatFits(192, 640, 480, 8, 32), 96);     // never below the 96-DPI layout
}

#ifndef _WIN32
TEST(Scale, LabelsStayClearOfTheirNeighboursAtEveryDpi)
{
    // Measured with Liberation Sans, the face with Arial's widths that the
    // dialog's "Arial" is drawn with where Arial is missing, plus a pixel for
    // the system's rounding of each letter.
    ArtworkFonts fonts;
    ASSERT_TRUE(fonts.regular.load(std::string(defaultFontFolder) + "/LiberationSans-Regular.ttf"));
    for (int dpi : kDpis) {
        const PixelRect client = outerRectOf(0, dpi);
        for (int id = 1; id < layoutCount; ++id) {
            if (controlKind(id) != Label || !layoutVisible(id) || id == IDC_STATUS_LINE) continue;
            const char* text = controlName(lookupControl(id).nameIndex);
            const int width = int(std::ceil(textWidth(fonts.regular, float(dialogFontPixels(dpi)), text))) + 1;
            const PixelRect r = outerRectOf(id, dpi);
            TextPoint at = textOrigin(r, labelTextAlignment(lookupControl(id).low), -2, width, dpi);
            const PixelRect drawn = {at.x, at.y, at.x + width, at.y + dialogFontPixels(dpi)};
            EXPECT_TRUE(drawn.left >= 0 && drawn.right <= client.right) << text << " at " << dpi;
            for (int other = 1; other < layoutCount; ++other) {
                if (other == id || !layoutVisible(other) || controlKind(other) == Label) continue;
                EXPECT_FALSE(rectsOverlap(drawn, outerRectOf(other, dpi))) << text << " on " << other << " at " << dpi;
            }
        }
    }
}
#endif
