#include "ui/Layout.h"

namespace {

struct LayoutRow {
    int16_t id;
    int16_t left, top, width, height;
};

// Table rectangles: left, top, width, height. Slider rows are label, track,
// number field.
const LayoutRow kLayout[] = {
    {0, 0, 0, clientWidth, clientHeight},
    {97, 85, 22, 33, 16},    {98, 126, 22, 138, 18},   {99, 270, 22, 33, 12},     // Puffs
    {36, 85, 48, 33, 16},    {37, 126, 48, 138, 18},   {86, 270, 48, 33, 12},     // Lump scale
    {54, 85, 75, 33, 16},    {55, 126, 75, 138, 18},   {90, 270, 75, 33, 12},     // Flatness
    {56, 85, 102, 33, 16},   {57, 126, 103, 138, 18},  {91, 270, 103, 33, 12},    // Density
    {58, 85, 130, 33, 16},   {59, 126, 130, 138, 18},  {92, 270, 130, 33, 12},    // Lumpiness
    {62, 85, 157, 33, 16},   {63, 126, 157, 138, 18},  {94, 270, 157, 33, 12},    // Detail
    {50, 85, 184, 33, 16},   {51, 126, 184, 138, 18},  {83, 270, 184, 33, 12},    // Dispersion
    {42, 87, 247, 33, 17},   {7, 128, 243, 20, 20},                               // Cloud color
    {44, 205, 247, 33, 17},  {20, 243, 243, 20, 20},                              // Sky color
    {102, 87, 277, 33, 16},  {103, 128, 277, 138, 18}, {104, 272, 277, 33, 12},   // Sky light
    {64, 87, 304, 33, 16},   {65, 128, 304, 138, 18},  {81, 272, 304, 33, 12},    // Brightness
    {60, 87, 331, 33, 16},   {61, 128, 331, 138, 18},  {93, 272, 331, 33, 12},    // Smokiness
    {22, 87, 360, 33, 16},   {12, 128, 360, 138, 18},  {79, 272, 360, 33, 12},    // Harshness
    {38, 87, 388, 33, 16},   {39, 128, 388, 138, 18},  {85, 272, 388, 33, 12},    // Mottling
    {68, 88, 461, 33, 16},   {69, 129, 461, 138, 18},  {95, 273, 461, 33, 12},    // Zoom
    {25, 20, 519, 32, 32},                                                        // about icon
    {72, 125, 521, 63, 25},  {75, 229, 521, 62, 25},                              // Dice, Ecce
    {18, 342, 5, 437, 325},                                                       // preview
    {33, 475, 339, 14, 15},  {34, 495, 338, 40, 17},   {32, 541, 339, 14, 15},    // -, %, +
    {30, 577, 339, 14, 14},  {31, 596, 342, 65, 14},                              // Auto preview
    {76, 342, 363, 436, 18},                                                      // status line
    {74, 339, 400, 60, 25},  {17, 339, 440, 60, 25},                              // Undo, Clouds
    {35, 339, 480, 60, 25},  {26, 339, 520, 60, 25},                              // Load, Save
    {101, 518, 388, 79, 85},                                                      // light pad
    {105, 521, 477, 14, 14}, {106, 542, 478, 62, 16},                             // Backlighting
    {2, 521, 521, 80, 25},   {3, 698, 521, 80, 25},                               // Cancel, OK
};

// Every other id of the template is parked out of sight below the client area.
const PixelRect kParked = {0, 600, 10, 610};

// The owner-drawn buttons, the system's OK button and the about picture have
// no border; every other child of the template is a sunken placeholder.
const int16_t kBorderless[] = {2, 3, 7, 17, 20, 25, 26, 29, 32, 33, 34, 35, 72, 74, 75};

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

PixelRect outerRectOf(int id)
{
    PixelRect r = layoutRect(id);
    if (hasSunkenBorder(id)) {
        r.right += 2;
        r.bottom += 2;
    }
    return r;
}
