#include "ui/TextLayout.h"

#include "ui/ControlTable.h"

TextPoint textOrigin(const PixelRect& rect, TextAlignment alignment, int dy, int textWidth, int dpi)
{
    int top = rect.top, bottom = rect.bottom - scaledLength(2, dpi);
    top += scaledLength(dy, dpi);
    bottom += scaledLength(dy, dpi);
    int shift = ((bottom - top) - scaledLength(14, dpi)) / 2;
    top += shift;
    int slack = widthOf(rect) - textWidth;
    int left = rect.left;
    if (alignment == textRight) left += slack;
    if (alignment == textCentred) left += slack / 2;
    return TextPoint{left, top};
}

TextAlignment labelTextAlignment(int labelAlignment)
{
    switch (labelAlignment) {
    case alignLeft: return textLeft;
    case alignCentre: return textCentred;
    default: return textRight;
    }
}

TextPoint centredWindowPosition(const PixelRect& reference, int w, int h, int screenWidth, int screenHeight,
                                int captionButtonWidth, bool hasSystemMenu)
{
    int k = captionButtonWidth;
    if (!hasSystemMenu) k -= k / 3;
    int pw = widthOf(reference), ph = heightOf(reference);
    int x = reference.left + (pw - w > 0 ? pw - w : 0) / 2 - k;
    if (x + w > screenWidth) x = screenWidth - w > 0 ? screenWidth - w : 0;
    int y = reference.top + (ph - h > 0 ? ph - h : 0) / 3;
    if (y + h > screenHeight) y = screenHeight - h > 0 ? screenHeight - h : 0;
    return TextPoint{x, y};
}

int dialogFontPixels(int dpi) { return int((8LL * dpi + 36) / 72); }
