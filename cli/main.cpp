// nimbulo: paints clouds over PNG images by running the Nimbulo filter through
// its entry point, the way an image editor does.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/PluginHost.h"
#include "cli/PngFile.h"
#include "cli/System.h"

// Exit codes, as documented in the help text.
enum ExitCode {
    exitOk = 0,
    exitRenderFailed = 1,
    exitUsage = 2,
    exitBadInput = 3,
    exitCannotWrite = 4,
    exitNoPlugin = 5,
    exitInterrupted = 130,
};

static const int maxSide = 32767;  // the interface's rectangles are 16-bit

struct RenderJob {
    std::string input, output, maskPath, pluginPath;
    int newWidth = 0, newHeight = 0;
    bool hasRect = false;
    int rect[4] = {0, 0, 0, 0};  // x, y, w, h
    bool quiet = false;
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

struct OptionSpec {
    const char* name;
    const char* value;  // null: a switch
    const char* help;
    TakeOption take;
};

static bool takeOutput(RenderJob& job, const std::string& v, std::string*)
{
    job.output = v;
    return true;
}

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

static bool takeMask(RenderJob& job, const std::string& v, std::string*)
{
    job.maskPath = v;
    return true;
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

static bool takePlugin(RenderJob& job, const std::string& v, std::string*)
{
    job.pluginPath = v;
    return true;
}

static bool takeQuiet(RenderJob& job, const std::string&, std::string*)
{
    job.quiet = true;
    return true;
}

static const OptionSpec kRenderOptions[] = {
    {"-o", "OUT.png", "write the picture to OUT.png (required)", takeOutput},
    {"--size", "WxH", "paint over a new W by H image filled with the sky colour (instead of IN.png)", takeSize},
    {"--set", "NAME=VALUE", "set a slider (0 to 100) by its name, for example density=70", takeSet},
    {"--seed", "N", "seed of the cloud pattern, 0 to 2047 (default 21)", takeSeed},
    {"--cloud-color", "#RRGGBB", "colour of the lit clouds (default #ECE8F7)", takeCloudColour},
    {"--sky-color", "#RRGGBB", "sky colour: tints the shadows, fills --size images (default #8699B6)", takeSkyColour},
    {"--light", "X,Y", "light direction as a point on the light pad, inside the unit circle (default -0.54,-0.54)",
     takeLight},
    {"--backlighting", nullptr, "light the clouds from behind: dark bodies with glowing edges", takeBacklighting},
    {"--centre", "U,V", "centre of the pattern as fractions of the width and height (default 0.5,0.5)", takeCentre},
    {"--mask", "SEL.png", "selection: a grey PNG of the image's size, white selected, black untouched", takeMask},
    {"--rect", "X,Y,W,H", "filter only this rectangle of the image", takeRect},
    {"--plugin", "PATH", "Windows: the filter module to load (default: Nimbulo.8bf beside nimbulo.exe)", takePlugin},
    {"--quiet", nullptr, "no progress bar", takeQuiet},
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
                 "  nimbulo bench [--size WxH]                     render speed and memory\n"
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

static int fail(int code, const std::string& message)
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

// ---- The render. ----
static void settle(const RenderJob& job, const PngImage& image, CloudSettings* s)
{
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
        s->centreX = int32(job.centre[0] * image.width);
        s->centreY = int32(job.centre[1] * image.height);
    }
}

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
                       [&](CloudSettings* s) { settle(job, image, s); },
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
    return exitOk;
}

static int bench(const RenderJob& job)
{
    int width = job.newWidth ? job.newWidth : 4000, height = job.newHeight ? job.newHeight : 3000;
    std::string error;
    PluginEntryProc entry = loadPlugin(job.pluginPath, &error);
    if (!entry) return fail(exitNoPlugin, error);
    std::string tempFolder = makePrivateTempFolder();

    std::vector<uint8> pixels(size_t(width) * height * 3);
    for (size_t k = 0; k < pixels.size(); k += 3) {
        pixels[k] = 0x86;
        pixels[k + 1] = 0x99;
        pixels[k + 2] = 0xB6;
    }
    size_t before = peakMemoryBytes();
    RunRequest request{HostImage{width, height, 3, pixels.data()}, nullptr, {0, 0, int16(height), int16(width)}, false,
                       nullptr, nullptr, nullptr};
    double start = nowSeconds();
    OSErr result = runFilter(entry, request);
    double seconds = nowSeconds() - start;
    size_t after = peakMemoryBytes();
    removePrivateTempFolder(tempFolder);
    if (result != noErr) return fail(exitRenderFailed, "the filter stopped with error " + std::to_string(result));

    double megapixels = double(width) * height / 1e6;
    std::printf("rendered %d x %d (%.1f megapixels) through the entry point in %.2f s: %.2f megapixels/s\n", width,
                height, megapixels, seconds, megapixels / seconds);
    std::printf("image %.1f MiB; peak memory %.1f MiB before the render, %.1f MiB after\n",
                double(pixels.size()) / (1 << 20), double(before) / (1 << 20), double(after) / (1 << 20));
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
            if (!option->take(*job, value, &error)) return fail(exitUsage, error);
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
    if (command != "render" && command != "bench") {
        printMainHelp(stderr);
        return exitUsage;
    }
    RenderJob job;
    bool helpAsked = false;
    int parsed = parseArguments(argc, argv, 2, command == "render", &job, &helpAsked);
    if (helpAsked) {
        if (command == "render")
            printRenderHelp(stdout);
        else
            printMainHelp(stdout);
        return exitOk;
    }
    if (parsed != exitOk) return parsed;
    return command == "render" ? render(job) : bench(job);
}
