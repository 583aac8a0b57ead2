// PNG files for the command line, through the stb image library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PngImage {
    int width = 0, height = 0;
    int channels = 0;            // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
    std::vector<uint8_t> pixels; // interleaved, rows from the top
    std::string note;            // what was converted on the way in, if anything
};

enum PngStatus { pngOk, pngMissing, pngUnreadable, pngNotPng, pngCorrupt, pngTooLarge };

// Reads `path`. `wantChannels` 0 keeps the file's channels; 1 converts to grey.
// Sides longer than `maxSide` are refused before decoding.
PngStatus readPng(const std::string& path, int wantChannels, int maxSide, PngImage* image, std::string* error);

// Writes the image; false with a reason when the file cannot be written.
bool writePng(const std::string& path, const PngImage& image, std::string* error);
