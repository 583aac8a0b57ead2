// The names the Load and Save buttons work with: the name the save dialog
// proposes, and what a chosen file makes of presetName and presetFolder.
#pragma once

#include <cstddef>

struct CloudSettings;

// presetName without its extension when it ends in one of three letters
// ("Storm.k00" proposes "Storm"; "random settings" stays as it is).
void proposedPresetName(const char* presetName, char* out, size_t size);

// presetName becomes the chosen file's name with its extension, presetFolder
// its folder with the trailing separator. A path too long for a field leaves
// that field as it was.
void notePresetPath(CloudSettings* s, const char* path);
