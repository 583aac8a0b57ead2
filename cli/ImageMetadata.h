// What nimbulo keeps of an image file besides its pixels: the EXIF
// orientation of a JPEG (applied on reading, so the picture is upright and
// needs no tag any more) and an embedded ICC colour profile (PNG iCCP, JPEG
// APP2), carried unchanged into outputs that can hold one. Every offset in a
// file is checked against the file before it is followed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ImageMetadata {
    int orientation = 1;               // EXIF 1 (upright) to 8
    std::vector<uint8_t> iccProfile;   // the profile's bytes, empty for none
    std::vector<uint8_t> pngIccChunk;  // a PNG's iCCP chunk as it came, written back as it was
};

// What the markers of a JPEG say before its first scan.
struct JpegFacts {
    int width = 0, height = 0, components = 0;
    bool complete = false;  // an end-of-image marker follows the first scan
    ImageMetadata metadata;
};

// Walks a JPEG's markers. False with the reason when they are damaged
// (a segment running past the file, EXIF offsets outside their block).
bool scanJpeg(const uint8_t* bytes, size_t size, JpegFacts* facts, std::string* problem);

// Reads a PNG's iCCP chunk, if any. False with the reason when the chunks are
// damaged: one running past the end, or one whose checksum is wrong.
bool scanPng(const uint8_t* bytes, size_t size, ImageMetadata* metadata, std::string* problem);

// Reads the orientation tag of a TIFF's first directory. False with the
// reason when the directory lies outside the file.
bool scanTiff(const uint8_t* bytes, size_t size, ImageMetadata* metadata, std::string* problem);

// Checks that an uncompressed BMP's rows are all in the file (a truncated
// one would otherwise be read with its missing rows black). False with the
// reason when they are not.
bool scanBmp(const uint8_t* bytes, size_t size, std::string* problem);

// `v` as four bytes, most significant first, as PNG keeps its numbers.
void appendBig32(uint32_t v, std::vector<uint8_t>* out);

// A PNG chunk's checksum (over its type and data), and a whole chunk
// (length, type, data, checksum) appended to `png`.
uint32_t pngCrc32(const uint8_t* data, size_t size);
void appendPngChunk(const char type[4], const uint8_t* data, size_t size, std::vector<uint8_t>* png);

// For fuzzing and tests: every checksum of a (damaged) PNG made right again,
// as far as its chunks can be followed, so that the damage reaches the decoder.
void repairPngChecksums(std::vector<uint8_t>* png);

// Turns `pixels` (width x height, `pixelBytes` bytes a pixel) upright for an
// EXIF orientation; orientations 5 to 8 swap width and height.
void applyOrientation(int orientation, int* width, int* height, int pixelBytes, std::vector<uint8_t>* pixels);

// The encoded file with the profile added: APP2 segments after a JPEG's start,
// an iCCP chunk after a PNG's header.
std::vector<uint8_t> jpegWithProfile(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& profile);
std::vector<uint8_t> pngWithProfile(const std::vector<uint8_t>& png, const ImageMetadata& metadata);

// zlib streams, through the image library's coders (in ImageFile.cpp).
bool zlibDecompress(const uint8_t* data, size_t size, std::vector<uint8_t>* out);
bool zlibCompress(const std::vector<uint8_t>& data, std::vector<uint8_t>* out);
