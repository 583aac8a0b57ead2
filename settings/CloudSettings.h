// The parameter block: every user setting, the preview's view state and the
// dialog's interaction state. It lives in the host's `parameters` handle; the
// same structure also holds the undo slots and the copy that Cancel restores.
#pragma once

#include "host/HostAbi.h"

struct FilterContext;

// A colour as three 16-bit components; an 8-bit component is held as value x 256.
struct RGB48 {
    uint16 red;
    uint16 green;
    uint16 blue;
};

struct CloudSettings {
    int32 showDialog;       // 1: the next Start shows the dialog
    int32 capturedControl;  // control holding the mouse, -1 for none
    uint8 dragMoved;        // a preview drag has scrolled since the press
    uint8 slotValid;        // undo slots only: the slot holds a snapshot
    uint8 slotHasFile;      // undo slots only: the snapshot is also on disk
    int16 pressPoint[2];    // vertical, horizontal
    int16 currentPoint[2];  // vertical, horizontal
    uint8 previewOn;        // the host can advance and display: live preview
    float lightX, lightY, lightZ;
    float auxX, auxY, auxZ;  // dormant
    int32 blendMode;
    int32 zoomRate;      // preview reduction factor, 1 = full size
    int32 dialogActive;  // 1 while the dialog is up (preview renders)
    int32 autoPreview;
    int32 panX;
    int32 panY;
    int32 seed;  // 0..2047
    int32 centreX;
    int32 centreY;
    float centreU;  // pattern origin as a fraction of the filter width
    float centreV;
    RGB48 cloudColor;
    RGB48 color2, color3, color4;  // dormant
    RGB48 skyColor;
    RGB48 color6, color7, color8;  // dormant
    // The thirty parameter words. Names with numbers are dormant words: no
    // control shows them and the renderer never reads them, but presets,
    // cache and undo files carry them, so a file keeps what it held.
    // - Free for a new setting (carried unchanged, read and written as they
    //   are): word360, word368, word380, word384, word388, word392,
    //   word400, word404, word444, word452, word456.
    // - Not free: the presets reader adjusts word408 (one more in files before
    //   version 11), word448 (0 before version 24) and word468 (100 minus the
    //   word up to version 12); word472 is in the files but not in an undo
    //   snapshot (an undo file brings it back).
    int32 harshness;
    int32 word360;
    int32 wrap;  // seamless clouds: a WrapMode; any other value is off
    int32 word368;
    int32 lumpScale;
    int32 mottling;
    int32 word380, word384, word388, word392;
    int32 dispersion;
    int32 word400, word404, word408;
    int32 flatness;
    int32 density;
    int32 lumpiness;
    int32 smokiness;
    int32 detail;
    int32 skyLight;
    int32 puffs;
    int32 zoom;
    int32 word444, word448, word452, word456;
    int32 backlighting;
    int32 brightness;
    int32 word468;
    int32 word472;
    char presetFolder[260];  // with trailing separator
    char presetName[256];    // NUL-terminated
};

static_assert(offsetof(CloudSettings, word472) - offsetof(CloudSettings, harshness) == 29 * 4,
              "thirty consecutive parameter words");
static_assert(offsetof(CloudSettings, color8) - offsetof(CloudSettings, cloudColor) == 7 * 6,
              "eight consecutive colours");
static_assert(offsetof(CloudSettings, auxZ) - offsetof(CloudSettings, lightX) == 5 * 4, "six consecutive light floats");

// Seamless clouds: the picture repeats without a seam left to right (a
// panorama's sky) or both ways (a tile).
enum WrapMode { wrapOff = 0, wrapAcross = 1, wrapBoth = 2 };
// The mode a wrap word holds: files of earlier versions carry 0 there, and a
// value that is not a mode is off.
inline WrapMode wrapModeOf(int32 word) { return word == wrapAcross || word == wrapBoth ? WrapMode(word) : wrapOff; }

// One user-visible setting held in a parameter word: its name, its dialog
// control, and its default. Sliders run 0..100; Backlighting is 0 or 1.
struct SettingWord {
    const char* name;
    int control;
    int32 CloudSettings::*field;
    int32 defaultValue;
};

extern const SettingWord kSettingWords[];
extern const int kSettingWordCount;

// Finds a setting by its shown name, case-insensitively; null when unknown.
const SettingWord* findSettingWord(const char* name);

// The block behind the host's `parameters` handle, read afresh at every call.
CloudSettings* settingsOf(FilterContext* ctx);

// First-time values of a new block, then the defaults. Leaves showDialog alone.
void initSettingsBlock(FilterContext* ctx);

// The plain defaults of every user setting; leaves view state, names and dormant words.
void resetSettings(FilterContext* ctx);
void applyDefaults(CloudSettings* s);  // the same on a block in hand

// The field sets, named once: the thirty parameter words (harshness ..
// word472, in the block's order), the eight colours (cloudColor .. color8) and the
// six floats of the light and the dormant vector (lightX .. auxZ).
enum { parameterWordCount = 30, colourCount = 8, lightFloatCount = 6 };
extern int32 CloudSettings::*const kParameterWords[parameterWordCount];
extern RGB48 CloudSettings::*const kColours[colourCount];
extern float CloudSettings::*const kLightFloats[lightFloatCount];

// The look: every field a presets file carries (the colours, the parameter
// words, the light floats, the seed, the blend mode and the pattern's centre).
void copyLook(CloudSettings* to, const CloudSettings* from);

// The snapshot the undo history keeps: the look without word472 and the
// centre (those come back from an undo file), with the preset's name.
void copySnapshotFields(CloudSettings* to, const CloudSettings* from);

enum SnapshotDirection { snapshotSave, snapshotRestore };

// Copies the snapshot field set between the live block and `snapshot`.
void copySnapshot(CloudSettings* snapshot, FilterContext* ctx, SnapshotDirection direction);
