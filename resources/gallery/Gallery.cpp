#include "resources/gallery/Gallery.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "cli/ImageFile.h"
#include "cli/PluginHost.h"
#include "cli/PresetFiles.h"
#include "cli/System.h"
#include "host/Context.h"
#include "host/Entry.h"
#include "resources/artwork/Canvas.h"
#include "resources/gallery/Looks.h"
#include "settings/PresetFile.h"

namespace {

const int tileWidth = 320, tileHeight = 200, columns = 4, gap = 14, titleHeight = 30;
const uint32_t pageColour = 0xEEF1F5, titleColour = 0x25303C;

// The scene every look is painted over: the look's own sky, lighter toward
// the horizon, and two ridges of hills in front. The selection is the sky, so
// the clouds stay behind the hills, as when a user selects the sky.
struct Scene {
    Image picture, sky;
};

uint8 channelOf(uint16 value, double towardWhite, double darker)
{
    double c = (value >> 8) / 255.0;
    c = c * (1.0 - darker);
    c = c + (1.0 - c) * towardWhite;
    return uint8(std::lround(c * 255.0));
}

Scene sceneFor(const CloudSettings& look)
{
    Scene scene;
    scene.picture.width = scene.sky.width = tileWidth;
    scene.picture.height = scene.sky.height = tileHeight;
    scene.picture.channels = 3;
    scene.sky.channels = 1;
    scene.picture.pixels.resize(size_t(tileWidth) * tileHeight * 3);
    scene.sky.pixels.resize(size_t(tileWidth) * tileHeight);
    const uint16 sky[3] = {look.skyColor.red, look.skyColor.green, look.skyColor.blue};
    const uint8 farHills[3] = {0x4E, 0x63, 0x6E}, nearHills[3] = {0x26, 0x38, 0x2C};
    for (int x = 0; x < tileWidth; ++x) {
        double t = double(x) / tileWidth;
        int far = int(tileHeight * (0.80 - 0.06 * std::sin(6.0 * t + 0.4) - 0.03 * std::sin(17.0 * t)));
        int near = int(tileHeight * (0.90 - 0.05 * std::sin(4.0 * t + 2.2) - 0.02 * std::sin(23.0 * t + 1.0)));
        for (int y = 0; y < tileHeight; ++y) {
            uint8* p = &scene.picture.pixels[(size_t(y) * tileWidth + x) * 3];
            const double height = double(y) / tileHeight;
            for (int c = 0; c < 3; ++c) {
                if (y >= near)
                    p[c] = nearHills[c];
                else if (y >= far)
                    p[c] = farHills[c];
                else
                    p[c] = channelOf(sky[c], 0.25 * height, 0.10 * (1.0 - height));
            }
            scene.sky.pixels[size_t(y) * tileWidth + x] = y < far ? 255 : 0;
        }
    }
    return scene;
}

// The look painted over its scene by the filter, through the entry point as
// an editor runs it (with a private temporary folder, so no cached settings).
bool paintLook(const CloudSettings& look, Image* picture)
{
    Scene scene = sceneFor(look);
    HostImage pixels{scene.picture.width, scene.picture.height, 3, scene.picture.pixels.data()};
    HostImage selection{scene.sky.width, scene.sky.height, 1, scene.sky.pixels.data()};
    RunRequest request{pixels,
                       &selection,
                       {0, 0, int16(tileHeight), int16(tileWidth)},
                       false,
                       [&](CloudSettings* block) { *block = look; },
                       nullptr,
                       nullptr};
    std::string folder = makePrivateTempFolder();
    OSErr result = runFilter(ENTRYPOINT, request);
    removePrivateTempFolder(folder);
    *picture = scene.picture;
    return result == noErr;
}

bool readFile(const std::string& path, std::vector<uint8_t>* bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool slidersInRange(const CloudSettings& s)
{
    for (int k = 0; k < kSettingWordCount; ++k) {
        int32 v = s.*(kSettingWords[k].field), high = kSettingWords[k].field == &CloudSettings::backlighting ? 1 : 100;
        if (v < 0 || v > high) return false;
    }
    return true;
}

}  // namespace

bool writeLookPresets(const std::string& folder, std::string* error)
{
    for (int k = 0; k < kLookCount; ++k) {
        const CloudSettings look = settingsOfLook(kLooks[k]);
        Image picture;
        if (!paintLook(look, &picture)) {
            *error = std::string(kLooks[k].file) + ": the filter stopped";
            return false;
        }
        std::vector<uint8_t> thumbnail(thumbnailBytes), bytes(presetBytesWithThumbnail);
        makeThumbnail(picture, thumbnail.data());
        bytes.resize(encodePreset(&look, thumbnail.data(), bytes.data()));
        std::string path = folder + "/" + kLooks[k].file + ".k00";
        FILE* f = std::fopen(path.c_str(), "wb");
        bool written = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (f && std::fclose(f) != 0) written = false;
        if (!written) {
            *error = path + ": cannot be written";
            return false;
        }
    }
    return true;
}

bool drawContactSheet(const std::string& folder, const std::string& fontFolder, const std::string& sheetPath,
                      std::vector<LookOutcome>* outcomes, std::string* error)
{
    Font bold;
    if (!bold.load(fontFolder + "/LiberationSans-Bold.ttf")) {
        *error = "no LiberationSans-Bold.ttf in " + fontFolder;
        return false;
    }
    const int rows = (kLookCount + columns - 1) / columns;
    Canvas sheet(columns * tileWidth + (columns + 1) * gap, rows * (tileHeight + titleHeight) + rows * gap + gap,
                 rgb(pageColour));
    outcomes->clear();
    for (int k = 0; k < kLookCount; ++k) {
        LookOutcome outcome;
        outcome.file = std::string(kLooks[k].file) + ".k00";
        std::vector<uint8_t> bytes;
        CloudSettings look;
        std::memset(&look, 0, sizeof look);
        applyDefaults(&look);
        bool picture = false;
        outcome.loaded = readFile(folder + "/" + outcome.file, &bytes) && bytes.size() > 4;
        if (outcome.loaded) decodePreset(bytes.data(), bytes.size(), &look, nullptr, &picture);
        outcome.inRange = outcome.loaded && slidersInRange(look);
        Image painted;
        outcome.painted = outcome.loaded && paintLook(look, &painted);
        Image scene = sceneFor(look).picture;
        outcome.painted = outcome.painted && painted.pixels != scene.pixels;
        outcomes->push_back(outcome);
        if (!outcome.painted) continue;

        const int left = gap + (k % columns) * (tileWidth + gap),
                  top = gap + (k / columns) * (tileHeight + titleHeight + gap);
        for (int y = 0; y < tileHeight; ++y)
            for (int x = 0; x < tileWidth; ++x) {
                const uint8* p = &painted.pixels[(size_t(y) * tileWidth + x) * 3];
                sheet.at(left + x, top + y) = Colour{p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, 1.0f};
            }
        drawString(sheet, bold, 15.0f, float(left + 2), float(top + tileHeight + 20), kLooks[k].title,
                   rgb(titleColour));
    }
    Image out;
    out.width = sheet.width;
    out.height = sheet.height;
    out.channels = 3;
    for (const Colour& c : sheet.pixels)
        for (float v : {c.r, c.g, c.b})
            out.pixels.push_back(uint8(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f)));
    if (!writePng(sheetPath, out, error)) return false;
    return true;
}
