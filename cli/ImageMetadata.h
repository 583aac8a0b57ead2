// What nimbulo keeps of an image file besides its pixels: the EXIF
// orientation of a JPEG (applied on reading, so the picture is upright and
// needs no tag any more) and an embedded ICC colour profile (PNG iCCP, JPEG
// APP2), carried unchanged into outputs that can hold one. Every offset in a
// file is checked against the file before it is followed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ImageMetadata {
    int orientation = 1;               // EXIF 1 (upright) to 8
    std::vector<uint8_t> iccProfile;   // the profile's bytes, empty for none
    std::vector<uint8_t> pngIccChunk;  // a PNG's iCCP chunk as it came, written back as it was
    std::vector<uint8_t> exif;         // the EXIF block (a TIFF structure), its orientation set to 1 once applied
    std::vector<uint8_t> xmp;          // the XMP packet (XML)
    std::vector<uint8_t> iptc;         // IPTC records (the IIM data of Photoshop's resource 0x0404)
};

// What the markers of a JPEG say before its first scan.
struct JpegFacts {
    int width = 0, height = 0, components = 0;
    bool complete = false;  // an end-of-image marker follows the first scan
    ImageMetadata metadata;
};

// The orientation an EXIF block names (1 when none, or none it can be);
// false with the reason when its offsets point outside it.
bool exifOrientation(const std::vector<uint8_t>& exif, int* orientation, std::string* problem);
// Sets the block's orientation tag, where it has one, to 1 (upright).
void resetExifOrientation(std::vector<uint8_t>* exif);
// An ASCII tag of the block's first directory (tag < 0x8000) or of its EXIF
// directory, "" when it has none.
std::string exifText(const std::vector<uint8_t>& exif, uint16_t tag);

// An EXIF block of text tags alone: `tags` in its first directory, `exifTags`
// (such as the moment of the shot) in its EXIF directory; each in rising order.
std::vector<uint8_t> exifOfTexts(const std::vector<std::pair<uint16_t, std::string>>& tags,
                                 const std::vector<std::pair<uint16_t, std::string>>& exifTags = {});

// The segment bodies a JPEG keeps its metadata in: APP1 "Exif", APP1 XMP,
// APP13 "Photoshop 3.0" with the IPTC resource; empty when it does not fit
// one segment (64 KiB).
std::vector<uint8_t> jpegExifBody(const std::vector<uint8_t>& exif);
std::vector<uint8_t> jpegXmpBody(const std::vector<uint8_t>& xmp);
std::vector<uint8_t> jpegIptcBody(const std::vector<uint8_t>& iptc);

// Walks a JPEG's markers. False with the reason when they are damaged
// (a segment running past the file, EXIF offsets outside their block).
bool scanJpeg(const uint8_t* bytes, size_t size, JpegFacts* facts, std::string* problem);

// Reads a PNG's iCCP, eXIf and XMP (iTXt) chunks, if any. False with the reason when the chunks are
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

// zlib streams, through the build's coders (ImageCodecs*.cpp).
bool zlibDecompress(const uint8_t* data, size_t size, std::vector<uint8_t>* out);
bool zlibCompress(const std::vector<uint8_t>& data, std::vector<uint8_t>* out);
