#include "ui/ControlTable.h"

#include "settings/ControlBinding.h"

namespace {

struct SliderRow {
    int16_t track, value;
    int32_t bitmap;
};

// Slider pairs: track id, number-field id, track artwork. Range 0 to 100.
const SliderRow kSliders[] = {
    {IDC_PUFFS_TRACK, IDC_PUFFS_VALUE, IDB_TRACK_SHAPE},
    {IDC_LUMP_SCALE_TRACK, IDC_LUMP_SCALE_VALUE, IDB_TRACK_SHAPE},
    {IDC_FLATNESS_TRACK, IDC_FLATNESS_VALUE, IDB_TRACK_SHAPE},
    {IDC_DENSITY_TRACK, IDC_DENSITY_VALUE, IDB_TRACK_SHAPE},
    {IDC_LUMPINESS_TRACK, IDC_LUMPINESS_VALUE, IDB_TRACK_SHAPE},
    {IDC_DETAIL_TRACK, IDC_DETAIL_VALUE, IDB_TRACK_SHAPE},
    {IDC_DISPERSION_TRACK, IDC_DISPERSION_VALUE, IDB_TRACK_SHAPE},
    {IDC_SKY_LIGHT_TRACK, IDC_SKY_LIGHT_VALUE, IDB_TRACK_LIGHT},
    {IDC_BRIGHTNESS_TRACK, IDC_BRIGHTNESS_VALUE, IDB_TRACK_LIGHT},
    {IDC_SMOKINESS_TRACK, IDC_SMOKINESS_VALUE, IDB_TRACK_LIGHT},
    {IDC_HARSHNESS_TRACK, IDC_HARSHNESS_VALUE, IDB_TRACK_LIGHT},
    {IDC_MOTTLING_TRACK, IDC_MOTTLING_VALUE, IDB_TRACK_LIGHT},
    {IDC_ZOOM_TRACK, IDC_ZOOM_VALUE, IDB_TRACK_SHAPE},
};

struct ButtonRow {
    int16_t id;
    int32_t kind;
    int32_t bitmap[4];
};

// Bitmap buttons, then the two toggles (their bitmaps by value: off, off
// pressed, on, on pressed), then the seamless strip (its picture with each
// segment chosen, by wrap mode).
const ButtonRow kButtons[] = {
    {IDC_DICE, BitmapButton, {IDB_BUTTON_DICE, -1, -1, -1}},
    {IDC_ECCE, BitmapButton, {IDB_BUTTON_ECCE, -1, -1, -1}},
    {IDC_UNDO, BitmapButton, {IDB_BUTTON_UNDO, -1, -1, -1}},
    {IDC_CLOUDS, BitmapButton, {IDB_BUTTON_CLOUDS, -1, -1, -1}},
    {IDC_LOAD, BitmapButton, {IDB_BUTTON_LOAD, -1, -1, -1}},
    {IDC_SAVE, BitmapButton, {IDB_BUTTON_SAVE, -1, -1, -1}},
    {IDC_AUTO_PREVIEW, CheckToggle, {IDB_TOGGLE_OFF, IDB_TOGGLE_OFF_PRESSED, IDB_TOGGLE_ON, IDB_TOGGLE_ON_PRESSED}},
    {IDC_BACKLIGHTING, CheckToggle, {IDB_TOGGLE_OFF, IDB_TOGGLE_OFF_PRESSED, IDB_TOGGLE_ON, IDB_TOGGLE_ON_PRESSED}},
    {IDC_SEAMLESS, ChoiceStrip, {IDB_SEAMLESS_OFF, IDB_SEAMLESS_ACROSS, IDB_SEAMLESS_BOTH, -1}},
};

struct LabelRow {
    int16_t id;
    int32_t nameIndex, alignment;
};

const LabelRow kLabels[] = {
    {IDC_PUFFS_LABEL, NAME_PUFFS, alignRight},
    {IDC_LUMP_SCALE_LABEL, NAME_LUMP_SCALE, alignRight},
    {IDC_FLATNESS_LABEL, NAME_FLATNESS, alignRight},
    {IDC_DENSITY_LABEL, NAME_DENSITY, alignRight},
    {IDC_LUMPINESS_LABEL, NAME_LUMPINESS, alignRight},
    {IDC_DETAIL_LABEL, NAME_DETAIL, alignRight},
    {IDC_DISPERSION_LABEL, NAME_DISPERSION, alignRight},
    {IDC_CLOUD_COLOUR_LABEL, NAME_CLOUD_COLOR, alignRight},
    {IDC_SKY_COLOUR_LABEL, NAME_SKY_COLOR, alignRight},
    {IDC_SKY_LIGHT_LABEL, NAME_SKY_LIGHT, alignRight},
    {IDC_BRIGHTNESS_LABEL, NAME_BRIGHTNESS, alignRight},
    {IDC_SMOKINESS_LABEL, NAME_SMOKINESS, alignRight},
    {IDC_HARSHNESS_LABEL, NAME_HARSHNESS, alignRight},
    {IDC_MOTTLING_LABEL, NAME_MOTTLING, alignRight},
    {IDC_ZOOM_LABEL, NAME_ZOOM, alignRight},
    {IDC_SEAMLESS_LABEL, NAME_SEAMLESS, alignRight},
    {IDC_AUTO_PREVIEW_LABEL, NAME_AUTO_PREVIEW, alignLeft},
    {IDC_BACKLIGHTING_LABEL, NAME_BACKLIGHTING, alignLeft},
    {IDC_HIDDEN_LABEL, NAME_HIDDEN_LABEL, alignCentre},
    {IDC_STATUS_LINE, NAME_NONE, alignRight},
};

// The label texts, each row at the index it names: the check below fails the
// build when a row is out of place, so a text can never be shown for another id.
struct NameRow {
    int index;
    const char* text;
};
// clang-format off
constexpr NameRow kNames[] = {
    {0, nullptr},
    {1, "E"},
    {NAME_AUTO_PREVIEW, "Auto preview"},
    {3, "u1"},
    {4, "u2"},
    {5, "u3"},
    {NAME_SKY_LIGHT, "Sky light"},
    {NAME_PUFFS, "Puffs"},
    {8, "u5"},
    {NAME_HARSHNESS, "Harshness"},
    {10, "u6"},
    {NAME_LUMP_SCALE, "Lump scale"},
    {NAME_MOTTLING, "Mottling"},
    {NAME_CLOUD_COLOR, "Cloud color"},
    {NAME_SKY_COLOR, "Sky color"},
    {15, "u9"},
    {16, "u10"},
    {NAME_DISPERSION, "Dispersion"},
    {NAME_LUMPINESS, "Lumpiness"},
    {NAME_SMOKINESS, "Smokiness"},
    {NAME_BACKLIGHTING, "Backlighting"},
    {21, "u12"},
    {NAME_DETAIL, "Detail"},
    {NAME_BRIGHTNESS, "Brightness"},
    {24, "u13"},
    {NAME_ZOOM, "Zoom"},
    {26, "u15"},
    {NAME_FLATNESS, "Flatness"},
    {NAME_DENSITY, "Density"},
    {29, "Nimbulo(1)"},
    {30, "Nimbulo(2)"},
    {31, "An error occurred while translating a document on a locked disk."},
    {32, "An error occurred while translating a document."},
    {NAME_RANDOM_SETTINGS, "random settings"},
    {NAME_PLAIN_CLOUD, "plain cloud"},
    {NAME_CLOUD_COLOUR_PROMPT, "u17"},
    {36, "u18"},
    {37, "u19"},
    {38, "u20"},
    {39, "u21"},
    {40, "u23"},
    {NAME_SKY_COLOUR_PROMPT, "u24"},
    {42, "u25"},
    {43, "u26"},
    {NAME_HIDDEN_LABEL, "u27"},
    {NAME_SEAMLESS, "Seamless"},
};
// clang-format on
const int kNameCount = int(sizeof kNames / sizeof kNames[0]);

constexpr bool eachNameAtItsIndex()
{
    for (int k = 0; k < kNameCount; ++k)
        if (kNames[k].index != k) return false;
    return true;
}
static_assert(eachNameAtItsIndex(), "a label text is not at the index it names");

ControlInfo absentControl() { return ControlInfo{-1, -1, kindNone, {-1, -1, -1, -1}, 0, 0, 100}; }

}  // namespace

ControlInfo lookupControl(int id)
{
    ControlInfo info = absentControl();
    if (id < 0) return info;
    for (const SliderRow& s : kSliders)
        if (id == s.track || id == s.value)
            return ControlInfo{s.value, s.track, SliderTrack, {s.bitmap, -1, -1, -1}, -1, 0, 100};
    for (const ButtonRow& b : kButtons)
        if (id == b.id)
            return ControlInfo{-1, b.id, b.kind, {b.bitmap[0], b.bitmap[1], b.bitmap[2], b.bitmap[3]}, 0, 0, 100};
    for (const LabelRow& l : kLabels)
        if (id == l.id) return ControlInfo{-1, -1, Label, {-1, -1, -1, -1}, l.nameIndex, l.alignment, 100};
    if (id == IDC_CLOUD_COLOUR)
        return ControlInfo{-1, -1, ColourButton, {-1, -1, -1, -1}, NAME_CLOUD_COLOUR_PROMPT, 0, 100};
    if (id == IDC_SKY_COLOUR)
        return ControlInfo{-1, -1, ColourButton, {-1, -1, -1, -1}, NAME_SKY_COLOUR_PROMPT, 0, 100};
    if (id == IDC_LIGHT_PAD)  // the pad's picture, and the marker drawn as an icon
        return ControlInfo{-1, IDC_LIGHT_PAD, DirectionPad, {IDB_LIGHT_PAD, IDI_MARKER, -1, -1}, 0, 0, 100};
    if (id == IDC_ABOUT) return ControlInfo{-1, IDC_ABOUT, ClickIcon, {-1, -1, -1, -1}, 0, 0, 100};
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
    return kNames[index].text;
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
