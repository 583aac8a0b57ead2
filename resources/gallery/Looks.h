// The looks Nimbulo ships: presets files a user starts from, each a table row
// of the settings that make it. presets/*.k00 are written from this table
// (scripts/gallery), and the README's contact sheet is drawn from those files.
#pragma once

#include <cstdint>

#include "settings/CloudSettings.h"

struct Look {
    const char* file;         // presets/<file>.k00
    const char* title;        // the name under its picture
    const char* description;  // what it is for, in a sentence
    int32_t seed;
    // Sliders, 0..100.
    int32_t puffs, lumpScale, flatness, density, lumpiness, detail, dispersion;
    int32_t skyLight, brightness, smokiness, harshness, mottling, zoom;
    bool backlighting;
    uint32_t cloudColour, skyColour;  // 0xRRGGBB
    float lightX, lightY;             // a point on the light pad
    float centreU, centreV;           // the pattern's centre, fractions of the picture
};

extern const Look kLooks[];
extern const int kLookCount;

// The settings of `look`: the defaults, then its row, kept as a presets file
// keeps them (the light to the hundredth).
CloudSettings settingsOfLook(const Look& look);
