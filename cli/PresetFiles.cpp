#include "cli/PresetFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/Commands.h"
#include "host/Context.h"
#include "settings/PresetFile.h"

// Reads a presets file as the dialog's Load does: defaults first, then the file.
int readPresetInto(const std::string& path, CloudSettings* s, std::vector<uint8>* thumbnail, bool* hasPicture)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return fail(exitBadInput, path + ": " + (errno == ENOENT ? "no such file" : std::strerror(errno)));
    std::vector<uint8> bytes(presetBytesWithThumbnail);
    size_t size = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    if (size < 4) return fail(exitBadInput, path + ": not a presets file (too short)");
    applyDefaults(s);
    thumbnail->assign(thumbnailBytes, 0);
    decodePreset(bytes.data(), size, s, thumbnail->data(), hasPicture);
    return exitOk;
}

// A 64 x 64 picture of the whole image, scaled to fit over the grey ramp a
// thumbnail starts from.
void makeThumbnail(const Image& image, uint8* thumb)
{
    for (int j = 0; j < thumbnailSide; ++j) std::memset(thumb + j * thumbnailSide * 3, 255 - j, thumbnailSide * 3);
    int longer = image.width > image.height ? image.width : image.height;
    int w = image.width * thumbnailSide / longer, h = image.height * thumbnailSide / longer;
    if (w < 1) w = 1;
    if (h < 1) h = 1;
    int left = (thumbnailSide - w) / 2, top = (thumbnailSide - h) / 2;
    int colour = image.channels >= 3;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // The mean of the source pixels this thumbnail pixel covers.
            int x0 = x * image.width / w, x1 = (x + 1) * image.width / w;
            int y0 = y * image.height / h, y1 = (y + 1) * image.height / h;
            long sum[3] = {0, 0, 0}, count = 0;
            for (int sy = y0; sy < (y1 > y0 ? y1 : y0 + 1); ++sy)
                for (int sx = x0; sx < (x1 > x0 ? x1 : x0 + 1); ++sx, ++count) {
                    const uint8* p = &image.pixels[(size_t(sy) * image.width + sx) * image.channels];
                    for (int k = 0; k < 3; ++k) sum[k] += p[colour ? k : 0];
                }
            uint8* t = thumb + ((top + y) * thumbnailSide + left + x) * 3;
            for (int k = 0; k < 3; ++k) t[k] = uint8(sum[k] / count);
        }
}

int savePreset(const std::string& path, const CloudSettings& look, const Image& picture)
{
    std::vector<uint8> thumbnail(thumbnailBytes), bytes(presetBytesWithThumbnail);
    makeThumbnail(picture, thumbnail.data());
    size_t length = encodePreset(&look, thumbnail.data(), bytes.data());
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, length, f) == length;
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) return fail(exitCannotWrite, path + ": cannot be written");
    return exitOk;
}

static std::string hexColour(const RGB48& c)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c.red >> 8, c.green >> 8, c.blue >> 8);
    return text;
}

// nimbulo preset show FILE.k00: the settings as text, the thumbnail as a PNG.
int showPreset(const RenderJob& job)
{
    if (job.inputs.size() != 1) return fail(exitUsage, "which presets file? nimbulo preset show FILE.k00");
    const std::string& path = job.inputs[0];
    CloudSettings s;
    std::memset(&s, 0, sizeof s);
    std::vector<uint8> thumbnail;
    bool hasPicture = false;
    int read = readPresetInto(path, &s, &thumbnail, &hasPicture);
    if (read != exitOk) return read;
    std::printf("%s: %s\n", path.c_str(), hasPicture ? "with a thumbnail" : "without a thumbnail");
    for (int k = 0; k < kSettingWordCount; ++k)
        std::printf("  %-13s %d\n", kSettingWords[k].name, int(s.*kSettingWords[k].field));
    std::printf("  %-13s %d\n", "Seed", int(s.seed));
    std::printf("  %-13s %s\n", "Cloud color", hexColour(s.cloudColor).c_str());
    std::printf("  %-13s %s\n", "Sky color", hexColour(s.skyColor).c_str());
    std::printf("  %-13s %g, %g (height %g)\n", "Light", s.lightX, s.lightY, s.lightZ);
    std::printf("  %-13s %g, %g\n", "Centre", s.centreU, s.centreV);
    std::printf("  %-13s %s\n", "Seamless", kWrapNames[wrapModeOf(s.wrap)]);
    if (job.thumbnailPath.empty()) return exitOk;
    if (!hasPicture) return fail(exitBadInput, path + ": has no thumbnail");
    Image picture;
    picture.width = picture.height = thumbnailSide;
    picture.channels = 3;
    picture.pixels = thumbnail;
    std::string error;
    if (!writePng(job.thumbnailPath, picture, &error)) return fail(exitCannotWrite, error);
    return exitOk;
}
