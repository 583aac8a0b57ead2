// The codecs behind ImageFile.h through the stb image library: PNG, JPEG,
// BMP and TGA in, PNG, JPEG and BMP out.
#include "cli/ImageFile.h"

#include "cli/GreyJpeg.h"

#include <cstdlib>
#include <cstring>

// Every allocation of the image library is held to what the picture in hand
// can need (set before each call), so a file that inflates far beyond its
// size (a zlib bomb) is refused instead of exhausting the memory.
static thread_local size_t allocationLimit = size_t(-1);

static void* limitedMalloc(size_t size) { return size > allocationLimit ? nullptr : std::malloc(size); }
static void* limitedRealloc(void* block, size_t size)
{
    return size > allocationLimit ? nullptr : std::realloc(block, size);
}

// The limit for one call, restored afterwards.
struct AllocationLimit {
    size_t previous;
    explicit AllocationLimit(size_t limit) : previous(allocationLimit) { allocationLimit = limit; }
    ~AllocationLimit() { allocationLimit = previous; }
};

#define STBI_MALLOC(size) limitedMalloc(size)
#define STBI_REALLOC(block, size) limitedRealloc(block, size)
#define STBI_FREE(block) std::free(block)

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

bool zlibDecompress(const uint8_t* data, size_t size, std::vector<uint8_t>* out)
{
    if (size > size_t(1) << 30) return false;
    int length = 0;
    AllocationLimit limit(size_t(64) << 20);  // colour profiles are far smaller
    char* decoded = stbi_zlib_decode_malloc(reinterpret_cast<const char*>(data), int(size), &length);
    if (!decoded) return false;
    out->assign(decoded, decoded + length);
    STBI_FREE(decoded);
    return true;
}

bool zlibCompress(const std::vector<uint8_t>& data, std::vector<uint8_t>* out)
{
    int length = 0;
    std::vector<uint8_t> copy = data;  // the coder takes a writable buffer
    unsigned char* packed = stbi_zlib_compress(copy.data(), int(copy.size()), &length, 8);
    if (!packed) return false;
    out->assign(packed, packed + length);
    STBIW_FREE(packed);
    return true;
}

ImageFormat formatOfBytes(const uint8_t* b, size_t size)
{
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(b, png, 8) == 0) return imagePng;
    if (size >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return imageJpeg;
    if (size >= 2 && b[0] == 'B' && b[1] == 'M') return imageBmp;
    return imageTga;  // TGA has no signature: its header is tested by the decoder
}

ImageStatus decodeImage(const uint8_t* bytes, size_t size, const std::string& name, int wantChannels, int maxSide,
                        Image* image, std::string* error)
{
    if (size > size_t(1) << 30) {
        *error = name + ": larger than 1 GiB";
        return imageTooLarge;
    }
    image->note.clear();
    image->metadata = ImageMetadata();
    ImageFormat format = formatOfBytes(bytes, size);
    // The image library finds a JPEG after fill bytes too; only what was
    // recognised, and so checked, here may reach its JPEG decoder.
    stbi__context context;
    stbi__start_mem(&context, bytes, int(size));
    if (format != imageJpeg && stbi__jpeg_test(&context)) {
        *error = name + ": not an image nimbulo reads (PNG, JPEG, BMP or TGA)";
        return imageUnknownFormat;
    }
    const char* kind = format == imagePng ? "PNG" : format == imageJpeg ? "JPEG" : format == imageBmp ? "BMP" : "TGA";
    std::string problem;
    if (format == imageJpeg) {
        JpegFacts facts;
        if (!scanJpeg(bytes, size, &facts, &problem)) {
            *error = name + ": " + problem;
            return imageCorrupt;
        }
        if (facts.components != 1 && facts.components != 3) {
            *error = name + ": a JPEG of " + std::to_string(facts.components) +
                     " components (CMYK or other) cannot be read; save it as RGB or grey";
            return imageCorrupt;
        }
        if (!facts.complete) {
            *error = name + ": truncated JPEG (no end of image)";
            return imageCorrupt;
        }
        image->metadata = facts.metadata;
    } else if (format == imagePng) {
        if (!scanPng(bytes, size, &image->metadata, &problem)) {
            *error = name + ": " + problem;
            return imageCorrupt;
        }
    } else if (format == imageBmp && !scanBmp(bytes, size, &problem)) {
        *error = name + ": " + problem;
        return imageCorrupt;
    }

    // The size from the header, before anything is decoded.
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(bytes, int(size), &w, &h, &channels)) {
        if (format == imageTga) {
            *error = name + ": not an image nimbulo reads (PNG, JPEG, BMP or TGA)";
            return imageUnknownFormat;
        }
        *error = name + ": truncated or damaged " + kind + " (" + stbi_failure_reason() + ")";
        return imageCorrupt;
    }
    if (w <= 0 || h <= 0 || w > maxSide || h > maxSide || int64_t(w) * h > maxImagePixels) {
        *error = name + ": " + std::to_string(w) + " x " + std::to_string(h) + " pixels; each side must be 1 to " +
                 std::to_string(maxSide) + " and the whole at most " + std::to_string(maxImagePixels >> 20) +
                 " megapixels";
        return imageTooLarge;
    }
    const bool sixteen = format == imagePng && bytes[24] == 16;
    if (format == imagePng && bytes[25] == 3) image->note = "palette image converted to RGB";
    if (sixteen && wantChannels != 0) image->note = "16-bit image reduced to 8 bits per channel";

    // What a picture of this size can need: 8 bytes a pixel (16-bit RGBA),
    // a filter byte a row, and room for the library's own tables.
    AllocationLimit limit(size_t(w) * size_t(h) * 8 + size_t(h) + (size_t(16) << 20));
    const int sampleBytes = sixteen && wantChannels == 0 ? 2 : 1;
    void* decoded = sampleBytes == 2
                        ? static_cast<void*>(stbi_load_16_from_memory(bytes, int(size), &w, &h, &channels, 0))
                        : static_cast<void*>(stbi_load_from_memory(bytes, int(size), &w, &h, &channels, wantChannels));
    if (!decoded) {
        *error = name + ": truncated or damaged " + kind + " (" + stbi_failure_reason() + ")";
        return imageCorrupt;
    }
    if (wantChannels != 0) {
        if (wantChannels == 1 && channels > 2) image->note = "colour converted to grey";
        channels = wantChannels;
    }
    image->width = w;
    image->height = h;
    image->channels = channels;
    image->bytesPerSample = sampleBytes;
    image->format = format;
    const uint8_t* first = static_cast<const uint8_t*>(decoded);
    image->pixels.assign(first, first + size_t(w) * size_t(h) * size_t(channels) * size_t(sampleBytes));
    stbi_image_free(decoded);
    if (image->metadata.orientation != 1) {
        applyOrientation(image->metadata.orientation, &image->width, &image->height, channels * sampleBytes,
                         &image->pixels);
        image->note = "turned upright by its EXIF orientation";
    }
    return imageOk;
}

// A PNG of 16 bits per sample, which the image library does not write: each
// row filtered the way that leaves the smallest sum (none, left, above), the
// samples big-endian as the format wants them.
static bool encodePng16(const Image& image, std::vector<uint8_t>* png)
{
    static const int colourTypes[5] = {0, 0, 4, 2, 6};  // grey, grey + alpha, RGB, RGBA
    if (image.channels < 1 || image.channels > 4) return false;
    const size_t rowBytes = size_t(image.width) * image.channels * 2;
    std::vector<uint8_t> rows(size_t(image.height) * (rowBytes + 1)), big(rowBytes), previous(rowBytes, 0);
    std::vector<uint8_t> candidates[3] = {std::vector<uint8_t>(rowBytes), std::vector<uint8_t>(rowBytes),
                                          std::vector<uint8_t>(rowBytes)};
    const size_t pixelBytes = size_t(image.channels) * 2;
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* native = &image.pixels[size_t(y) * rowBytes];
        for (size_t k = 0; k < rowBytes; k += 2) {
            uint16_t sample;
            std::memcpy(&sample, native + k, 2);
            big[k] = uint8_t(sample >> 8);
            big[k + 1] = uint8_t(sample);
        }
        uint64_t best = ~uint64_t(0);
        int chosen = 0;
        for (int filter = 0; filter < 3; ++filter) {
            uint64_t sum = 0;
            for (size_t k = 0; k < rowBytes; ++k) {
                uint8_t before =
                    filter == 1 ? (k >= pixelBytes ? big[k - pixelBytes] : 0) : (filter == 2 ? previous[k] : 0);
                uint8_t d = uint8_t(big[k] - before);
                candidates[filter][k] = d;
                sum += d < 128 ? d : 256 - d;
            }
            if (sum < best) {
                best = sum;
                chosen = filter;
            }
        }
        uint8_t* out = &rows[size_t(y) * (rowBytes + 1)];
        out[0] = uint8_t(chosen);
        std::memcpy(out + 1, candidates[chosen].data(), rowBytes);
        previous = big;
    }
    std::vector<uint8_t> packed;
    if (!zlibCompress(rows, &packed)) return false;
    std::vector<uint8_t> header;  // width, height, depth, colour type, then the standard methods
    appendBig32(uint32_t(image.width), &header);
    appendBig32(uint32_t(image.height), &header);
    header.insert(header.end(), {16, uint8_t(colourTypes[image.channels]), 0, 0, 0});
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png->assign(signature, signature + 8);
    appendPngChunk("IHDR", header.data(), header.size(), png);
    appendPngChunk("IDAT", packed.data(), packed.size(), png);
    appendPngChunk("IEND", nullptr, 0, png);
    return true;
}

static void appendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

bool encodeImage(const Image& image, ImageFormat format, const EncodeOptions& options, std::vector<uint8_t>* bytes,
                 std::string* error)
{
    const int quality = options.quality;
    bytes->clear();
    if (image.bytesPerSample == 2 && format != imagePng) {
        *error = "only PNG holds 16 bits per channel";
        return false;
    }
    if (!formatHolds(format, image.width, image.height, image.channels, image.bytesPerSample, error)) return false;
    int ok = 0;
    switch (format) {
    case imagePng:
        if (image.bytesPerSample == 2)
            ok = encodePng16(image, bytes);
        else
            ok = stbi_write_png_to_func(appendBytes, bytes, image.width, image.height, image.channels,
                                        image.pixels.data(), image.width * image.channels);
        if (ok) *bytes = pngWithProfile(*bytes, image.metadata);
        break;
    case imageJpeg:
        // Grey stays grey: one component (the image library writes colour only). JPEG keeps no alpha.
        if (image.channels <= 2)
            ok = encodeGreyJpeg(image.width, image.height, image.pixels.data(), image.channels, quality, bytes);
        else
            ok = stbi_write_jpg_to_func(appendBytes, bytes, image.width, image.height, image.channels,
                                        image.pixels.data(), quality);
        if (ok) *bytes = jpegWithProfile(*bytes, image.metadata.iccProfile);
        break;
    case imageBmp:
        ok = stbi_write_bmp_to_func(appendBytes, bytes, image.width, image.height, image.channels, image.pixels.data());
        break;
    default: *error = "this format cannot be written"; return false;
    }
    if (!ok) *error = "the picture could not be encoded";
    return ok != 0;
}

bool canReadFormat(ImageFormat format)
{
    return format == imagePng || format == imageJpeg || format == imageBmp || format == imageTga;
}
bool canWriteFormat(ImageFormat format) { return format == imagePng || format == imageJpeg || format == imageBmp; }

std::string formatsOffered() { return "reads PNG, JPEG, BMP and TGA; writes PNG, JPEG and BMP"; }
