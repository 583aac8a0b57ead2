// What each control id of the main dialog is: its kind, bitmaps, text and
// value range, and the table of label texts. Constant data; portable, so the
// undo history can ask a control's kind on every build.
#pragma once

#include <cstdint>

#include "resources/ResourceIds.h"

enum { controlCount = 160 };

enum ControlKind {
    kindNone = -1,
    SliderTrack = 0,
    Label = 1,
    SliderValue = 2,
    CheckToggle = 3,
    BitmapButton = 7,
    ColourButton = 8,
    DirectionPad = 9,
    ChoiceStrip = 10,  // segments side by side, one of them chosen
    ClickIcon = 18,
};

enum LabelAlignment { alignRight = 0, alignLeft = 1, alignCentre = 2 };

struct ControlInfo {
    int16_t valueId;    // slider pairs: the number field
    int16_t trackId;    // slider pairs: the track; buttons, toggles, pad, icon: the control itself
    int32_t kind;       // the stored kind
    int32_t bitmap[4];  // bitmap resources, -1 for none
    int32_t nameIndex;  // name-table entry of the control's text
    int32_t low;        // value range; for labels the alignment
    int32_t high;
};

// The control table's entry for `id`; an absent or negative id gives kind -1.
ControlInfo lookupControl(int id);

// The kind a control behaves as: a slider pair's number field is SliderValue.
int controlKind(int id);

// The label text of a name-table index ("-undef string-" for unknown ones).
const char* controlName(int index);

// The per-control copies of the table the dialog draws from, filled at each
// dialog start: bitmaps and name indexes for every id, ranges for the tracks
// (controlLow and controlHigh, with the value tables).
extern int32_t controlBitmap[controlCount][4];
extern int32_t controlNameIndex[controlCount];
void fillControlArrays();
