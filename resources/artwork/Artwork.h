// The module's artwork: every bitmap, icon and cursor the resource script
// names, drawn from code and the Liberation Sans fonts.
#pragma once

#include <string>

// Default place of Debian's fonts-liberation2 package.
extern const char* const defaultFontFolder;

// Writes every artwork file into `folder` (which must exist). False with a
// reason when a font is missing or a file cannot be written.
bool writeArtwork(const std::string& folder, const std::string& fontFolder, const std::string& version,
                  std::string* error);

// The file names written, in order; the list ends with a null.
extern const char* const kArtworkFiles[];
