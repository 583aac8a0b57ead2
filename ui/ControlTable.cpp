#include "ui/ControlTable.h"

#include "settings/ControlBinding.h"

namespace {

struct SliderRow {
    int16_t track, value;
    int32_t bitmap;
};

// Slider pairs: track id, number-field id, track artwork. Range 0 to 100.
const SliderRow kSliders[] = {
    {98, 99, 102}, {37, 86, 102},  {55, 90, 102}, {57, 91, 102}, {59, 92, 102}, {63, 94, 102}, {51, 83, 102},
    {103, 104, 101}, {65, 81, 101}, {61, 93, 101}, {12, 79, 101}, {39, 85, 101}, {69, 95, 102},
};

struct ButtonRow {
    int16_t id;
    int32_t kind;
    int32_t bitmap[4];
};

// Bitmap buttons, then the two toggles (their bitmaps by value: off, off
// pressed, on, on pressed).
const ButtonRow kButtons[] = {
    {72, BitmapButton, {241, -1, -1, -1}},  // Dice
    {75, BitmapButton, {111, -1, -1, -1}},  // Ecce
    {74, BitmapButton, {152, -1, -1, -1}},  // Undo
    {17, BitmapButton, {153, -1, -1, -1}},  // Clouds
    {35, BitmapButton, {240, -1, -1, -1}},  // Load
    {26, BitmapButton, {154, -1, -1, -1}},  // Save
    {30, CheckToggle, {148, 149, 150, 151}},  // Auto preview
    {105, CheckToggle, {148, 149, 150, 151}}, // Backlighting
};

struct LabelRow {
    int16_t id;
    int32_t nameIndex, alignment;
};

const LabelRow kLabels[] = {
    {97, 7, alignRight},   {36, 11, alignRight}, {54, 27, alignRight}, {56, 28, alignRight}, {58, 18, alignRight},
    {62, 22, alignRight},  {50, 17, alignRight}, {42, 13, alignRight}, {44, 14, alignRight}, {102, 6, alignRight},
    {64, 23, alignRight},  {60, 19, alignRight}, {22, 9, alignRight},  {38, 12, alignRight}, {68, 25, alignRight},
    {31, 2, alignLeft},    {106, 20, alignLeft}, {40, 44, alignCentre}, {76, -1, alignRight},
};

const char* const kNames[] = {
    nullptr, "E", "Auto preview", "u1", "u2", "u3", "Sky light", "Puffs", "u5", "Harshness", "u6", "Lump scale",
    "Mottling", "Cloud color", "Sky color", "u9", "u10", "Dispersion", "Lumpiness", "Smokiness", "Backlighting",
    "u12", "Detail", "Brightness", "u13", "Zoom", "u15", "Flatness", "Density", "Nimbulo(1)", "Nimbulo(2)",
    "An error occurred while translating a document on a locked disk.",
    "An error occurred while translating a document.", "random settings", "plain cloud", "u17", "u18", "u19",
    "u20", "u21", "u23", "u24", "u25", "u26", "u27",
};
const int kNameCount = int(sizeof kNames / sizeof kNames[0]);

ControlInfo absentControl() { return ControlInfo{-1, -1, kindNone, {-1, -1, -1, -1}, 0, 0, 100}; }

}  // namespace

ControlInfo lookupControl(int id)
{
    ControlInfo info = absentControl();
    if (id < 0) return info;
    for (const SliderRow& s : kSliders)
        if (id == s.track || id == s.value) return ControlInfo{s.value, s.track, SliderTrack, {s.bitmap, -1, -1, -1}, -1, 0, 100};
    for (const ButtonRow& b : kButtons)
        if (id == b.id)
            return ControlInfo{-1, b.id, b.kind, {b.bitmap[0], b.bitmap[1], b.bitmap[2], b.bitmap[3]}, 0, 0, 100};
    for (const LabelRow& l : kLabels)
        if (id == l.id) return ControlInfo{-1, -1, Label, {-1, -1, -1, -1}, l.nameIndex, l.alignment, 100};
    if (id == 7) return ControlInfo{-1, -1, ColourButton, {-1, -1, -1, -1}, 35, 0, 100};  // cloud colour
    if (id == 20) return ControlInfo{-1, -1, ColourButton, {-1, -1, -1, -1}, 41, 0, 100}; // sky colour
    if (id == 101) return ControlInfo{-1, 101, DirectionPad, {178, 122, -1, -1}, 0, 0, 100};
    if (id == 25) return ControlInfo{-1, 25, ClickIcon, {-1, -1, -1, -1}, 0, 0, 100};  // about
    return info;
}

int controlKind(int id)
{
    ControlInfo info = lookupControl(id);
    if (info.kind == SliderTrack && id != info.trackId && id == info.valueId) return SliderValue;
    return info.kind;
}

const char* controlName(int index)
{
    if (index <= 0 || index >= kNameCount) return "-undef string-";
    return kNames[index];
}

int32_t controlBitmap[controlCount][4];
int32_t controlNameIndex[controlCount];

void fillControlArrays()
{
    for (int id = 0; id < controlCount; ++id) {
        ControlInfo info = lookupControl(id);
        for (int k = 0; k < 4; ++k) controlBitmap[id][k] = info.bitmap[k];
        controlNameIndex[id] = info.nameIndex;
    }
    for (int id = 0; id < controlCount; ++id) {
        ControlInfo info = lookupControl(id);
        bool track = controlKind(id) == SliderTrack;
        controlLow[id] = track ? info.low : 0;
        controlHigh[id] = track ? info.high : 0;
    }
}
