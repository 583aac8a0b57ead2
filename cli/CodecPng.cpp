// PNG through libpng: 8 and 16 bits, grey and colour, with alpha; decoded
// straight into the Image. Written with libpng's chunks around image data
// that our own compressor makes on every processor (PngDeflate.h). libpng reports errors by
// longjmp: every setjmp here is in a function that holds no C++ object, and
// the C++ work (allocation, messages) is done outside them.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/Codecs.h"
#include "cli/PngDeflate.h"

namespace {

// Deflate packs at most 1032 bytes into one (a run of 258 in a code of two
// bits, and more for the block headers); rounded up.
const double deflateMostRatio = 1100.0;

struct PngJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const uint8_t* bytes = nullptr;  // reading: the file
    size_t size = 0, at = 0;
    ByteSink* sink = nullptr;  // writing: where the bytes go
    bool sinkFailed = false;
    char message[200] = "";
    // What the header says, after the transforms asked for.
    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, channels = 0;
    size_t rowBytes = 0;
};

void onError(png_structp png, png_const_charp text)
{
    PngJob* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", text);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

png_voidp pngMalloc(png_structp, png_alloc_size_t size) { return limitedMalloc(size); }
void pngFree(png_structp, png_voidp block) { std::free(block); }

void readBytes(png_structp png, png_bytep out, size_t count)
{
    PngJob* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (count > job->size - job->at) png_error(png, "the file ends early");
    std::memcpy(out, job->bytes + job->at, count);
    job->at += count;
}

void writeBytes(png_structp png, png_bytep data, size_t count)
{
    PngJob* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (!job->sink->write(data, count)) {
        job->sinkFailed = true;
        png_error(png, "cannot be written (disk full?)");
    }
}

void flushNothing(png_structp) {}

// The header, and the transforms that give 8-bit or 16-bit grey, grey +
// alpha, RGB or RGBA: palettes and transparency expanded, small depths
// widened, 16-bit samples in the machine's (little-endian) order.
bool readHeader(PngJob* job, int maxSide)
{
    if (setjmp(png_jmpbuf(job->png))) return false;
    png_set_read_fn(job->png, job, readBytes);
    png_set_user_limits(job->png, png_uint_32(maxSide), png_uint_32(maxSide));
    png_read_info(job->png, job->info);
    job->colourType = png_get_color_type(job->png, job->info);
    int fileDepth = png_get_bit_depth(job->png, job->info);
    if (job->colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(job->png);
    if (job->colourType == PNG_COLOR_TYPE_GRAY && fileDepth < 8) png_set_expand_gray_1_2_4_to_8(job->png);
    if (png_get_valid(job->png, job->info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(job->png);
    if (fileDepth == 16) png_set_swap(job->png);
    png_set_interlace_handling(job->png);
    png_read_update_info(job->png, job->info);
    job->width = png_get_image_width(job->png, job->info);
    job->height = png_get_image_height(job->png, job->info);
    job->depth = png_get_bit_depth(job->png, job->info);
    job->channels = png_get_channels(job->png, job->info);
    job->rowBytes = png_get_rowbytes(job->png, job->info);
    return true;
}

bool readRows(PngJob* job, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(job->png))) return false;
    png_read_image(job->png, rows);
    return true;
}

struct Chunk {
    const char* type;
    const uint8_t* data;
    size_t size;
};

// The signature, the header and the metadata chunks.
bool writeHeader(PngJob* job, const Image* image, const Chunk* chunks, int chunkCount)
{
    static const int colourTypes[5] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                       PNG_COLOR_TYPE_RGB_ALPHA};
    if (setjmp(png_jmpbuf(job->png))) return false;
    png_set_write_fn(job->png, job, writeBytes, flushNothing);
    png_set_IHDR(job->png, job->info, png_uint_32(image->width), png_uint_32(image->height), image->bytesPerSample * 8,
                 colourTypes[image->channels], PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(job->png, job->info);
    for (int k = 0; k < chunkCount; ++k)
        if (chunks[k].size)
            png_write_chunk(job->png, reinterpret_cast<png_const_bytep>(chunks[k].type), chunks[k].data,
                            chunks[k].size);
    return true;
}

// One chunk of the image data (made by packPngRows), or the end.
bool writeChunk(PngJob* job, const char* type, const uint8_t* data, size_t size)
{
    if (setjmp(png_jmpbuf(job->png))) return false;
    png_write_chunk(job->png, reinterpret_cast<png_const_bytep>(type), data, size);
    return true;
}

}  // namespace

ImageStatus decodePng(const uint8_t* bytes, size_t size, int maxSide, Image* image, std::string* problem)
{
    // The size from the header, before libpng sees it.
    if (size >= 33 && std::memcmp(bytes + 12, "IHDR", 4) == 0) {
        auto big32 = [&](size_t at) {
            return int64_t(bytes[at]) << 24 | int64_t(bytes[at + 1]) << 16 | int64_t(bytes[at + 2]) << 8 |
                   bytes[at + 3];
        };
        if (!sizeAllowed(big32(16), big32(20), maxSide, problem)) return imageTooLarge;
    }
    PngJob job;
    job.bytes = bytes;
    job.size = size;
    // The header first, with what libpng may allocate held to its own tables.
    AllocationLimit headerLimit(size_t(16) << 20);
    job.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &job, onError, onWarning, nullptr, pngMalloc, pngFree);
    if (!job.png || !(job.info = png_create_info_struct(job.png))) {
        png_destroy_read_struct(&job.png, nullptr, nullptr);
        *problem = "not enough memory to read the PNG";
        return imageTooLarge;
    }
    ImageStatus status = imageOk;
    if (!readHeader(&job, maxSide)) {
        const bool large = std::strstr(job.message, "exceeds user limit") != nullptr;
        *problem = large ? std::string("a PNG larger than ") + std::to_string(maxSide) + " pixels a side"
                         : std::string("truncated or damaged PNG (") + job.message + ")";
        status = large ? imageTooLarge : imageCorrupt;
    } else if (!sizeAllowed(job.width, job.height, maxSide, problem)) {
        status = imageTooLarge;
    } else if (double(job.rowBytes) * job.height > double(size) * deflateMostRatio) {
        // A tiny file claiming a huge picture is refused before its pixels are allocated.
        *problem = "damaged PNG (its " + std::to_string(size) + " bytes cannot hold " + std::to_string(job.width) +
                   " x " + std::to_string(job.height) + " pixels)";
        status = imageCorrupt;
    } else {
        AllocationLimit limit(decoderAllowance(job.width, job.height));
        image->width = int(job.width);
        image->height = int(job.height);
        image->channels = job.channels;
        image->bytesPerSample = job.depth / 8;
        image->pixels.resize(job.rowBytes * job.height);
        std::vector<png_bytep> rows(job.height);
        for (size_t y = 0; y < rows.size(); ++y) rows[y] = image->pixels.data() + y * job.rowBytes;
        if (!readRows(&job, rows.data())) {
            *problem = std::string("truncated or damaged PNG (") + job.message + ")";
            status = imageCorrupt;
        } else if (job.colourType == PNG_COLOR_TYPE_PALETTE) {
            image->note = "palette image converted to RGB";
        }
    }
    png_destroy_read_struct(&job.png, &job.info, nullptr);
    return status;
}

bool encodePng(const Image& image, ByteSink* sink, std::string* error)
{
    if (image.channels < 1 || image.channels > 4 || image.bytesPerSample < 1 || image.bytesPerSample > 2) {
        *error = "the picture could not be encoded";
        return false;
    }
    // The colour profile as its chunk came, or packed anew; EXIF as eXIf;
    // XMP as the iTXt chunk of its keyword, uncompressed.
    const ImageMetadata& m = image.metadata;
    std::vector<uint8_t> icc = m.pngIccChunk, xmp;
    if (icc.empty() && !m.iccProfile.empty()) {
        std::vector<uint8_t> packed;
        if (zlibCompress(m.iccProfile, &packed)) {
            const char name[] = "ICC profile";
            icc.assign(name, name + sizeof name);  // with its zero
            icc.push_back(0);                      // compression method: deflate
            icc.insert(icc.end(), packed.begin(), packed.end());
        }
    }
    if (!m.xmp.empty()) {
        const char keyword[] = "XML:com.adobe.xmp";
        xmp.assign(keyword, keyword + sizeof keyword);
        xmp.insert(xmp.end(), {0, 0, 0, 0});  // not compressed, method, no language, no translation
        xmp.insert(xmp.end(), m.xmp.begin(), m.xmp.end());
    }
    const Chunk chunks[] = {
        {"iCCP", icc.data(), icc.size()}, {"eXIf", m.exif.data(), m.exif.size()}, {"iTXt", xmp.data(), xmp.size()}};
    PngJob job;
    job.sink = sink;
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, onError, onWarning);
    if (!job.png || !(job.info = png_create_info_struct(job.png))) {
        png_destroy_write_struct(&job.png, nullptr);
        *error = "not enough memory to write the PNG";
        return false;
    }
    // The rows through our own parallel compressor, as IDAT chunks, then the end.
    bool ok = writeHeader(&job, &image, chunks, 3) &&
              packPngRows(image, pngCompressionLevel,
                          [&](const uint8_t* data, size_t size) { return writeChunk(&job, "IDAT", data, size); }) &&
              writeChunk(&job, "IEND", nullptr, 0);
    if (!ok && job.message[0] == '\0')
        std::snprintf(job.message, sizeof job.message, "the rows could not be compressed");
    if (!ok) *error = job.sinkFailed ? "cannot be written (disk full?)" : std::string("PNG: ") + job.message;
    png_destroy_write_struct(&job.png, &job.info);
    return ok;
}
