#include "ui/Layout.h"

namespace {

struct LayoutRow {
    int16_t id;
    int16_t left, top, width, height;
};

// Table rectangles: left, top, width, height. Entry 0 is the client area.
const LayoutRow kLayout[] = {
    {0, 0, 0, clientWidth, clientHeight},
    {IDC_PUFFS_LABEL, 85, 22, 33, 16},
    {IDC_PUFFS_TRACK, 126, 22, 138, 18},
    {IDC_PUFFS_VALUE, 270, 22, 33, 12},
    {IDC_LUMP_SCALE_LABEL, 85, 48, 33, 16},
    {IDC_LUMP_SCALE_TRACK, 126, 48, 138, 18},
    {IDC_LUMP_SCALE_VALUE, 270, 48, 33, 12},
    {IDC_FLATNESS_LABEL, 85, 75, 33, 16},
    {IDC_FLATNESS_TRACK, 126, 75, 138, 18},
    {IDC_FLATNESS_VALUE, 270, 75, 33, 12},
    {IDC_DENSITY_LABEL, 85, 102, 33, 16},
    {IDC_DENSITY_TRACK, 126, 103, 138, 18},
    {IDC_DENSITY_VALUE, 270, 103, 33, 12},
    {IDC_LUMPINESS_LABEL, 85, 130, 33, 16},
    {IDC_LUMPINESS_TRACK, 126, 130, 138, 18},
    {IDC_LUMPINESS_VALUE, 270, 130, 33, 12},
    {IDC_DETAIL_LABEL, 85, 157, 33, 16},
    {IDC_DETAIL_TRACK, 126, 157, 138, 18},
    {IDC_DETAIL_VALUE, 270, 157, 33, 12},
    {IDC_DISPERSION_LABEL, 85, 184, 33, 16},
    {IDC_DISPERSION_TRACK, 126, 184, 138, 18},
    {IDC_DISPERSION_VALUE, 270, 184, 33, 12},
    {IDC_CLOUD_COLOUR_LABEL, 87, 247, 33, 17},
    {IDC_CLOUD_COLOUR, 128, 243, 20, 20},
    {IDC_SKY_COLOUR_LABEL, 205, 247, 33, 17},
    {IDC_SKY_COLOUR, 243, 243, 20, 20},
    {IDC_SKY_LIGHT_LABEL, 87, 277, 33, 16},
    {IDC_SKY_LIGHT_TRACK, 128, 277, 138, 18},
    {IDC_SKY_LIGHT_VALUE, 272, 277, 33, 12},
    {IDC_BRIGHTNESS_LABEL, 87, 304, 33, 16},
    {IDC_BRIGHTNESS_TRACK, 128, 304, 138, 18},
    {IDC_BRIGHTNESS_VALUE, 272, 304, 33, 12},
    {IDC_SMOKINESS_LABEL, 87, 331, 33, 16},
    {IDC_SMOKINESS_TRACK, 128, 331, 138, 18},
    {IDC_SMOKINESS_VALUE, 272, 331, 33, 12},
    {IDC_HARSHNESS_LABEL, 87, 360, 33, 16},
    {IDC_HARSHNESS_TRACK, 128, 360, 138, 18},
    {IDC_HARSHNESS_VALUE, 272, 360, 33, 12},
    {IDC_MOTTLING_LABEL, 87, 388, 33, 16},
    {IDC_MOTTLING_TRACK, 128, 388, 138, 18},
    {IDC_MOTTLING_VALUE, 272, 388, 33, 12},
    {IDC_ZOOM_LABEL, 88, 461, 33, 16},
    {IDC_ZOOM_TRACK, 129, 461, 138, 18},
    {IDC_ZOOM_VALUE, 273, 461, 33, 12},
    {IDC_SEAMLESS_LABEL, 88, 487, 33, 16},
    {IDC_SEAMLESS, 129, 484, 94, 16},
    {IDC_ABOUT, 20, 519, 32, 32},
    {IDC_DICE, 125, 521, 63, 25},
    {IDC_ECCE, 229, 521, 62, 25},
    {IDC_PREVIEW, 342, 5, 437, 325},
    {IDC_ZOOM_OUT, 475, 339, 14, 15},
    {IDC_ZOOM_READOUT, 495, 338, 40, 17},
    {IDC_ZOOM_IN, 541, 339, 14, 15},
    {IDC_AUTO_PREVIEW, 577, 339, 14, 14},
    {IDC_AUTO_PREVIEW_LABEL, 596, 342, 65, 14},
    {IDC_STATUS_LINE, 342, 363, 436, 18},
    {IDC_UNDO, 339, 400, 60, 25},
    {IDC_CLOUDS, 339, 440, 60, 25},
    {IDC_LOAD, 339, 480, 60, 25},
    {IDC_SAVE, 339, 520, 60, 25},
    {IDC_LIGHT_PAD, 518, 388, 79, 85},
    {IDC_BACKLIGHTING, 521, 477, 14, 14},
    {IDC_BACKLIGHTING_LABEL, 542, 478, 62, 16},
    {IDC_CANCEL, 521, 521, 80, 25},
    {IDC_OK, 698, 521, 80, 25},
};

// Every other id of the template is parked out of sight below the client area.
const PixelRect kParked = {0, 600, 10, 610};

// The owner-drawn buttons, the system's OK button and the about picture have
// no border; every other child of the template is a sunken placeholder.
const int16_t kBorderless[] = {
    IDC_CANCEL,  IDC_OK,       IDC_CLOUD_COLOUR, IDC_CLOUDS, IDC_SKY_COLOUR, IDC_ABOUT, IDC_SAVE, IDC_SPARE_COLOUR,
    IDC_ZOOM_IN, IDC_ZOOM_OUT, IDC_ZOOM_READOUT, IDC_LOAD,   IDC_DICE,       IDC_UNDO,  IDC_ECCE,
};

}  // namespace

PixelRect layoutRect(int id)
{
    if (id < 0 || id >= layoutCount) return PixelRect{0, 0, 0, 0};
    for (const LayoutRow& row : kLayout)
        if (row.id == id) return PixelRect{row.left, row.top, row.left + row.width, row.top + row.height};
    return kParked;
}

bool layoutVisible(int id)
{
    PixelRect r = layoutRect(id);
    return id > 0 && r.right > r.left && r.bottom <= clientHeight;
}

bool hasSunkenBorder(int id)
{
    if (id <= 0 || id >= layoutCount) return false;
    for (int16_t borderless : kBorderless)
        if (borderless == id) return false;
    return true;
}

PixelRect outerRectOf(int id, int dpi)
{
    PixelRect r = layoutRect(id);
    if (hasSunkenBorder(id)) {
        r.right += 2;
        r.bottom += 2;
    }
    return scaledRect(r, dpi);
}

PixelRect scaledRect(const PixelRect& r, int dpi)
{
    return PixelRect{scaledLength(r.left, dpi), scaledLength(r.top, dpi), scaledLength(r.right, dpi),
                     scaledLength(r.bottom, dpi)};
}

int dpiThatFits(int dpi, int workWidth, int workHeight, int frameWidth, int frameHeight)
{
    for (; dpi > baseDpi; --dpi)
        if (scaledLength(clientWidth, dpi) + frameWidth <= workWidth &&
            scaledLength(clientHeight, dpi) + frameHeight <= workHeight)
            break;
    return dpi < baseDpi ? baseDpi : dpi;
}
