// nimbulo: paints clouds over PNG images by running the Nimbulo filter through
// its entry point, the way an image editor does.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Bench.h"
#include "cli/Commands.h"
#include "cli/PluginHost.h"
#include "cli/PngFile.h"
#include "cli/System.h"
#include "host/Context.h"
#include "render/Random.h"
#include "settings/PresetFile.h"


static const int maxSide = 32767;  // the interface's rectangles are 16-bit

struct RenderJob {
    std::string input, output, maskPath, pluginPath, presetPath, savePresetPath, thumbnailPath;
    bool dice = false, ecce = false;
    int newWidth = 0, newHeight = 0;
    bool hasRect = false;
    int rect[4] = {0, 0, 0, 0};  // x, y, w, h
    bool quiet = false;
    int threads = 0;  // 0: every processor
    std::vector<std::pair<const SettingWord*, int32>> words;
    bool hasSeed = false, hasCloud = false, hasSky = false, hasLight = false, hasCentre = false;
    int32 seed = 0;
    RGB48 cloud{}, sky{};
    float light[2] = {0, 0}, centre[2] = {0, 0};
};

// ---- Value parsing: whole strings only, with the reason on failure. ----
static bool parseInt(const std::string& text, long* value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    *value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0';
}

static bool parseFloat(const std::string& text, float* value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    *value = std::strtof(text.c_str(), &end);
    return *end == '\0' && std::isfinite(*value);
}

static std::vector<std::string> splitOn(const std::string& text, char separator)
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

static bool parseFloats(const std::string& text, int count, float* values)
{
    std::vector<std::string> parts = splitOn(text, ',');
    if (int(parts.size()) != count) return false;
    for (int k = 0; k < count; ++k)
        if (!parseFloat(parts[k], &values[k])) return false;
    return true;
}

static bool parseColour(std::string text, RGB48* colour)
{
    if (!text.empty() && text[0] == '#') text.erase(0, 1);
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    long v = std::strtol(text.c_str(), nullptr, 16);
    colour->red = uint16(((v >> 16) & 255) << 8);
    colour->green = uint16(((v >> 8) & 255) << 8);
    colour->blue = uint16((v & 255) << 8);
    return true;
}

// ---- Options of `nimbulo render`, one row each. ----
typedef bool (*TakeOption)(RenderJob& job, const std::string& value, std::string* error);

// An option sets a text field, turns a switch on, or is parsed by `take`.
struct OptionSpec {
    const char* name;
    const char* value;  // null: a switch
    const char* help;
    TakeOption take;
    std::string RenderJob::*text = nullptr;
    bool RenderJob::*flag = nullptr;
};

static bool takeSize(RenderJob& job, const std::string& v, std::string* error)
{
    std::vector<std::string> parts = splitOn(v, 'x');
    long w = 0, h = 0;
    if (parts.size() != 2 || !parseInt(parts[0], &w) || !parseInt(parts[1], &h) || w < 1 || h < 1 || w > maxSide ||
        h > maxSide) {
        *error = "--size takes WxH with each side 1 to " + std::to_string(maxSide) + ", not '" + v + "'";
        return false;
    }
    job.newWidth = int(w);
    job.newHeight = int(h);
    return true;
}

static bool takeSet(RenderJob& job, const std::string& v, std::string* error)
{
    size_t equals = v.find('=');
    std::string name = v.substr(0, equals);
    for (char& c : name)
        if (c == '-' || c == '_') c = ' ';
    const SettingWord* word = equals == std::string::npos ? nullptr : findSettingWord(name.c_str());
    long value = 0;
    if (!word) {
        *error = "--set takes NAME=VALUE with a setting named in 'nimbulo render --help', not '" + v + "'";
        return false;
    }
    long high = word->field == &CloudSettings::backlighting ? 1 : 100;
    if (!parseInt(v.substr(equals + 1), &value) || value < 0 || value > high) {
        *error = std::string(word->name) + " takes a whole number from 0 to " + std::to_string(high) + ", not '" +
                 v.substr(equals + 1) + "'";
        return false;
    }
    job.words.emplace_back(word, int32(value));
    return true;
}

static bool takeSeed(RenderJob& job, const std::string& v, std::string* error)
{
    long seed = 0;
    if (!parseInt(v, &seed) || seed < 0 || seed > 2047) {
        *error = "--seed takes a whole number from 0 to 2047, not '" + v + "'";
        return false;
    }
    job.hasSeed = true;
    job.seed = int32(seed);
    return true;
}

static bool takeCloudColour(RenderJob& job, const std::string& v, std::string* error)
{
    job.hasCloud = parseColour(v, &job.cloud);
    if (!job.hasCloud) *error = "--cloud-color takes #RRGGBB, not '" + v + "'";
    return job.hasCloud;
}

static bool takeSkyColour(RenderJob& job, const std::string& v, std::string* error)
{
    job.hasSky = parseColour(v, &job.sky);
    if (!job.hasSky) *error = "--sky-color takes #RRGGBB, not '" + v + "'";
    return job.hasSky;
}

static bool takeLight(RenderJob& job, const std::string& v, std::string* error)
{
    float* l = job.light;
    if (!parseFloats(v, 2, l) || l[0] * l[0] + l[1] * l[1] > 1.0f + 1e-6f) {
        *error = "--light takes X,Y inside the unit circle (as on the light pad), not '" + v + "'";
        return false;
    }
    job.hasLight = true;
    return true;
}

static bool takeBacklighting(RenderJob& job, const std::string&, std::string*)
{
    job.words.emplace_back(findSettingWord("Backlighting"), 1);
    return true;
}

static bool takeCentre(RenderJob& job, const std::string& v, std::string* error)
{
    job.hasCentre = parseFloats(v, 2, job.centre);
    if (!job.hasCentre) *error = "--centre takes U,V, fractions of the width and height, not '" + v + "'";
    return job.hasCentre;
}

static bool takeRect(RenderJob& job, const std::string& v, std::string* error)
{
    std::vector<std::string> parts = splitOn(v, ',');
    long values[4];
    bool ok = parts.size() == 4;
    for (int k = 0; ok && k < 4; ++k) ok = parseInt(parts[k], &values[k]) && values[k] >= 0 && values[k] <= maxSide;
    if (!ok || values[2] < 1 || values[3] < 1) {
        *error = "--rect takes X,Y,W,H in pixels with W and H at least 1, not '" + v + "'";
        return false;
    }
    job.hasRect = true;
    for (int k = 0; k < 4; ++k) job.rect[k] = int(values[k]);
    return true;
}

static bool takeThreads(RenderJob& job, const std::string& v, std::string* error)
{
    long n = 0;
    if (!parseInt(v, &n) || n < 1 || n > 64) {
        *error = "--threads takes a count from 1 to 64, not '" + v + "'";
        return false;
    }
    job.threads = int(n);
    return true;
}

static const OptionSpec kRenderOptions[] = {
    {"-o", "OUT.png", "write the picture to OUT.png (required)", nullptr, &RenderJob::output, nullptr},
    {"--size", "WxH", "paint over a new W by H image filled with the sky colour (instead of IN.png)", takeSize},
    {"--set", "NAME=VALUE", "set a slider (0 to 100) by its name, for example density=70", takeSet},
    {"--seed", "N", "seed of the cloud pattern, 0 to 2047 (default 21)", takeSeed},
    {"--cloud-color", "#RRGGBB", "colour of the lit clouds (default #ECE8F7)", takeCloudColour},
    {"--sky-color", "#RRGGBB", "sky colour: tints the shadows, fills --size images (default #8699B6)", takeSkyColour},
    {"--light", "X,Y", "light direction as a point on the light pad, inside the unit circle (default -0.54,-0.54)",
     takeLight},
    {"--backlighting", nullptr, "light the clouds from behind: dark bodies with glowing edges", takeBacklighting},
    {"--centre", "U,V", "centre of the pattern as fractions of the width and height (default 0.5,0.5)", takeCentre},
    {"--mask", "SEL.png", "selection: a grey PNG of the image's size, white selected, black untouched", nullptr,
     &RenderJob::maskPath, nullptr},
    {"--rect", "X,Y,W,H", "filter only this rectangle of the image", takeRect},
    {"--preset", "FILE.k00", "start from the settings of a presets file (options given too override it)", nullptr,
     &RenderJob::presetPath, nullptr},
    {"--save-preset", "OUT.k00", "also save the settings used, with a thumbnail of the picture, as a presets file",
     nullptr, &RenderJob::savePresetPath, nullptr},
    {"--dice", nullptr, "invent random settings, as the dialog's Dice button (printed, to reproduce the look)",
     nullptr, nullptr, &RenderJob::dice},
    {"--ecce", nullptr, "draw a new random seed only, as the dialog's Ecce button (printed)", nullptr, nullptr,
     &RenderJob::ecce},
    {"--plugin", "PATH", "Windows: the filter module to load (default: Nimbulo.8bf beside nimbulo.exe)", nullptr,
     &RenderJob::pluginPath, nullptr},
    {"--quiet", nullptr, "no progress bar", nullptr, nullptr, &RenderJob::quiet},
    {"--threads", "N", "render with N threads (default: one for every processor)", takeThreads},
    {"--thumbnail", "OUT.png", "with 'preset show': write the file's 64 x 64 thumbnail as a PNG", nullptr,
     &RenderJob::thumbnailPath, nullptr},
};

static const OptionSpec* findOption(const std::string& name)
{
    if (name == "--output") return &kRenderOptions[0];
    if (name == "--center") return findOption("--centre");
    for (const OptionSpec& o : kRenderOptions)
        if (name == o.name) return &o;
    return nullptr;
}

// ---- Help. ----
static void printMainHelp(FILE* to)
{
    std::fprintf(to,
                 "nimbulo - paints procedural clouds over images with the Nimbulo filter\n"
                 "\n"
                 "usage:\n"
                 "  nimbulo render IN.png -o OUT.png [options]    clouds over an image\n"
                 "  nimbulo render --size WxH -o OUT.png [options] clouds over a new sky\n"
                 "  nimbulo preset show FILE.k00 [--thumbnail OUT.png]  the settings of a presets file\n"
                 "  nimbulo bench [--size WxH] [--threads N]       render speed (1 thread and all) and memory\n"
                 "  nimbulo render --help                          every render option\n"
                 "\n"
                 "exit codes:\n"
                 "  0 done; 1 the filter reported an error; 2 bad command line;\n"
                 "  3 an input file is missing, unreadable or not a usable PNG;\n"
                 "  4 the output cannot be written; 5 the filter module cannot be loaded;\n"
                 "  130 interrupted with Ctrl-C (no output is written).\n");
}

static void printRenderHelp(FILE* to)
{
    std::fprintf(to,
                 "usage: nimbulo render (IN.png | --size WxH) -o OUT.png [options]\n"
                 "\n"
                 "Paints clouds over IN.png, or over a new image of the sky colour. An RGBA or\n"
                 "grey+alpha PNG is treated as a layer: the clouds respect and extend its\n"
                 "transparency. Grey PNGs stay grey. 16-bit images are reduced to 8 bits and\n"
                 "palette images converted to RGB (a note says so). The output is written to a\n"
                 "temporary file first and renamed at the end, so it is never left half done.\n"
                 "\n"
                 "options:\n");
    for (const OptionSpec& o : kRenderOptions) {
        std::string left = std::string(o.name) + (o.value ? std::string(" ") + o.value : "");
        std::fprintf(to, "  %-24s %s\n", left.c_str(), o.help);
    }
    std::fprintf(to, "\nsettings for --set (sliders 0 to 100, Backlighting 0 or 1):\n ");
    for (int k = 0; k < kSettingWordCount; ++k)
        std::fprintf(to, " %s (%d)%s", kSettingWords[k].name, kSettingWords[k].defaultValue,
                     k + 1 < kSettingWordCount ? "," : "\n");
    std::fprintf(to, "  Names are case-insensitive; write 'lump-scale' or 'lump_scale' for 'Lump scale'.\n"
                     "\nexit codes: see 'nimbulo --help'.\n");
}

int fail(int code, const std::string& message)
{
    std::fprintf(stderr, "nimbulo: %s\n", message.c_str());
    return code;
}

// ---- Progress on a terminal. ----
static void drawProgress(int32 done, int32 total)
{
    int percent = total > 0 ? int(int64_t(done) * 100 / total) : 100;
    char bar[31];
    for (int k = 0; k < 30; ++k) bar[k] = k < percent * 30 / 100 ? '#' : '.';
    bar[30] = '\0';
    std::fprintf(stderr, "\rrendering [%s] %3d%%", bar, percent);
    std::fflush(stderr);
}

// ---- The settings. ----
// The slider's name as an option value: "Lump scale" becomes "lump-scale".
static std::string optionName(const char* name)
{
    std::string out;
    for (const char* c = name; *c; ++c) out += *c == ' ' ? '-' : char(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
    return out;
}

// Reads a presets file as the dialog's Load does: defaults first, then the file.
static int readPresetInto(const std::string& path, CloudSettings* s, std::vector<uint8>* thumbnail, bool* hasPicture)
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

// The settings of a render: defaults, then the presets file, then Dice or
// Ecce, then the options given one by one.
static int composeSettings(const RenderJob& job, const PngImage& image, CloudSettings* s)
{
    std::memset(s, 0, sizeof *s);
    applyDefaults(s);
    if (!job.presetPath.empty()) {
        std::vector<uint8> thumbnail;
        bool hasPicture = false;
        int read = readPresetInto(job.presetPath, s, &thumbnail, &hasPicture);
        if (read != exitOk) return read;
    }
    if (job.dice || job.ecce) {
        seedRandomFromClock();
        std::string drawn;
        if (job.dice) {
            RandomizeSettings(s);
            for (int k = 0; k < kSettingWordCount; ++k) {
                const SettingWord& w = kSettingWords[k];
                if (w.field == &CloudSettings::zoom || w.field == &CloudSettings::backlighting) continue;
                drawn += " --set " + optionName(w.name) + "=" + std::to_string(s->*w.field);
            }
        } else {
            s->seed = DrawSeed();
        }
        NameRandomSettings(s);
        std::fprintf(stderr, "nimbulo: %s drew --seed %d%s\n", job.dice ? "dice" : "ecce", int(s->seed), drawn.c_str());
    }
    for (const auto& word : job.words) s->*(word.first->field) = word.second;
    if (job.hasSeed) s->seed = job.seed;
    if (job.hasCloud) s->cloudColor = job.cloud;
    if (job.hasSky) s->skyColor = job.sky;
    if (job.hasLight) {
        s->lightX = job.light[0];
        s->lightY = job.light[1];
        double rest = 1.0 - double(s->lightX) * s->lightX - double(s->lightY) * s->lightY;
        s->lightZ = float(std::sqrt(rest > 0.0 ? rest : 0.0));
    }
    if (job.hasCentre) {
        s->centreU = job.centre[0];
        s->centreV = job.centre[1];
    }
    // The pixel origin the dialog would show; far-off centres are limited first.
    auto pixelOf = [](float fraction, int size) {
        double v = double(fraction) * size;
        return int32(v < -1.0e9 ? -1.0e9 : (v > 1.0e9 ? 1.0e9 : v));
    };
    s->centreX = pixelOf(s->centreU, image.width);
    s->centreY = pixelOf(s->centreV, image.height);
    return exitOk;
}

// Puts the composed look into the plug-in's block (after Prepare, before Start),
// as an editor's repeated run finds it: the fields a presets file carries.
static void settle(const CloudSettings& look, CloudSettings* block)
{
    std::memcpy(block->presetName, look.presetName, sizeof block->presetName);
    std::memcpy(&block->cloudColor, &look.cloudColor, 8 * sizeof(RGB48));
    std::memcpy(&block->harshness, &look.harshness, 30 * sizeof(int32));
    std::memcpy(&block->lightX, &look.lightX, 6 * sizeof(float));
    block->seed = look.seed;
    block->blendMode = look.blendMode;
    block->centreU = look.centreU;
    block->centreV = look.centreV;
    block->centreX = look.centreX;
    block->centreY = look.centreY;
}

// A 64 x 64 picture of the whole image, scaled to fit over the grey ramp a
// thumbnail starts from.
static void makeThumbnail(const PngImage& image, uint8* thumb)
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

static int savePreset(const std::string& path, const CloudSettings& look, const PngImage& picture)
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

// ---- The render. ----
static int loadImages(const RenderJob& job, PngImage* image, PngImage* mask)
{
    std::string error;
    if (!job.input.empty()) {
        if (readPng(job.input, 0, maxSide, image, &error) != pngOk) return fail(exitBadInput, error);
        if (!image->note.empty() && !job.quiet) std::fprintf(stderr, "nimbulo: note: %s: %s\n", job.input.c_str(), image->note.c_str());
    } else {
        RGB48 sky = job.hasSky ? job.sky : RGB48{0x8600, 0x9900, 0xB600};
        image->width = job.newWidth;
        image->height = job.newHeight;
        image->channels = 3;
        image->pixels.resize(size_t(image->width) * image->height * 3);
        for (size_t k = 0; k < image->pixels.size(); k += 3) {
            image->pixels[k] = uint8(sky.red >> 8);
            image->pixels[k + 1] = uint8(sky.green >> 8);
            image->pixels[k + 2] = uint8(sky.blue >> 8);
        }
    }
    if (!job.maskPath.empty()) {
        if (readPng(job.maskPath, 1, maxSide, mask, &error) != pngOk) return fail(exitBadInput, error);
        if (mask->width != image->width || mask->height != image->height)
            return fail(exitBadInput, job.maskPath + ": the mask is " + std::to_string(mask->width) + " x " +
                                          std::to_string(mask->height) + " but the image is " +
                                          std::to_string(image->width) + " x " + std::to_string(image->height));
    }
    return exitOk;
}

static int render(const RenderJob& job)
{
    if (job.input.empty() == (job.newWidth == 0))
        return fail(exitUsage, "give either IN.png or --size WxH (see 'nimbulo render --help')");
    if (job.output.empty()) return fail(exitUsage, "no output: add -o OUT.png");

    PngImage image, mask;
    int loaded = loadImages(job, &image, &mask);
    if (loaded != exitOk) return loaded;
    CloudSettings look;
    int composed = composeSettings(job, image, &look);
    if (composed != exitOk) return composed;

    Rect16 filterRect = {0, 0, int16(image.height), int16(image.width)};
    if (job.hasRect) {
        const int* r = job.rect;
        if (r[0] + r[2] > image.width || r[1] + r[3] > image.height)
            return fail(exitUsage, "--rect " + std::to_string(r[0]) + "," + std::to_string(r[1]) + "," +
                                       std::to_string(r[2]) + "," + std::to_string(r[3]) + " reaches outside the " +
                                       std::to_string(image.width) + " x " + std::to_string(image.height) + " image");
        filterRect = {int16(r[1]), int16(r[0]), int16(r[1] + r[3]), int16(r[0] + r[2])};
    }

    // Claim the output before the work, so an unwritable path fails at once.
    std::string partial = job.output + ".partial";
    if (FILE* probe = std::fopen(partial.c_str(), "wb")) {
        std::fclose(probe);
    } else {
        return fail(exitCannotWrite, job.output + ": cannot be written (" + std::strerror(errno) + ")");
    }

    std::string tempFolder = makePrivateTempFolder();
    if (tempFolder.empty()) {
        std::remove(partial.c_str());
        return fail(exitCannotWrite, "cannot create a private temporary folder");
    }
    std::string error;
    PluginEntryProc entry = loadPlugin(job.pluginPath, &error);
    if (!entry) {
        removePrivateTempFolder(tempFolder);
        std::remove(partial.c_str());
        return fail(exitNoPlugin, error);
    }

    catchInterrupts();
    bool showProgress = !job.quiet && stderrIsTerminal();
    HostImage pixels{image.width, image.height, image.channels, image.pixels.data()};
    HostImage selection{mask.width, mask.height, 1, mask.pixels.data()};
    RunRequest request{pixels,
                       job.maskPath.empty() ? nullptr : &selection,
                       filterRect,
                       image.channels == 2 || image.channels == 4,
                       [&](CloudSettings* s) { settle(look, s); },
                       showProgress ? drawProgress : std::function<void(int32, int32)>(),
                       interruptRequested};
    OSErr result = runFilter(entry, request);
    if (showProgress) {
        if (result == noErr) drawProgress(1, 1);
        std::fprintf(stderr, "\n");
    }
    removePrivateTempFolder(tempFolder);

    if (result != noErr) {
        std::remove(partial.c_str());
        if (result == userCanceledErr && interruptRequested())
            return fail(exitInterrupted, "interrupted; no output written");
        return fail(exitRenderFailed, "the filter stopped with error " + std::to_string(result) +
                                          (result == memFullErr ? " (not enough memory)" : ""));
    }
    if (!writePng(partial, image, &error)) return fail(exitCannotWrite, error);
    if (!replaceFile(partial, job.output)) {
        std::remove(partial.c_str());
        return fail(exitCannotWrite, job.output + ": cannot be replaced");
    }
    if (!job.savePresetPath.empty()) return savePreset(job.savePresetPath, look, image);
    return exitOk;
}

static std::string hexColour(const RGB48& c)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c.red >> 8, c.green >> 8, c.blue >> 8);
    return text;
}

// nimbulo preset show FILE.k00: the settings as text, the thumbnail as a PNG.
static int showPreset(const RenderJob& job)
{
    if (job.input.empty()) return fail(exitUsage, "which presets file? nimbulo preset show FILE.k00");
    CloudSettings s;
    std::memset(&s, 0, sizeof s);
    std::vector<uint8> thumbnail;
    bool hasPicture = false;
    int read = readPresetInto(job.input, &s, &thumbnail, &hasPicture);
    if (read != exitOk) return read;
    std::printf("%s: %s\n", job.input.c_str(), hasPicture ? "with a thumbnail" : "without a thumbnail");
    for (int k = 0; k < kSettingWordCount; ++k)
        std::printf("  %-13s %d\n", kSettingWords[k].name, int(s.*kSettingWords[k].field));
    std::printf("  %-13s %d\n", "Seed", int(s.seed));
    std::printf("  %-13s %s\n", "Cloud color", hexColour(s.cloudColor).c_str());
    std::printf("  %-13s %s\n", "Sky color", hexColour(s.skyColor).c_str());
    std::printf("  %-13s %g, %g (height %g)\n", "Light", s.lightX, s.lightY, s.lightZ);
    std::printf("  %-13s %g, %g\n", "Centre", s.centreU, s.centreV);
    if (job.thumbnailPath.empty()) return exitOk;
    if (!hasPicture) return fail(exitBadInput, job.input + ": has no thumbnail");
    PngImage picture;
    picture.width = picture.height = thumbnailSide;
    picture.channels = 3;
    picture.pixels = thumbnail;
    std::string error;
    if (!writePng(job.thumbnailPath, picture, &error)) return fail(exitCannotWrite, error);
    return exitOk;
}

// Reads the arguments after the command into `job`.
static int parseArguments(int argc, char** argv, int first, bool allowInput, RenderJob* job, bool* helpAsked)
{
    for (int k = first; k < argc; ++k) {
        std::string arg = argv[k];
        if (arg == "--help" || arg == "-h") {
            *helpAsked = true;
            return exitOk;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            const OptionSpec* option = findOption(arg);
            if (!option) return fail(exitUsage, "unknown option " + arg + " (see 'nimbulo render --help')");
            std::string value;
            if (option->value) {
                if (k + 1 >= argc) return fail(exitUsage, arg + " needs a value: " + option->value);
                value = argv[++k];
            }
            std::string error;
            if (option->text)
                job->*option->text = value;
            else if (option->flag)
                job->*option->flag = true;
            else if (!option->take(*job, value, &error))
                return fail(exitUsage, error);
            continue;
        }
        if (!allowInput || !job->input.empty()) return fail(exitUsage, "unexpected argument '" + arg + "'");
        job->input = arg;
    }
    return exitOk;
}

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h" || command == "help") {
        printMainHelp(stdout);
        return exitOk;
    }
    int first = 2;
    if (command == "preset" && argc > 2 && std::string(argv[2]) == "show") {
        command = "preset show";
        first = 3;
    }
    if (command != "render" && command != "bench" && command != "preset show") {
        printMainHelp(stderr);
        return exitUsage;
    }
    RenderJob job;
    bool helpAsked = false;
    int parsed = parseArguments(argc, argv, first, command != "bench", &job, &helpAsked);
    if (helpAsked) {
        if (command == "render")
            printRenderHelp(stdout);
        else
            printMainHelp(stdout);
        return exitOk;
    }
    if (parsed != exitOk) return parsed;
    if (job.threads) setRenderThreads(job.threads);
    if (command == "preset show") return showPreset(job);
    return command == "render" ? render(job)
                               : runBench(job.pluginPath, job.newWidth ? job.newWidth : 4000,
                                          job.newHeight ? job.newHeight : 3000, job.threads);
}
