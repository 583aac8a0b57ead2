#include "cli/ImageFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

static void binaryMode(FILE* stream)
{
#ifdef _WIN32
    _setmode(_fileno(stream), _O_BINARY);
#else
    (void)stream;
#endif
}

static bool readWholeFile(const std::string& path, std::vector<uint8_t>* bytes, ImageStatus* status, std::string* error)
{
    bool standardInput = path == "-";
    FILE* f = standardInput ? stdin : std::fopen(path.c_str(), "rb");
    if (!f) {
        *status = errno == ENOENT ? imageMissing : imageUnreadable;
        *error = path + ": " + (errno == ENOENT ? "no such file" : std::strerror(errno));
        return false;
    }
    if (standardInput) binaryMode(stdin);
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    bool failed = std::ferror(f) != 0;
    if (!standardInput) std::fclose(f);
    if (failed) {
        *status = imageUnreadable;
        *error = path + ": cannot be read";
        return false;
    }
    return true;
}

Image eightBitCopy(const Image& image)
{
    if (image.bytesPerSample != 2) return image;
    Image narrow = image;
    narrow.bytesPerSample = 1;
    narrow.pixels.resize(image.pixels.size() / 2);
    for (size_t k = 0; k < narrow.pixels.size(); ++k) {
        uint32_t v;
        uint16_t sample;
        std::memcpy(&sample, &image.pixels[2 * k], 2);
        v = sample;
        narrow.pixels[k] = uint8_t((v * 255u + 32767u) / 65535u);
    }
    return narrow;
}

ImageStatus readImage(const std::string& path, int wantChannels, int maxSide, Image* image, std::string* error)
{
    std::vector<uint8_t> bytes;
    ImageStatus status = imageOk;
    if (!readWholeFile(path, &bytes, &status, error)) return status;
    return decodeImage(bytes.data(), bytes.size(), path == "-" ? "standard input" : path, wantChannels, maxSide, image,
                       error);
}

static std::string lowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

ImageFormat formatForWord(const std::string& word)
{
    std::string w = lowerCase(word);
    if (w == "png") return imagePng;
    if (w == "jpg" || w == "jpeg") return imageJpeg;
    if (w == "bmp") return imageBmp;
    if (w == "tif" || w == "tiff") return imageTiff;
    if (w == "webp") return imageWebp;
    if (w == "heic" || w == "heif") return imageHeif;
    return imageUnknown;
}

ImageFormat formatForName(const std::string& path)
{
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return imageUnknown;
    return formatForWord(path.substr(dot + 1));
}

const char* extensionOf(ImageFormat format)
{
    switch (format) {
    case imageJpeg: return ".jpg";
    case imageBmp: return ".bmp";
    case imageTga: return ".tga";
    case imageTiff: return ".tif";
    case imageWebp: return ".webp";
    case imageHeif: return ".heic";
    default: return ".png";
    }
}

bool formatHolds(ImageFormat format, int width, int height, int channels, int bytesPerSample, std::string* why)
{
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    // The image library keeps a file's byte counts in an int.
    const int64_t pixelBytes = int64_t(channels) * bytesPerSample;
    const int64_t mostBytes = INT32_MAX - 1024;
    switch (format) {
    case imagePng:
        if ((int64_t(width) * pixelBytes + 1) * height > mostBytes) {
            *why = "a PNG nimbulo writes holds at most 2 GiB of pixels, not " + size;
            return false;
        }
        return true;
    case imageJpeg:
        // Its frame header keeps each side in 16 bits.
        if (width > 65535 || height > 65535) {
            *why = "JPEG holds at most 65535 pixels a side, not " + size + "; write PNG";
            return false;
        }
        return true;
    case imageBmp:
        // Rows of 3 or 4 bytes a pixel, each padded to 4 bytes, and the file's size in its header.
        if ((int64_t(width) * (channels == 4 ? 4 : 3) + 3) / 4 * 4 * height > mostBytes) {
            *why = "a BMP file holds at most 2 GiB of pixels, not " + size + "; write PNG";
            return false;
        }
        return true;
    case imageTiff:
        // Its offsets are 32 bits.
        if (int64_t(width) * pixelBytes * height > (int64_t(1) << 32) - (int64_t(1) << 20)) {
            *why = "a TIFF file holds at most 4 GiB of pixels, not " + size;
            return false;
        }
        return true;
    case imageWebp:
        if (width > 16383 || height > 16383) {
            *why = "WebP holds at most 16383 pixels a side, not " + size + "; write PNG";
            return false;
        }
        return true;
    default: return true;
    }
}

bool writeImage(const std::string& path, const Image& image, ImageFormat format, const EncodeOptions& options,
                std::string* error)
{
    std::vector<uint8_t> bytes;
    if (!encodeImage(image, format, options, &bytes, error)) {
        *error = path + ": " + *error;
        return false;
    }
    bool standardOutput = path == "-";
    FILE* f = standardOutput ? stdout : std::fopen(path.c_str(), "wb");
    if (!f) {
        *error = path + ": cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    if (standardOutput) binaryMode(stdout);
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    bool closed = standardOutput ? std::fflush(f) == 0 : std::fclose(f) == 0;
    if (!written || !closed) {
        *error = path + ": cannot be written (disk full?)";
        if (!standardOutput) std::remove(path.c_str());
        return false;
    }
    return true;
}
