// The library codecs of the Linux build, one file a format: what they share.
// Each decoder fills the Image from a file already recognised by its first
// bytes; a problem is said in words for the user, without the file's name
// (the caller adds it). Each encoder hands its bytes to a ByteSink as it
// makes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/ImageFile.h"

// Whether width x height may be decoded: each side 1 to `maxSide`, the whole
// at most maxImagePixels. Otherwise the reason.
bool sizeAllowed(int64_t width, int64_t height, int maxSide, std::string* problem);

// Every allocation a decoding library makes through limitedMalloc is held to
// what the picture in hand can need (set before each decode), so that a file
// that inflates far beyond its size is refused instead of exhausting memory.
void* limitedMalloc(size_t size);
void* limitedRealloc(void* block, size_t size);
struct AllocationLimit {
    size_t previous;
    explicit AllocationLimit(size_t limit);
    ~AllocationLimit();
};
// What decoding a picture of width x height can need besides its pixels.
size_t decoderAllowance(int64_t width, int64_t height);

// The decoders keep the file's channels and depth (16-bit samples in the
// machine's order); the caller reduces them when asked to.
ImageStatus decodePng(const uint8_t* bytes, size_t size, int maxSide, Image* image, std::string* problem);
ImageStatus decodeJpeg(const uint8_t* bytes, size_t size, int maxSide, Image* image, std::string* problem);
ImageStatus decodeTiff(const uint8_t* bytes, size_t size, int maxSide, Image* image, std::string* problem);
ImageStatus decodeWebp(const uint8_t* bytes, size_t size, int maxSide, Image* image, std::string* problem);

bool encodePng(const Image& image, ByteSink* sink, std::string* error);
bool encodeJpeg(const Image& image, const EncodeOptions& options, ByteSink* sink, std::string* error);
bool encodeTiff(const Image& image, const EncodeOptions& options, ByteSink* sink, std::string* error);
bool encodeWebp(const Image& image, const EncodeOptions& options, ByteSink* sink, std::string* error);

// The zlib level of PNG files: what costs less than the render at large sizes.
enum { pngCompressionLevel = 6 };
