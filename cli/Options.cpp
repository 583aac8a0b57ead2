#include "cli/Options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "cli/Commands.h"
#include "cli/ImageFile.h"

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

std::vector<std::string> splitOn(const std::string& text, char separator)
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
    if (int64_t(w) * h > maxImagePixels) {
        *error = "--size " + v + " is too large: at most " + std::to_string(maxImagePixels >> 20) + " megapixels";
        return false;
    }
    job.newWidth = int(w);
    job.newHeight = int(h);
    return true;
}

static bool takeDepth(RenderJob& job, const std::string& v, std::string* error)
{
    if (v != "8" && v != "16") {
        *error = "--depth takes 8 or 16 (bits per channel), not '" + v + "'";
        return false;
    }
    job.newDepth = v == "16" ? 16 : 8;
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

const char* const kWrapNames[3] = {"none", "x", "xy"};

static bool takeWrap(RenderJob& job, const std::string& v, std::string* error)
{
    for (int32 mode = 0; mode < 3; ++mode)
        if (v == kWrapNames[mode]) {
            job.hasWrap = true;
            job.wrap = mode;
            return true;
        }
    *error = "--wrap takes none, x or xy, not '" + v + "'";
    return false;
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

static bool takeQuality(RenderJob& job, const std::string& v, std::string* error)
{
    long n = 0;
    if (!parseInt(v, &n) || n < 1 || n > 100) {
        *error = "--quality takes a quality from 1 to 100, not '" + v + "'";
        return false;
    }
    job.quality = int(n);
    return true;
}

static bool takeFormat(RenderJob& job, const std::string& v, std::string* error)
{
    ImageFormat format = formatForWord(v);
    if (format == imageUnknown || !canWriteFormat(format)) {
        *error = "--format takes png, jpg, bmp, tif or webp (as this build writes them), not '" + v + "'";
        return false;
    }
    job.formatWord = v;
    return true;
}

static bool takeCompression(RenderJob& job, const std::string& v, std::string* error)
{
    const char* const words[3] = {"deflate", "lzw", "none"};  // in TiffCompression's order
    for (int k = 0; k < 3; ++k)
        if (v == words[k]) {
            job.compression = k;
            return true;
        }
    *error = "--compression takes deflate, lzw or none, not '" + v + "'";
    return false;
}

static const OptionSpec kRenderOptions[] = {
    {"-o", "OUT", "write the picture to OUT: .png, .jpg, .tif, .webp or .bmp; - is standard output (PNG)", nullptr,
     &RenderJob::output, nullptr},
    {"--out-dir", "DIR", "with several inputs: write each picture into DIR under its own name", nullptr,
     &RenderJob::outDir, nullptr},
    {"--format", "png|jpg|tif|webp|bmp", "with --out-dir: the format of the pictures (default: each input's)",
     takeFormat},
    {"--quality", "N", "JPEG and lossy WebP quality, 1 to 100 (default 92)", takeQuality},
    {"--progressive", nullptr, "JPEG: written progressively (shown coarse first while it loads)", nullptr, nullptr,
     &RenderJob::progressive},
    {"--lossless", nullptr, "WebP: lossless (default: lossy, at --quality)", nullptr, nullptr, &RenderJob::lossless},
    {"--compression", "deflate|lzw|none", "TIFF: how the pixels are compressed (default deflate)", takeCompression},
    {"--size", "WxH", "paint over a new W by H image filled with the sky colour (instead of IN)", takeSize},
    {"--depth", "8|16", "with --size: bits per channel of the new image (default 8; 16: a 16-bit PNG or TIFF)",
     takeDepth},
    {"--set", "NAME=VALUE", "set a slider (0 to 100) by its name, for example density=70", takeSet},
    {"--seed", "N", "seed of the cloud pattern, 0 to 2047 (default 21)", takeSeed},
    {"--cloud-color", "#RRGGBB", "colour of the lit clouds (default #ECE8F7)", takeCloudColour},
    {"--sky-color", "#RRGGBB", "sky colour: tints the shadows, fills --size images (default #8699B6)", takeSkyColour},
    {"--light", "X,Y",
     "light direction as a point on the light pad, inside the unit circle, to the hundredth "
     "(default -0.54,-0.54)",
     takeLight},
    {"--backlighting", nullptr, "light the clouds from behind: dark bodies with glowing edges", takeBacklighting},
    {"--centre", "U,V", "centre of the pattern as fractions of the width and height (default 0.5,0.5)", takeCentre},
    {"--wrap", "none|x|xy",
     "seamless clouds: x repeats left to right (a panorama), xy both ways (a tile); none (default) does not", takeWrap},
    {"--mask", "SEL", "selection: a grey image of the image's size, white selected, black untouched", nullptr,
     &RenderJob::maskPath, nullptr},
    {"--rect", "X,Y,W,H", "filter only this rectangle of the image", takeRect},
    {"--preset", "FILE.k00", "start from the settings of a presets file (options given too override it)", nullptr,
     &RenderJob::presetPath, nullptr},
    {"--save-preset", "OUT.k00", "also save the settings used, with a thumbnail of the picture, as a presets file",
     nullptr, &RenderJob::savePresetPath, nullptr},
    {"--dice", nullptr, "invent random settings, as the dialog's Dice button (printed, to reproduce the look)", nullptr,
     nullptr, &RenderJob::dice},
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
void printMainHelp(FILE* to)
{
    std::fprintf(to,
                 "nimbulo - paints procedural clouds over images with the Nimbulo filter\n"
                 "\n"
                 "usage:\n"
                 "  nimbulo render IN -o OUT [options]              clouds over an image (PNG, JPEG, TIFF, WebP, ...)\n"
                 "  nimbulo render --size WxH -o OUT [options]      clouds over a new sky\n"
                 "  nimbulo render IN... --out-dir DIR [options]    the same clouds over every input\n"
                 "  nimbulo preset show FILE.k00 [--thumbnail OUT.png]  the settings of a presets file\n"
                 "  nimbulo bench [--size WxH] [--threads N] [--preset FILE.k00[,...]] [--wrap x|xy]\n"
                 "                                                   render speed (1 thread and all, quiet and busy) "
                 "and memory;\n"
                 "                                                   --preset: the looks of those files in turn "
                 "(defaults: the default look);\n"
                 "                                                   --wrap: each look also seamless, up to that mode\n"
                 "  nimbulo render --help                           every render option\n"
                 "  nimbulo --version                               the version\n"
                 "\n"
                 "exit codes:\n"
                 "  0 done; 1 the filter reported an error; 2 bad command line;\n"
                 "  3 an input file is missing, unreadable or not a usable image (in a batch: any of them);\n"
                 "  4 an output cannot be written; 5 the filter module cannot be loaded;\n"
                 "  130 interrupted with Ctrl-C (no output is written).\n");
    std::fprintf(to, "\nimage files: this build %s.\n", formatsOffered().c_str());
}

void printRenderHelp(FILE* to)
{
    std::fprintf(to,
                 "usage: nimbulo render (IN | --size WxH) -o OUT [options]\n"
                 "       nimbulo render IN... --out-dir DIR [--format png|jpg|tif|webp|bmp] [options]\n"
                 "\n"
                 "Paints clouds over IN, or over a new image of the sky colour. Inputs are PNG,\n"
                 "JPEG, TIFF, WebP, BMP or TGA, known by their content; the output's format\n"
                 "follows its name (.png, .jpg or .jpeg, .tif or .tiff, .webp, .bmp). An EXIF\n"
                 "orientation is applied, so the output is upright (its tag says so). The ICC\n"
                 "colour profile, EXIF (the camera, the dates), XMP and IPTC are carried into\n"
                 "outputs that can hold them: PNG (profile, EXIF, XMP), JPEG (all), TIFF\n"
                 "(profile, XMP, IPTC, the camera's tags and times), WebP (profile, EXIF,\n"
                 "XMP); BMP holds none. RGBA and grey+alpha images are layers: the clouds\n"
                 "respect and extend their transparency. Grey images stay grey (WebP has no\n"
                 "grey: RGB). A 16-bit PNG or TIFF is painted at 16 bits per channel and\n"
                 "written so as PNG or TIFF (as JPEG, WebP or BMP it is reduced to 8 bits,\n"
                 "and a note says so); palette images are converted to RGB. Each output is\n"
                 "written beside its place "
                 "and renamed at the end, so it is never left half done.\n"
                 "\n"
                 "IN may be - (standard input) and OUT - (standard output, as PNG; notes and\n"
                 "progress go to standard error). With several inputs and --out-dir, each is\n"
                 "painted into DIR under its own file name; one that cannot be read is reported\n"
                 "and skipped, and the exit code says so.\n"
                 "\n"
                 "The light is kept to the hundredth and the centre to 1/65536, as a presets\n"
                 "file keeps them (with --save-preset, all settings are painted as the file will\n"
                 "hold them), so --preset with a saved file paints the same picture again.\n"
                 "\n"
                 "examples:\n"
                 "  nimbulo render photo.jpg -o cloudy.jpg --quality 95\n"
                 "  nimbulo render --size 1920x1080 --preset evening.k00 -o sky.png\n"
                 "  cat photo.png | nimbulo render - -o - --seed 812 > cloudy.png\n"
                 "  nimbulo render shots/*.jpg --out-dir cloudy --format png\n"
                 "  nimbulo render scan.tif -o cloudy.tif --compression lzw\n"
                 "  nimbulo render photo.jpg -o cloudy.webp --lossless\n"
                 "\n"
                 "options:\n");
    for (const OptionSpec& o : kRenderOptions) {
        std::string left = std::string(o.name) + (o.value ? std::string(" ") + o.value : "");
        // A name too long for its column has its words on the next line, in the column.
        if (left.size() > 24)
            std::fprintf(to, "  %s\n  %-24s %s\n", left.c_str(), "", o.help);
        else
            std::fprintf(to, "  %-24s %s\n", left.c_str(), o.help);
    }
    std::fprintf(to, "\nsettings for --set (sliders 0 to 100, Backlighting 0 or 1):\n ");
    for (int k = 0; k < kSettingWordCount; ++k)
        std::fprintf(to, " %s (%d)%s", kSettingWords[k].name, kSettingWords[k].defaultValue,
                     k + 1 < kSettingWordCount ? "," : "\n");
    std::fprintf(to,
                 "  Names are case-insensitive; write 'lump-scale' or 'lump_scale' for 'Lump scale'.\n"
                 "\nexit codes: see 'nimbulo --help'.\n");
}

int parseArguments(int argc, char** argv, int first, int inputs, RenderJob* job, bool* helpAsked)
{
    for (int k = first; k < argc; ++k) {
        std::string arg = argv[k];
        if (arg == "--help" || arg == "-h") {
            *helpAsked = true;
            return exitOk;
        }
        if (arg.size() > 1 && arg[0] == '-') {  // "-" alone is standard input
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
        if (inputs >= 0 && int(job->inputs.size()) >= inputs)
            return fail(exitUsage, "unexpected argument '" + arg + "'");
        job->inputs.push_back(arg);
    }
    return exitOk;
}

std::string optionName(const char* name)
{
    std::string out;
    for (const char* c = name; *c; ++c) out += *c == ' ' ? '-' : char(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
    return out;
}
