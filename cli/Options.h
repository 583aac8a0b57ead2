// The command line of nimbulo: what a render is asked to do, the options
// that say it (one table, each row with its help text), and the help.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "settings/CloudSettings.h"

// The largest side of a picture: the largest document the plug-in declares,
// which the host's 32-bit coordinates carry.
enum { maxSide = 300000 };

struct RenderJob {
    std::vector<std::string> inputs;  // image files ("-": standard input); the presets file for 'preset show'
    std::string output, outDir, formatWord, maskPath, pluginPath, presetPath, savePresetPath, thumbnailPath;
    bool dice = false, ecce = false;
    int newWidth = 0, newHeight = 0;
    int newDepth = 8;  // bits per channel of a --size image: 8 or 16
    bool hasRect = false;
    int rect[4] = {0, 0, 0, 0};  // x, y, w, h
    bool quiet = false;
    int threads = 0;                             // 0: every processor
    int quality = 92;                            // JPEG and lossy WebP output
    bool lossless = false, progressive = false;  // WebP; JPEG
    int compression = 0;                         // TIFF: a TiffCompression
    std::vector<std::pair<const SettingWord*, int32>> words;
    bool hasSeed = false, hasCloud = false, hasSky = false, hasLight = false, hasCentre = false, hasWrap = false;
    int32 wrap = 0;  // a WrapMode
    int32 seed = 0;
    RGB48 cloud{}, sky{};
    float light[2] = {0, 0}, centre[2] = {0, 0};
};

// Reads the arguments after the command into `job`; an exit code. `inputs`
// says how many plain arguments the command takes (0, 1, or any number: -1).
int parseArguments(int argc, char** argv, int first, int inputs, RenderJob* job, bool* helpAsked);

// --wrap's words, in WrapMode's order.
extern const char* const kWrapNames[3];

void printMainHelp(FILE* to);
void printRenderHelp(FILE* to);

// `text` cut at every `separator` (one empty piece for empty text).
std::vector<std::string> splitOn(const std::string& text, char separator);

// The slider's name as an option value: "Lump scale" becomes "lump-scale".
std::string optionName(const char* name);
