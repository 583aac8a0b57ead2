// Where the dialog's text and windows go: the arithmetic of text placement in
// a control's rectangle and of centring a window over its owner.
#pragma once

#include "ui/Layout.h"

enum TextAlignment { textLeft = 0, textCentred = 1, textRight = 2 };

struct TextPoint {
    int x, y;
};

// The top-left corner of a single line `textWidth` wide in `rect`: 2 pixels
// up from the bottom, moved by dy, centred on a 14-pixel line, then aligned
// by the horizontal slack (negative when the text is wider than the rectangle).
// The 2, dy and 14 are 96-DPI pixels, scaled to `dpi`.
TextPoint textOrigin(const PixelRect& rect, TextAlignment alignment, int dy, int textWidth, int dpi = baseDpi);

// The dialog font's height in pixels at `dpi`: 8 points.
int dialogFontPixels(int dpi);

// The alignment a label's table entry asks for, as a text alignment.
TextAlignment labelTextAlignment(int labelAlignment);

// Where a window of w x h goes over its reference's client area: centred a
// little left of the middle (one caption button, two thirds of it without a
// system menu) and a third of the way down, kept on a screen of the given size.
TextPoint centredWindowPosition(const PixelRect& reference, int w, int h, int screenWidth, int screenHeight,
                                int captionButtonWidth, bool hasSystemMenu);
