// The codecs behind ImageFile.h on Linux, through the libraries the photo
// world uses: libpng, libjpeg-turbo, libtiff and libwebp (one file each),
// with zlib; the stb image library for BMP and TGA. This file recognises a
// file, hands it to its decoder, and brings what came out to what the
// caller asked for: the channels, the depth, upright.
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "cli/Codecs.h"

// ---- Allocation limits. ----
static thread_local size_t allocationLimit = size_t(-1);

void* limitedMalloc(size_t size) { return size > allocationLimit ? nullptr : std::malloc(size); }
void* limitedRealloc(void* block, size_t size) { return size > allocationLimit ? nullptr : std::realloc(block, size); }
AllocationLimit::AllocationLimit(size_t limit) : previous(allocationLimit) { allocationLimit = limit; }
AllocationLimit::~AllocationLimit() { allocationLimit = previous; }

// Rows of up to 8 bytes a pixel, a few of them at once, and room for the
// libraries' own tables.
size_t decoderAllowance(int64_t width, int64_t height)
{
    return size_t(width) * 64 + size_t(height) * 16 + (size_t(32) << 20);
}

#define STBI_MALLOC(size) limitedMalloc(size)
#define STBI_REALLOC(block, size) limitedRealloc(block, size)
#define STBI_FREE(block) std::free(block)

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

// ---- zlib streams (colour profiles, XMP). ----
bool zlibDecompress(const uint8_t* data, size_t size, std::vector<uint8_t>* out)
{
    const size_t most = size_t(64) << 20;  // colour profiles and XMP are far smaller
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = uInt(size > UINT32_MAX ? UINT32_MAX : size);
    out->clear();
    int result = Z_OK;
    uint8_t chunk[16384];
    while (result == Z_OK) {
        stream.next_out = chunk;
        stream.avail_out = sizeof chunk;
        result = inflate(&stream, Z_NO_FLUSH);
        out->insert(out->end(), chunk, chunk + (sizeof chunk - stream.avail_out));
        if (out->size() > most || (result == Z_BUF_ERROR && stream.avail_in == 0)) break;
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END;
}

bool zlibCompress(const std::vector<uint8_t>& data, std::vector<uint8_t>* out)
{
    uLongf length = compressBound(uLong(data.size()));
    out->resize(length);
    if (compress2(out->data(), &length, data.data(), uLong(data.size()), 9) != Z_OK) return false;
    out->resize(length);
    return true;
}

// ---- Recognising and decoding. ----
ImageFormat formatOfBytes(const uint8_t* b, size_t size)
{
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(b, png, 8) == 0) return imagePng;
    if (size >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return imageJpeg;
    // Classic TIFF (42) or BigTIFF (43), in either byte order.
    if (size >= 4 && ((b[0] == 'I' && b[1] == 'I' && (b[2] == 42 || b[2] == 43) && b[3] == 0) ||
                      (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && (b[3] == 42 || b[3] == 43))))
        return imageTiff;
    if (size >= 12 && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WEBP", 4) == 0) return imageWebp;
    if (size >= 12 && std::memcmp(b + 4, "ftyp", 4) == 0 &&
        (std::memcmp(b + 8, "heic", 4) == 0 || std::memcmp(b + 8, "heix", 4) == 0 ||
         std::memcmp(b + 8, "mif1", 4) == 0))
        return imageHeif;
    if (size >= 2 && b[0] == 'B' && b[1] == 'M') return imageBmp;
    return imageTga;  // TGA has no signature: its header is tested by the decoder
}

bool sizeAllowed(int64_t w, int64_t h, int maxSide, std::string* problem)
{
    if (w > 0 && h > 0 && w <= maxSide && h <= maxSide && w * h <= maxImagePixels) return true;
    *problem = std::to_string(w) + " x " + std::to_string(h) + " pixels; each side must be 1 to " +
               std::to_string(maxSide) + " and the whole at most " + std::to_string(maxImagePixels >> 20) +
               " megapixels";
    return false;
}

static const char notAnImage[] = "not an image nimbulo reads (PNG, JPEG, TIFF, WebP, BMP or TGA)";

// BMP and TGA through the image library.
static ImageStatus decodeWithStb(const uint8_t* bytes, size_t size, ImageFormat format, int maxSide, Image* image,
                                 std::string* problem)
{
    const char* kind = format == imageBmp ? "BMP" : "TGA";
    int w = 0, h = 0, channels = 0;
    if (size > size_t(1) << 30) {
        *problem = std::string("a ") + kind + " file larger than 1 GiB";
        return imageTooLarge;
    }
    if (!stbi_info_from_memory(bytes, int(size), &w, &h, &channels)) {
        if (format == imageTga) {
            *problem = notAnImage;
            return imageUnknownFormat;
        }
        *problem = std::string("truncated or damaged ") + kind + " (" + stbi_failure_reason() + ")";
        return imageCorrupt;
    }
    if (!sizeAllowed(w, h, maxSide, problem)) return imageTooLarge;
    // The image library fills the rows missing from a short BMP with black.
    if (format == imageBmp && !scanBmp(bytes, size, problem)) return imageCorrupt;
    AllocationLimit limit(size_t(w) * size_t(h) * 4 + decoderAllowance(w, h));
    uint8_t* decoded = stbi_load_from_memory(bytes, int(size), &w, &h, &channels, 0);
    if (!decoded) {
        *problem = std::string("truncated or damaged ") + kind + " (" + stbi_failure_reason() + ")";
        return imageCorrupt;
    }
    image->width = w;
    image->height = h;
    image->channels = channels;
    image->bytesPerSample = 1;
    image->pixels.assign(decoded, decoded + size_t(w) * size_t(h) * size_t(channels));
    stbi_image_free(decoded);
    return imageOk;
}

// 16-bit samples to 8 (the high byte), then colour to grey, in place.
static void reduceToGrey(Image* image)
{
    const size_t count = size_t(image->width) * size_t(image->height);
    std::vector<uint8_t>& p = image->pixels;
    if (image->bytesPerSample == 2) {
        for (size_t k = 0; k < p.size() / 2; ++k) {
            uint16_t v;
            std::memcpy(&v, &p[2 * k], 2);
            p[k] = uint8_t(v >> 8);
        }
        p.resize(p.size() / 2);
        image->bytesPerSample = 1;
    }
    const size_t c = size_t(image->channels);
    for (size_t k = 0; k < count; ++k) {
        const uint8_t* q = &p[k * c];
        p[k] = c >= 3 ? uint8_t((q[0] * 77 + q[1] * 150 + q[2] * 29) >> 8) : q[0];
    }
    p.resize(count);
    if (image->channels > 2) image->note = "colour converted to grey";
    image->channels = 1;
}

static ImageStatus decodeFormat(const uint8_t* bytes, size_t size, const std::string& name, int wantChannels,
                                int maxSide, Image* image, std::string* error);

ImageStatus decodeImage(const uint8_t* bytes, size_t size, const std::string& name, int wantChannels, int maxSide,
                        Image* image, std::string* error)
{
    // A picture of allowed size may still not fit in this machine's memory.
    try {
        return decodeFormat(bytes, size, name, wantChannels, maxSide, image, error);
    } catch (const std::bad_alloc&) {
        *error = name + ": not enough memory for its " + std::to_string(image->width) + " x " +
                 std::to_string(image->height) + " pixels";
        *image = Image();
        return imageTooLarge;
    }
}

static ImageStatus decodeFormat(const uint8_t* bytes, size_t size, const std::string& name, int wantChannels,
                                int maxSide, Image* image, std::string* error)
{
    *image = Image();
    const ImageFormat format = formatOfBytes(bytes, size);
    std::string problem;
    ImageStatus status = imageOk;
    switch (format) {
    case imagePng:
        // Every chunk's checksum first, and the metadata.
        status = scanPng(bytes, size, &image->metadata, &problem) ? decodePng(bytes, size, maxSide, image, &problem)
                                                                  : imageCorrupt;
        break;
    case imageJpeg: {
        JpegFacts facts;
        if (!scanJpeg(bytes, size, &facts, &problem)) {
            status = imageCorrupt;
        } else if (facts.components != 1 && facts.components != 3) {
            problem = "a JPEG of " + std::to_string(facts.components) +
                      " components (CMYK or other) cannot be read; save it as RGB or grey";
            status = imageCorrupt;
        } else if (!facts.complete) {
            problem = "truncated JPEG (no end of image)";
            status = imageCorrupt;
        } else if (!sizeAllowed(facts.width, facts.height, maxSide, &problem)) {
            status = imageTooLarge;
        } else {
            image->metadata = facts.metadata;
            status = decodeJpeg(bytes, size, maxSide, image, &problem);
        }
        break;
    }
    case imageTiff: status = decodeTiff(bytes, size, maxSide, image, &problem); break;
    case imageWebp: status = decodeWebp(bytes, size, maxSide, image, &problem); break;
    case imageHeif:
        problem = "a HEIF picture, which this build cannot read; save it as JPEG, PNG or TIFF";
        status = imageUnknownFormat;
        break;
    default: status = decodeWithStb(bytes, size, format, maxSide, image, &problem); break;
    }
    if (status != imageOk) {
        *error = name + ": " + problem;
        image->pixels = std::vector<uint8_t>();
        return status;
    }
    image->format = format;
    // EXIF in a PNG or WebP turns the picture as in a JPEG; a damaged block
    // (which makes a JPEG unreadable) is dropped, so no output carries it on.
    if (format != imageJpeg && format != imageTiff && !image->metadata.exif.empty() &&
        !exifOrientation(image->metadata.exif, &image->metadata.orientation, &problem))
        image->metadata.exif.clear();
    // A CMYK profile (of a CMYK TIFF, now read as RGB) would mislead every reader of the output.
    const std::vector<uint8_t>& profile = image->metadata.iccProfile;
    if (profile.size() > 20 && std::memcmp(&profile[16], "CMYK", 4) == 0) {
        image->metadata.iccProfile.clear();
        image->note = "converted to RGB; its CMYK colour profile is not kept";
    }
    if (image->bytesPerSample == 2 && wantChannels != 0) image->note = "16-bit image reduced to 8 bits per channel";
    if (wantChannels == 1) reduceToGrey(image);
    if (image->metadata.orientation != 1) {
        applyOrientation(image->metadata.orientation, &image->width, &image->height,
                         image->channels * image->bytesPerSample, &image->pixels);
        image->note = "turned upright by its EXIF orientation";
    }
    resetExifOrientation(&image->metadata.exif);
    return imageOk;
}

// ---- Encoding. ----
namespace {
class VectorSink : public ByteSink {
public:
    explicit VectorSink(std::vector<uint8_t>* bytes) : bytes_(bytes) {}
    bool write(const uint8_t* data, size_t size) override
    {
        try {
            bytes_->insert(bytes_->end(), data, data + size);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

private:
    std::vector<uint8_t>* bytes_;
};

void appendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}
}  // namespace

static bool encodeFormat(const Image& image, ImageFormat format, const EncodeOptions& options, ByteSink* sink,
                         std::string* error);

bool encodeImageTo(const Image& image, ImageFormat format, const EncodeOptions& options, ByteSink* sink,
                   std::string* error)
{
    if (image.bytesPerSample == 2 && !formatHoldsSixteenBits(format)) {
        *error = "only PNG and TIFF hold 16 bits per channel";
        return false;
    }
    if (!formatHolds(format, image.width, image.height, image.channels, image.bytesPerSample, error)) return false;
    try {
        return encodeFormat(image, format, options, sink, error);
    } catch (const std::bad_alloc&) {
        *error = "not enough memory to encode the picture";
        return false;
    }
}

static bool encodeFormat(const Image& image, ImageFormat format, const EncodeOptions& options, ByteSink* sink,
                         std::string* error)
{
    switch (format) {
    case imagePng: return encodePng(image, sink, error);
    case imageJpeg: return encodeJpeg(image, options, sink, error);
    case imageTiff: return encodeTiff(image, options, sink, error);
    case imageWebp: return encodeWebp(image, options, sink, error);
    case imageBmp: {
        std::vector<uint8_t> bytes;
        if (!stbi_write_bmp_to_func(appendBytes, &bytes, image.width, image.height, image.channels,
                                    image.pixels.data())) {
            *error = "the picture could not be encoded";
            return false;
        }
        if (sink->write(bytes.data(), bytes.size())) return true;
        *error = "cannot be written (disk full?)";
        return false;
    }
    default: *error = "this format cannot be written"; return false;
    }
}

bool encodeImage(const Image& image, ImageFormat format, const EncodeOptions& options, std::vector<uint8_t>* bytes,
                 std::string* error)
{
    bytes->clear();
    VectorSink sink(bytes);
    return encodeImageTo(image, format, options, &sink, error);
}

bool canReadFormat(ImageFormat format) { return format != imageHeif && format != imageUnknown; }
bool canWriteFormat(ImageFormat format) { return format != imageHeif && format != imageTga && format != imageUnknown; }

std::string formatsOffered()
{
    return "reads PNG, JPEG, TIFF, WebP, BMP and TGA; writes PNG, JPEG, TIFF, WebP and BMP";
}
