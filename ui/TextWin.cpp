#include "ui/Text.h"

#include <cstring>

#include "ui/ControlTable.h"
#include "ui/DialogWindow.h"
#include "ui/Dpi.h"
#include "ui/GdiScope.h"
#include "ui/Resources.h"

HFONT createDialogFont(int dpi)
{
    return CreateFontA(-dialogFontPixels(dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, "Arial");
}

HFONT createTemplateFont(int dpi)
{
    return CreateFontA(-dialogFontPixels(dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif");
}

void drawText(const PixelRect& rect, TextAlignment alignment, const char* text, int dy, COLORREF colour, HDC dc,
              int dpi)
{
    if (!dc || !text) return;
    SavedDC saved(dc);  // colour, background mode and font come back
    GdiObject<HFONT> font(createDialogFont(dpi));
    Selection selected(dc, font.get());
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    int length = int(std::strlen(text));
    SIZE extent = {0, 0};
    GetTextExtentPoint32A(dc, text, length, &extent);
    TextPoint at = textOrigin(rect, alignment, dy, extent.cx, dpi);
    TextOutA(dc, at.x, at.y, text, length);
}

void drawControlText(HWND dialog, int id, TextAlignment alignment, const char* text, int dy, COLORREF colour, bool clip)
{
    WindowDC dc(dialog);
    if (!dc.get()) return;
    PixelRect r = controlRect(dialog, id);
    SavedDC saved(dc.get());
    if (clip) IntersectClipRect(dc.get(), r.left, r.top, r.right, r.bottom);
    drawText(r, alignment, text, dy, colour, dc.get(), dialogDpi(dialog));
}

void drawLabel(HWND dialog, HDC dc, int id)
{
    TextAlignment alignment = labelTextAlignment(lookupControl(id).low);
    drawText(controlRect(dialog, id), alignment, controlName(controlNameIndex[id]), -2, RGB(0, 0, 0), dc,
             dialogDpi(dialog));
}

void drawStatusLine(HWND dialog, HDC dc, const char* presetName)
{
    PixelRect r = controlRect(dialog, IDC_STATUS_LINE);
    {
        SavedDC saved(dc);
        IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
        drawBitmap(dialog, dc, IDB_PAGE, 0, 0);  // only the status area is restored
    }
    drawControlText(dialog, IDC_STATUS_LINE, textCentred, presetName, -2, RGB(0, 0, 0), true);
}

void centreWindow(HWND window)
{
    HWND reference = GetWindow(window, GW_OWNER);
    if (!reference) reference = GetParent(window);
    if (!reference) reference = GetDesktopWindow();
    RECT client;
    GetClientRect(reference, &client);
    MapWindowPoints(reference, nullptr, reinterpret_cast<POINT*>(&client), 2);
    RECT own;
    GetWindowRect(window, &own);
    bool systemMenu = (GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU) != 0;
    TextPoint at = centredWindowPosition(PixelRect{client.left, client.top, client.right, client.bottom},
                                         own.right - own.left, own.bottom - own.top, GetSystemMetrics(SM_CXSCREEN),
                                         GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CXSIZE), systemMenu);
    // A large dialog on a scaled screen stays inside its monitor's work area.
    RECT work = workAreaOf(window);
    int w = own.right - own.left, h = own.bottom - own.top;
    if (at.x + w > work.right) at.x = work.right - w;
    if (at.y + h > work.bottom) at.y = work.bottom - h;
    if (at.x < work.left) at.x = work.left;
    if (at.y < work.top) at.y = work.top;
    SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
