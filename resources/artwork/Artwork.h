// The module's artwork: every bitmap, icon and cursor the resource script
// names, drawn from code and the Liberation Sans fonts at any DPI. At 96 DPI
// it is exactly what the committed files in resources/art hold (the generator
// writes them, a test compares); the module draws the other scales itself.
#pragma once

#include <string>
#include <vector>

#include "resources/artwork/Canvas.h"

struct ArtworkFonts {
    Font regular, bold;
};

// Bitmap resource `id` (an IDB_ name) drawn at `dpi`; false for an id that
// is not a bitmap of the artwork. `version` goes into the about box's text.
bool drawBitmapArt(int id, int dpi, const ArtworkFonts& fonts, const char* version, Canvas* out);

// The light pad's marker (IDI_MARKER: a sun ball in the top-left corner of
// a 32 x 32 icon at 96 DPI, its alpha either 0 or 1) and the messages' sign
// (IDI_CAUTION) at `dpi`.
Canvas drawMarkerArt(int dpi);
Canvas drawWarningArt(int dpi);

// A cursor (an IDCUR_ name) at `dpi`: rows of '#' (black), '.' (white) and
// ' ' (transparent), `side` pixels square, and its hot spot. Empty for an
// unknown id.
struct CursorArt {
    std::vector<std::string> rows;
    int hotX = 0, hotY = 0, side = 0;
};
CursorArt cursorArt(int id, int dpi);

// ---- The generator's side (scripts/artwork). ----

// Default place of Debian's fonts-liberation2 package.
extern const char* const defaultFontFolder;

// Writes every artwork file into `folder` (which must exist), drawn at 96
// DPI. False with a reason when a font is missing or a file cannot be written.
bool writeArtwork(const std::string& folder, const std::string& fontFolder, const std::string& version,
                  std::string* error);

// The file names written, in order; the list ends with a null.
extern const char* const kArtworkFiles[];
