// The gallery of shipped looks: their presets files (with thumbnails) and the
// contact sheet the README opens with, every look painted by the filter over
// the same scene. scripts/gallery runs it; a native test checks that the
// committed files are what it draws.
#pragma once

#include <string>
#include <vector>

// Writes presets/<file>.k00 for every look into `folder`. False with a reason.
bool writeLookPresets(const std::string& folder, std::string* error);

// What the sheet found of one shipped file.
struct LookOutcome {
    std::string file;
    bool loaded = false, inRange = false, painted = false;
};

// Draws the contact sheet from the presets files in `folder` (in the looks'
// order) into the PNG `sheetPath`, titles in the Liberation Sans of
// `fontFolder`. Reports each file in `outcomes`. False with a reason.
bool drawContactSheet(const std::string& folder, const std::string& fontFolder, const std::string& sheetPath,
                      std::vector<LookOutcome>* outcomes, std::string* error);
