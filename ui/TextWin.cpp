#include "ui/Text.h"

#include <cstring>

#include "ui/ControlTable.h"
#include "ui/GdiScope.h"
#include "ui/Resources.h"

HFONT createDialogFont()
{
    return CreateFontA(-MulDiv(8, 96, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, "Arial");
}

void drawText(const PixelRect& rect, TextAlignment alignment, const char* text, int dy, COLORREF colour, HDC dc)
{
    if (!dc || !text) return;
    SavedDC saved(dc);  // colour, background mode and font come back
    GdiObject<HFONT> font(createDialogFont());
    Selection selected(dc, font.get());
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    int length = int(std::strlen(text));
    SIZE extent = {0, 0};
    GetTextExtentPoint32A(dc, text, length, &extent);
    TextPoint at = textOrigin(rect, alignment, dy, extent.cx);
    TextOutA(dc, at.x, at.y, text, length);
}

void drawControlText(HWND dialog, int id, TextAlignment alignment, const char* text, int dy, COLORREF colour, bool clip)
{
    WindowDC dc(dialog);
    if (!dc.get()) return;
    PixelRect r = controlRect(dialog, id);
    SavedDC saved(dc.get());
    if (clip) IntersectClipRect(dc.get(), r.left, r.top, r.right, r.bottom);
    drawText(r, alignment, text, dy, colour, dc.get());
}

void drawLabel(HWND dialog, HDC dc, int id)
{
    TextAlignment alignment = labelTextAlignment(lookupControl(id).low);
    drawText(controlRect(dialog, id), alignment, controlName(controlNameIndex[id]), -2, RGB(0, 0, 0), dc);
}

void drawStatusLine(HWND dialog, HDC dc, const char* presetName)
{
    PixelRect r = controlRect(dialog, IDC_STATUS_LINE);
    {
        SavedDC saved(dc);
        IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
        drawBitmap(dc, IDB_PAGE, 0, 0);  // only the status area is restored
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
    SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
