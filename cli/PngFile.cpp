#include "cli/PngFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

static bool readWholeFile(const std::string& path, std::vector<uint8_t>* bytes, PngStatus* status, std::string* error)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *status = errno == ENOENT ? pngMissing : pngUnreadable;
        *error = path + ": " + (errno == ENOENT ? "no such file" : std::strerror(errno));
        return false;
    }
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        *status = pngUnreadable;
        *error = path + ": cannot be read";
        return false;
    }
    return true;
}

static uint32_t bigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

PngStatus readPng(const std::string& path, int wantChannels, int maxSide, PngImage* image, std::string* error)
{
    std::vector<uint8_t> bytes;
    PngStatus status = pngOk;
    if (!readWholeFile(path, &bytes, &status, error)) return status;

    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 8 || std::memcmp(bytes.data(), signature, 8) != 0) {
        *error = path + ": not a PNG file";
        return pngNotPng;
    }
    // The header chunk gives the size and format before anything is decoded.
    if (bytes.size() < 33 || std::memcmp(&bytes[12], "IHDR", 4) != 0) {
        *error = path + ": truncated or damaged PNG (no image header)";
        return pngCorrupt;
    }
    uint32_t width = bigEndian32(&bytes[16]), height = bigEndian32(&bytes[20]);
    int depth = bytes[24], colourType = bytes[25];
    if (width == 0 || height == 0 || width > uint32_t(maxSide) || height > uint32_t(maxSide)) {
        *error = path + ": " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels; each side must be 1 to " + std::to_string(maxSide);
        return pngTooLarge;
    }

    image->note.clear();
    if (colourType == 3) image->note = "palette image converted to RGB";
    if (depth == 16) image->note = "16-bit image reduced to 8 bits per channel";

    int w = 0, h = 0, channels = 0;
    stbi_uc* decoded = stbi_load_from_memory(bytes.data(), int(bytes.size()), &w, &h, &channels, wantChannels);
    if (!decoded) {
        *error = path + ": truncated or damaged PNG (" + stbi_failure_reason() + ")";
        return pngCorrupt;
    }
    if (wantChannels != 0) {
        if (wantChannels == 1 && channels > 2) image->note = "colour converted to grey";
        channels = wantChannels;
    }
    image->width = w;
    image->height = h;
    image->channels = channels;
    image->pixels.assign(decoded, decoded + size_t(w) * size_t(h) * size_t(channels));
    stbi_image_free(decoded);
    return pngOk;
}

static void appendToFile(void* context, void* data, int size)
{
    auto* state = static_cast<std::pair<FILE*, bool>*>(context);
    if (std::fwrite(data, 1, size_t(size), state->first) != size_t(size)) state->second = false;
}

bool writePng(const std::string& path, const PngImage& image, std::string* error)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        *error = path + ": cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    std::pair<FILE*, bool> state(f, true);
    int encoded = stbi_write_png_to_func(appendToFile, &state, image.width, image.height, image.channels,
                                         image.pixels.data(), image.width * image.channels);
    bool closed = std::fclose(f) == 0;
    if (!encoded || !state.second || !closed) {
        *error = path + ": cannot be written (disk full?)";
        std::remove(path.c_str());
        return false;
    }
    return true;
}
