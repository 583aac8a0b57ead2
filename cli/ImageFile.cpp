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
    // A file's size known ahead: its bytes held once, not in a buffer grown by doubling.
    if (!standardInput && std::fseek(f, 0, SEEK_END) == 0) {
        long length = std::ftell(f);
        if (length > 0) bytes->reserve(size_t(length));
        std::rewind(f);
    }
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
    Image narrow = image;
    narrowToEightBits(&narrow);
    return narrow;
}

void narrowToEightBits(Image* image)
{
    if (image->bytesPerSample != 2) return;
    // Front to back: sample k is read (at 2k) before byte k is written.
    const size_t samples = image->pixels.size() / 2;
    for (size_t k = 0; k < samples; ++k) {
        uint16_t sample;
        std::memcpy(&sample, &image->pixels[2 * k], 2);
        image->pixels[k] = uint8_t((uint32_t(sample) * 255u + 32767u) / 65535u);
    }
    image->pixels.resize(samples);
    image->pixels.shrink_to_fit();
    image->bytesPerSample = 1;
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

bool formatHoldsSixteenBits(ImageFormat format) { return format == imagePng || format == imageTiff; }

bool formatHolds(ImageFormat format, int width, int height, int channels, int bytesPerSample, std::string* why)
{
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    // The image library keeps a file's byte counts in an int.
    const int64_t pixelBytes = int64_t(channels) * bytesPerSample;
    const int64_t mostBytes = INT32_MAX - 1024;
    switch (format) {
    case imagePng:
#ifdef NIMBULO_LIBRARY_CODECS
        // libpng writes row by row: the format's own 31-bit sides are the limit.
        (void)mostBytes;
        return true;
#endif
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
#ifdef _WIN32
        // The system's encoder writes classic TIFF, whose offsets are 32 bits.
        if (int64_t(width) * pixelBytes * height > (int64_t(1) << 32) - (int64_t(1) << 20)) {
            *why = "a TIFF file holds at most 4 GiB of pixels, not " + size;
            return false;
        }
#endif
        return true;  // libtiff writes BigTIFF beyond 4 GiB
    case imageWebp:
        // Its frame header keeps each side in 14 bits.
        if (width > 16383 || height > 16383) {
            *why = "WebP holds at most 16383 pixels a side, not " + size + "; write PNG or TIFF";
            return false;
        }
        return true;
    default: return true;
    }
}

// A file or standard output as an encoder's destination.
class FileSink : public ByteSink {
public:
    FileSink(FILE* file, bool seekable) : file_(file), seekable_(seekable) {}
    bool write(const uint8_t* data, size_t size) override
    {
        if (!settle()) return false;
        position_ += size;
        return std::fwrite(data, 1, size, file_) == size;
    }
    bool seek(uint64_t offset) override
    {
        if (!seekable_) return false;
        moved_ = moved_ || offset != position_;
        position_ = offset;
        return true;
    }
    size_t read(uint8_t* data, size_t size) override
    {
        if (!seekable_) return 0;
        moved_ = true;  // reading and writing meet only across a seek
        if (!settle()) return 0;
        size_t got = std::fread(data, 1, size, file_);
        position_ += got;
        moved_ = true;
        return got;
    }

private:
    // The stream at the position asked for, after a seek (the rows of PNG and
    // JPEG, written straight on, never need one).
    bool settle()
    {
        if (!moved_) return true;
        moved_ = false;
#ifdef _WIN32
        return _fseeki64(file_, int64_t(position_), SEEK_SET) == 0;
#else
        return fseeko(file_, off_t(position_), SEEK_SET) == 0;
#endif
    }
    FILE* file_;
    bool seekable_;
    bool moved_ = false;
    uint64_t position_ = 0;
};

#ifndef NIMBULO_LIBRARY_CODECS
// Codecs that make the whole file in memory, handed over at once.
bool encodeImageTo(const Image& image, ImageFormat format, const EncodeOptions& options, ByteSink* sink,
                   std::string* error)
{
    std::vector<uint8_t> bytes;
    if (!encodeImage(image, format, options, &bytes, error)) return false;
    if (sink->write(bytes.data(), bytes.size())) return true;
    *error = "cannot be written (disk full?)";
    return false;
}
#endif

bool writeImage(const std::string& path, const Image& image, ImageFormat format, const EncodeOptions& options,
                std::string* error)
{
    std::string why;
    if (!formatHolds(format, image.width, image.height, image.channels, image.bytesPerSample, &why)) {
        *error = path + ": " + why;
        return false;
    }
    bool standardOutput = path == "-";
    FILE* f = standardOutput ? stdout : std::fopen(path.c_str(), "w+b");
    if (!f) {
        *error = path + ": cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    if (standardOutput) binaryMode(stdout);
    FileSink sink(f, !standardOutput);
    bool written = encodeImageTo(image, format, options, &sink, &why);
    bool closed = standardOutput ? std::fflush(f) == 0 : std::fclose(f) == 0;
    if (!written || !closed) {
        *error = path + ": " + (written ? "cannot be written (disk full?)" : why);
        if (!standardOutput) std::remove(path.c_str());
        return false;
    }
    return true;
}
