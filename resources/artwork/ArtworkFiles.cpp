// The generator's files: the artwork drawn at 96 DPI and written as the
// bitmaps, icons and cursors the resource script compiles.
#include "resources/ResourceIds.h"
#include "resources/artwork/Artwork.h"
#include "ui/Scale.h"

const char* const defaultFontFolder = "/usr/share/fonts/truetype/liberation2";

namespace {

struct ArtFile {
    const char* name;
    int id;
};

const ArtFile kBitmapFiles[] = {
    {"page.bmp", IDB_PAGE},
    {"track-light.bmp", IDB_TRACK_LIGHT},
    {"track-shape.bmp", IDB_TRACK_SHAPE},
    {"knob.bmp", IDB_KNOB},
    {"toggle-off.bmp", IDB_TOGGLE_OFF},
    {"toggle-off-pressed.bmp", IDB_TOGGLE_OFF_PRESSED},
    {"toggle-on.bmp", IDB_TOGGLE_ON},
    {"toggle-on-pressed.bmp", IDB_TOGGLE_ON_PRESSED},
    {"button-dice.bmp", IDB_BUTTON_DICE},
    {"button-ecce.bmp", IDB_BUTTON_ECCE},
    {"button-undo.bmp", IDB_BUTTON_UNDO},
    {"button-clouds.bmp", IDB_BUTTON_CLOUDS},
    {"button-load.bmp", IDB_BUTTON_LOAD},
    {"button-save.bmp", IDB_BUTTON_SAVE},
    {"light-pad.bmp", IDB_LIGHT_PAD},
    {"about-mark.bmp", IDB_ABOUT_MARK},
    {"about-name.bmp", IDB_ABOUT_NAME},
    {"about-logo.bmp", IDB_ABOUT_LOGO},
    {"about-text.bmp", IDB_ABOUT_TEXT},
    {"seamless-off.bmp", IDB_SEAMLESS_OFF},
    {"seamless-across.bmp", IDB_SEAMLESS_ACROSS},
    {"seamless-both.bmp", IDB_SEAMLESS_BOTH},
};

const ArtFile kCursorFiles[] = {
    {"hand-closed.cur", IDCUR_HAND_CLOSED},
    {"hand-open.cur", IDCUR_HAND_OPEN},
    {"hand-pointing.cur", IDCUR_HAND_POINTING},
};

}  // namespace

const char* const kArtworkFiles[] = {
    "page.bmp",
    "track-light.bmp",
    "track-shape.bmp",
    "knob.bmp",
    "toggle-off.bmp",
    "toggle-off-pressed.bmp",
    "toggle-on.bmp",
    "toggle-on-pressed.bmp",
    "button-dice.bmp",
    "button-ecce.bmp",
    "button-undo.bmp",
    "button-clouds.bmp",
    "button-load.bmp",
    "button-save.bmp",
    "light-pad.bmp",
    "about-mark.bmp",
    "about-name.bmp",
    "about-logo.bmp",
    "about-text.bmp",
    "seamless-off.bmp",
    "seamless-across.bmp",
    "seamless-both.bmp",
    "marker.ico",
    "warning.ico",
    "hand-closed.cur",
    "hand-open.cur",
    "hand-pointing.cur",
    nullptr,
};

bool writeArtwork(const std::string& folder, const std::string& fontFolder, const std::string& version,
                  std::string* error)
{
    ArtworkFonts f;
    for (auto [font, name] : {std::pair<Font*, const char*>{&f.regular, "LiberationSans-Regular.ttf"},
                              {&f.bold, "LiberationSans-Bold.ttf"}}) {
        if (!font->load(fontFolder + "/" + name)) {
            *error = "cannot read the font " + fontFolder + "/" + name + " (Debian package fonts-liberation2)";
            return false;
        }
    }
    std::string failed;
    for (const ArtFile& file : kBitmapFiles) {
        Canvas c(0, 0, Colour{});
        if (!drawBitmapArt(file.id, baseDpi, f, version.c_str(), &c) || !writeBmp(c, folder + "/" + file.name))
            failed = file.name;
    }
    if (!writeIcon(drawMarkerArt(baseDpi), folder + "/marker.ico")) failed = "marker.ico";
    if (!writeIcon(drawWarningArt(baseDpi), folder + "/warning.ico")) failed = "warning.ico";
    for (const ArtFile& file : kCursorFiles) {
        CursorArt art = cursorArt(file.id, baseDpi);
        if (!writeCursor(art.rows, art.hotX, art.hotY, folder + "/" + file.name)) failed = file.name;
    }
    if (!failed.empty()) {
        *error = "cannot write " + folder + "/" + failed;
        return false;
    }
    return true;
}
