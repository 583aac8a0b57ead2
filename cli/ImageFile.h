// Image files for the command line: read by their content, written by the
// name's extension; "-" is standard input or output. A JPEG's EXIF
// orientation is applied on reading; an ICC profile is carried into PNG and
// JPEG outputs (ImageMetadata.h). Which formats a build reads and writes
// depends on its codecs (ImageCodecs*.cpp): canReadFormat, canWriteFormat.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/ImageMetadata.h"

enum ImageFormat { imagePng, imageJpeg, imageBmp, imageTga, imageTiff, imageWebp, imageHeif, imageUnknown };

// How a file is written, beyond its format.
enum TiffCompression { tiffDeflate, tiffLzw, tiffNone };
struct EncodeOptions {
    int quality = 92;       // JPEG, lossy WebP and HEIF: 1 to 100
    bool lossless = false;  // WebP
    TiffCompression tiffCompression = tiffDeflate;
    bool progressive = false;  // JPEG: refined in several scans
};

struct Image {
    int width = 0, height = 0;
    int channels = 0;                   // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
    std::vector<uint8_t> pixels;        // interleaved, rows from the top
    int bytesPerSample = 1;             // 2: 16-bit samples 0..65535, native order (16-bit PNG)
    std::string note;                   // what was converted on the way in, if anything
    ImageFormat format = imageUnknown;  // of the file read
    ImageMetadata metadata;
};

enum ImageStatus { imageOk, imageMissing, imageUnreadable, imageUnknownFormat, imageCorrupt, imageTooLarge };

// The largest picture read: sides up to `maxSide`, and at most this many pixels.
enum : int64_t { maxImagePixels = int64_t(1) << 30 };

// Reads `path` ("-": standard input). `wantChannels` 0 keeps the file's
// channels and a 16-bit PNG's depth; 1 converts to 8-bit grey. Sizes beyond
// `maxSide` are refused before anything is decoded.
ImageStatus readImage(const std::string& path, int wantChannels, int maxSide, Image* image, std::string* error);

// The same on bytes in memory; `name` is used in messages. (The codecs.)
ImageStatus decodeImage(const uint8_t* bytes, size_t size, const std::string& name, int wantChannels, int maxSide,
                        Image* image, std::string* error);

// The format an output name asks for: .png, .jpg or .jpeg, .bmp, .tif or
// .tiff, .webp (any case).
ImageFormat formatForName(const std::string& path);
ImageFormat formatForWord(const std::string& word);  // "png", "jpg", "jpeg", "bmp", "tif", "tiff", "webp"
const char* extensionOf(ImageFormat format);         // ".png", ".jpg", ".bmp", ".tif", ".webp"

// Whether files of `format` hold 16 bits per channel (PNG and TIFF).
bool formatHoldsSixteenBits(ImageFormat format);

// The same picture at 8 bits per channel: (v x 255 + 32767) / 65535.
Image eightBitCopy(const Image& image);
// The same, in place (no second copy of a large picture); 8-bit images are left alone.
void narrowToEightBits(Image* image);

// Whether a file of `format` can hold a picture of width x height with
// `channels` samples of `bytesPerSample` a pixel; if not, why, in words for
// the user.
bool formatHolds(ImageFormat format, int width, int height, int channels, int bytesPerSample, std::string* why);

// The file's bytes. A 16-bit image is written as a 16-bit PNG (or TIFF,
// where the build writes TIFF); the other formats need an 8-bit one. (The codecs.)
bool encodeImage(const Image& image, ImageFormat format, const EncodeOptions& options, std::vector<uint8_t>* bytes,
                 std::string* error);

// Where an encoder's bytes go as they are made (a file, standard output,
// memory), so that a large picture is never held twice.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when the bytes could not be kept (a full disk); the encoder stops.
    virtual bool write(const uint8_t* data, size_t size) = 0;
    // A file on disk can also be gone back in (TIFF writes its directories
    // last and links them): the position moved, bytes read back. A pipe or
    // standard output cannot: false and 0.
    virtual bool seek(uint64_t) { return false; }
    virtual size_t read(uint8_t*, size_t) { return 0; }
};

// encodeImage's bytes, handed to `sink` as they are made.
bool encodeImageTo(const Image& image, ImageFormat format, const EncodeOptions& options, ByteSink* sink,
                   std::string* error);

// The format the first bytes of a file name (imageTga when none matches:
// TGA has no signature). (The codecs.)
ImageFormat formatOfBytes(const uint8_t* bytes, size_t size);

// What this build's codecs read and write. (The codecs.)
bool canReadFormat(ImageFormat format);
bool canWriteFormat(ImageFormat format);
// The same in words for --help: "reads PNG, JPEG or BMP; writes ...".
std::string formatsOffered();

// Writes `path` ("-": standard output); false with a reason when it cannot.
bool writeImage(const std::string& path, const Image& image, ImageFormat format, const EncodeOptions& options,
                std::string* error);

// PNG, for screenshots and tests.
inline bool writePng(const std::string& path, const Image& image, std::string* error)
{
    return writeImage(path, image, imagePng, EncodeOptions(), error);
}
