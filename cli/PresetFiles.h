// Presets files on the command line: reading one into settings, saving the
// settings of a render with a thumbnail of its picture, and 'preset show'.
#pragma once

#include <string>
#include <vector>

#include "cli/ImageFile.h"
#include "cli/Options.h"
#include "settings/CloudSettings.h"

// Reads a presets file as the dialog's Load does: defaults first, then the file.
int readPresetInto(const std::string& path, CloudSettings* s, std::vector<uint8>* thumbnail, bool* hasPicture);

// A 64 x 64 picture of the whole image, scaled to fit over the grey ramp a
// thumbnail starts from.
void makeThumbnail(const Image& image, uint8* thumbnail);

int savePreset(const std::string& path, const CloudSettings& look, const Image& picture);

// nimbulo preset show FILE.k00: the settings as text, the thumbnail as a PNG.
int showPreset(const RenderJob& job);
