#include "cli/Render.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>

#include "cli/Commands.h"
#include "cli/ImageFile.h"
#include "cli/PluginHost.h"
#include "cli/PresetFiles.h"
#include "cli/System.h"
#include "host/Context.h"
#include "render/Compose16.h"
#include "render/Random.h"
#include "settings/PresetFile.h"

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

// The settings of a render: defaults, then the presets file, then Dice or
// Ecce, then the options given one by one.
static int composeSettings(const RenderJob& job, const Image& image, CloudSettings* s)
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
        // As a presets file keeps it: to the hundredth.
        for (float* f : {&s->lightX, &s->lightY, &s->lightZ}) *f = fromHundredths(hundredthsWord(*f));
    }
    if (job.hasWrap) s->wrap = job.wrap;
    if (job.hasCentre) {
        s->centreU = fromOriginWord(originWord(job.centre[0]));
        s->centreV = fromOriginWord(originWord(job.centre[1]));
    }
    // A picture saved with its settings is painted as the file keeps them, so
    // that --preset paints it again.
    if (!job.savePresetPath.empty()) bringToFilePrecision(s);
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
    copyLook(block, &look);
    block->centreX = look.centreX;
    block->centreY = look.centreY;
}

// ---- The render. ----
// A new image of the sky colour of the settings in force, as an editor's new
// document would be before the filter runs.
static void fillWithSky(const CloudSettings& look, int depth, Image* image)
{
    image->channels = 3;
    image->bytesPerSample = depth == 16 ? 2 : 1;
    const size_t samples = size_t(image->width) * image->height * 3;
    image->pixels.resize(samples * image->bytesPerSample);
    const uint16 sky[3] = {look.skyColor.red, look.skyColor.green, look.skyColor.blue};
    for (size_t k = 0; k < samples; ++k) {
        uint16 v = sky[k % 3];
        if (depth == 16)
            std::memcpy(&image->pixels[2 * k], &v, 2);
        else
            image->pixels[k] = uint8(v >> 8);
    }
}

// A 16-bit file's samples (0..65535) in the host's range (0..32768, white at
// 32768), in place; the file's own values are kept in `file`.
static void toHostRange(Image* image, std::vector<uint8>* file)
{
    if (image->bytesPerSample != 2) return;
    *file = image->pixels;
    for (size_t k = 0; k + 1 < image->pixels.size(); k += 2) {
        uint16 v;
        std::memcpy(&v, &image->pixels[k], 2);
        v = uint16(sample16FromFull(v));
        std::memcpy(&image->pixels[k], &v, 2);
    }
}

// And back: a sample the filter left as it was gets the file's own value
// again (the two ranges do not map one to one), a changed one its new value.
static void fromHostRange(Image* image, const std::vector<uint8>& file)
{
    if (image->bytesPerSample != 2) return;
    for (size_t k = 0; k + 1 < image->pixels.size(); k += 2) {
        uint16 v, before;
        std::memcpy(&v, &image->pixels[k], 2);
        std::memcpy(&before, &file[k], 2);
        if (v != sample16FromFull(before)) {
            v = uint16(fullFromSample16(v > 32768 ? 32768 : v));
            std::memcpy(&image->pixels[k], &v, 2);
        } else {
            std::memcpy(&image->pixels[k], &before, 2);
        }
    }
}

static int readMask(const RenderJob& job, const Image& image, Image* mask)
{
    if (job.maskPath.empty()) return exitOk;
    std::string error;
    if (readImage(job.maskPath, 1, maxSide, mask, &error) != imageOk) return fail(exitBadInput, error);
    if (mask->width != image.width || mask->height != image.height)
        return fail(exitBadInput, job.maskPath + ": the mask is " + std::to_string(mask->width) + " x " +
                                      std::to_string(mask->height) + " but the image is " +
                                      std::to_string(image.width) + " x " + std::to_string(image.height));
    return exitOk;
}

// What every picture of a render shares: the filter, and a temporary folder
// of its own, so the filter never meets the settings an editor cached.
struct Session {
    PluginEntryProc entry = nullptr;
    std::string tempFolder;
};

static int openSession(const RenderJob& job, Session* session)
{
    session->tempFolder = makePrivateTempFolder();
    if (session->tempFolder.empty()) return fail(exitCannotWrite, "cannot create a private temporary folder");
    std::string error;
    session->entry = loadPlugin(job.pluginPath, &error);
    if (!session->entry) {
        removePrivateTempFolder(session->tempFolder);
        return fail(exitNoPlugin, error);
    }
    return exitOk;
}

// Runs the filter over `image` (and the selection `mask`) with `look`.
static int paint(const RenderJob& job, const Session& session, const CloudSettings& look, const Image& mask,
                 Image* image)
{
    VRect filterRect = {0, 0, image->height, image->width};
    if (job.hasRect) {
        const int* r = job.rect;
        if (r[0] + r[2] > image->width || r[1] + r[3] > image->height)
            return fail(exitUsage, "--rect " + std::to_string(r[0]) + "," + std::to_string(r[1]) + "," +
                                       std::to_string(r[2]) + "," + std::to_string(r[3]) + " reaches outside the " +
                                       std::to_string(image->width) + " x " + std::to_string(image->height) + " image");
        filterRect = {r[1], r[0], r[1] + r[3], r[0] + r[2]};
    }
    bool showProgress = !job.quiet && stderrIsTerminal();
    HostImage pixels{image->width, image->height, image->channels, image->pixels.data(), image->bytesPerSample};
    HostImage selection{mask.width, mask.height, 1, const_cast<uint8*>(mask.pixels.data())};
    RunRequest request{pixels,
                       job.maskPath.empty() ? nullptr : &selection,
                       filterRect,
                       image->channels == 2 || image->channels == 4,
                       [&](CloudSettings* s) { settle(look, s); },
                       showProgress ? drawProgress : std::function<void(int32, int32)>(),
                       interruptRequested};
    std::vector<uint8> fileSamples;
    toHostRange(image, &fileSamples);
    OSErr result = runFilter(session.entry, request);
    fromHostRange(image, fileSamples);
    if (showProgress) {
        if (result == noErr) drawProgress(1, 1);
        std::fprintf(stderr, "\n");
    }
    if (result == noErr) return exitOk;
    if (result == userCanceledErr && interruptRequested())
        return fail(exitInterrupted, "interrupted; no output written");
    if (result == pluginTooSmallForDocument)
        return fail(exitRenderFailed, "this plug-in takes no picture larger than 32767 pixels a side");
    return fail(exitRenderFailed, "the filter stopped with error " + std::to_string(result) +
                                      (result == memFullErr ? " (not enough memory)" : ""));
}

// Writes `image` to `output` ("-": standard output): beside it first, then in
// its place, so an existing file is replaced whole or not at all.
static int writeOutput(const std::string& output, const Image& image, ImageFormat format, const EncodeOptions& options)
{
    std::string error;
    if (output == "-") return writeImage("-", image, format, options, &error) ? exitOk : fail(exitCannotWrite, error);
    std::string partial = output + ".partial";
    if (!writeImage(partial, image, format, options, &error)) {
        std::remove(partial.c_str());  // claimed before the work
        return fail(exitCannotWrite, error);
    }
    if (!replaceFile(partial, output)) {
        std::remove(partial.c_str());
        return fail(exitCannotWrite, output + ": cannot be replaced");
    }
    return exitOk;
}

// Claims an output before the work (its file beside it stays until the
// picture is written), so that an unwritable place fails at once.
static int claimOutput(const std::string& output)
{
    if (output == "-") return exitOk;
    std::string partial = output + ".partial";
    FILE* probe = std::fopen(partial.c_str(), "wb");
    if (!probe) return fail(exitCannotWrite, output + ": cannot be written (" + std::strerror(errno) + ")");
    std::fclose(probe);
    return exitOk;
}

// One picture: read (or made), painted, written.
static int renderPicture(const RenderJob& job, const Session& session, const std::string& input,
                         const std::string& output, ImageFormat format)
{
    Image image, mask;
    std::string error;
    if (!input.empty()) {
        if (readImage(input, 0, maxSide, &image, &error) != imageOk) return fail(exitBadInput, error);
        if (!image.note.empty() && !job.quiet)
            std::fprintf(stderr, "nimbulo: note: %s: %s\n", input == "-" ? "standard input" : input.c_str(),
                         image.note.c_str());
    } else {
        image.width = job.newWidth;
        image.height = job.newHeight;
    }
    CloudSettings look;
    int composed = composeSettings(job, image, &look);
    if (composed != exitOk) return composed;
    // A size the output's format cannot hold is refused before the work.
    const int channels = input.empty() ? 3 : image.channels;
    const int outputBytes =
        !formatHoldsSixteenBits(format) ? 1 : (input.empty() ? job.newDepth / 8 : image.bytesPerSample);
    if (!formatHolds(format, image.width, image.height, channels, outputBytes, &error))
        return fail(exitUsage, output + ": " + error);
    if (input.empty()) fillWithSky(look, job.newDepth, &image);
    int masked = readMask(job, image, &mask);
    if (masked != exitOk) return masked;
    if (format == imageBmp && !image.metadata.iccProfile.empty() && !job.quiet)
        std::fprintf(stderr, "nimbulo: note: %s: BMP holds no colour profile; the input's is not kept\n",
                     output.c_str());
    int claimed = claimOutput(output);
    if (claimed != exitOk) return claimed;
    int painted = paint(job, session, look, mask, &image);
    if (painted != exitOk) {
        if (output != "-") std::remove((output + ".partial").c_str());
        return painted;
    }
    // Narrowed in place where needed: a large picture is never held twice.
    if (image.bytesPerSample == 2 && !formatHoldsSixteenBits(format)) {
        if (!job.quiet)
            std::fprintf(stderr, "nimbulo: note: %s: written with 8 bits per channel (only PNG and TIFF hold 16)\n",
                         output.c_str());
        narrowToEightBits(&image);
    }
    if (format == imageWebp && image.channels <= 2 && !job.quiet)
        std::fprintf(stderr, "nimbulo: note: %s: WebP holds no grey; written as RGB\n", output.c_str());
    EncodeOptions options;
    options.quality = job.quality;
    options.lossless = job.lossless;
    options.progressive = job.progressive;
    options.tiffCompression = TiffCompression(job.compression);
    int written = writeOutput(output, image, format, options);
    if (written != exitOk) return written;
    if (!job.savePresetPath.empty()) {
        narrowToEightBits(&image);
        return savePreset(job.savePresetPath, look, image);
    }
    return exitOk;
}

// The same, with a picture too large for this machine's memory refused in words.
static int renderOne(const RenderJob& job, const Session& session, const std::string& input, const std::string& output,
                     ImageFormat format)
{
    try {
        return renderPicture(job, session, input, output, format);
    } catch (const std::bad_alloc&) {
        if (output != "-") std::remove((output + ".partial").c_str());
        return fail(exitRenderFailed, output + ": not enough memory for the picture; no output written");
    }
}

// The file name part of a path.
static std::string baseName(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Every input into the folder under its own name; unreadable ones are
// reported and skipped, and the first failure's code is the outcome.
static int renderBatch(const RenderJob& job, const Session& session)
{
    ImageFormat chosen = job.formatWord.empty() ? imageUnknown : formatForWord(job.formatWord);
    if (chosen != imageUnknown && !canWriteFormat(chosen))
        return fail(exitUsage, "--format " + job.formatWord + ": this build does not write it (see 'nimbulo --help')");
    int outcome = exitOk, painted = 0;
    for (const std::string& input : job.inputs) {
        if (input == "-") return fail(exitUsage, "a batch reads files, not standard input");
        std::string name = baseName(input);
        ImageFormat format = chosen != imageUnknown ? chosen : formatForName(name);
        if (format == imageUnknown || chosen != imageUnknown || !canWriteFormat(format)) {
            // The input's own format when it can be written; PNG otherwise (TGA).
            if (format == imageUnknown || !canWriteFormat(format)) format = imagePng;
            size_t dot = name.find_last_of('.');
            name = (dot == std::string::npos ? name : name.substr(0, dot)) + extensionOf(format);
        }
        std::string output = job.outDir + "/" + name;
        int one = renderOne(job, session, input, output, format);
        if (one == exitInterrupted) return one;
        if (one == exitOk) {
            ++painted;
        } else if (outcome == exitOk) {
            outcome = one;
        }
    }
    if (outcome != exitOk)
        fail(outcome, "painted " + std::to_string(painted) + " of " + std::to_string(job.inputs.size()) +
                          " inputs; the others are named above");
    return outcome;
}

int renderCommand(const RenderJob& job)
{
    const bool sized = job.newWidth != 0;
    if (!job.outDir.empty()) {
        if (job.inputs.empty() || sized) return fail(exitUsage, "--out-dir paints input files: name them");
        if (!job.output.empty()) return fail(exitUsage, "give -o for one picture or --out-dir for several, not both");
        if (!job.savePresetPath.empty()) return fail(exitUsage, "--save-preset takes one picture, not a batch");
        Session session;
        int opened = openSession(job, &session);
        if (opened != exitOk) return opened;
        catchInterrupts();
        int outcome = renderBatch(job, session);
        removePrivateTempFolder(session.tempFolder);
        return outcome;
    }
    if (job.inputs.size() > 1) return fail(exitUsage, "several inputs need --out-dir DIR");
    if (job.inputs.empty() == !sized)
        return fail(exitUsage, "give either IN or --size WxH (see 'nimbulo render --help')");
    if (job.output.empty()) return fail(exitUsage, "no output: add -o OUT");
    if (job.newDepth != 8 && !sized) return fail(exitUsage, "--depth goes with --size: an input keeps its own depth");
    if (!job.formatWord.empty())
        return fail(exitUsage, "--format goes with --out-dir; -o takes the format from its name");
    ImageFormat format = job.output == "-" ? imagePng : formatForName(job.output);
    if (format == imageUnknown)
        return fail(exitUsage,
                    job.output + ": the output's name must end in .png, .jpg, .jpeg, .bmp, .tif, .tiff or .webp");
    if (!canWriteFormat(format))
        return fail(exitUsage, job.output + ": this build of nimbulo does not write " + extensionOf(format) + " files");
    Session session;
    int opened = openSession(job, &session);
    if (opened != exitOk) return opened;
    catchInterrupts();
    int outcome = renderOne(job, session, sized ? std::string() : job.inputs[0], job.output, format);
    removePrivateTempFolder(session.tempFolder);
    return outcome;
}
