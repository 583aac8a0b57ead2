// TIFF through libtiff: 8 and 16 bits, grey and colour, with alpha, a
// colour profile, XMP, IPTC and the camera's text tags; uncompressed, LZW or
// Deflate. Strips of 8 or 16-bit grey or RGB are read straight into the
// Image at their depth; anything else (tiles, palettes, CMYK, YCbCr, other
// depths) through libtiff's RGBA reader at 8 bits.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "cli/Codecs.h"

namespace {

// A file in memory, read or written, or a file on disk written through its
// sink (libtiff moves back and forth in it).
struct TiffMemory {
    const uint8_t* bytes = nullptr;       // reading
    std::vector<uint8_t>* out = nullptr;  // writing in memory
    ByteSink* sink = nullptr;             // writing straight into the file
    bool sinkFailed = false;
    size_t size = 0, at = 0;
    std::string message;
};

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t count)
{
    TiffMemory* m = static_cast<TiffMemory*>(handle);
    if (m->sink) {
        size_t got = m->sink->read(static_cast<uint8_t*>(buffer), size_t(count));
        m->at += got;
        return tmsize_t(got);
    }
    size_t n = m->at < m->size ? std::min(size_t(count), m->size - m->at) : 0;
    const uint8_t* from = m->out ? m->out->data() : m->bytes;
    if (n) std::memcpy(buffer, from + m->at, n);
    m->at += n;
    return tmsize_t(n);
}

tmsize_t writeProc(thandle_t handle, void* buffer, tmsize_t count)
{
    TiffMemory* m = static_cast<TiffMemory*>(handle);
    if (m->sink) {
        if (!m->sink->write(static_cast<const uint8_t*>(buffer), size_t(count))) {
            m->sinkFailed = true;
            return 0;
        }
        m->at += size_t(count);
        m->size = std::max(m->size, m->at);
        return count;
    }
    if (!m->out) return 0;
    size_t end = m->at + size_t(count);
    try {
        if (end > m->out->size()) m->out->resize(end);
    } catch (const std::bad_alloc&) {
        return 0;  // libtiff reports the write as failed
    }
    std::memcpy(m->out->data() + m->at, buffer, size_t(count));
    m->at = end;
    m->size = m->out->size();
    return count;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    TiffMemory* m = static_cast<TiffMemory*>(handle);
    uint64_t base = whence == SEEK_CUR ? m->at : (whence == SEEK_END ? m->size : 0);
    m->at = size_t(base + offset);
    if (m->sink && !m->sink->seek(m->at)) return toff_t(-1);
    return m->at;
}

int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t handle) { return static_cast<TiffMemory*>(handle)->size; }
int mapProc(thandle_t handle, void** base, toff_t* size)
{
    TiffMemory* m = static_cast<TiffMemory*>(handle);
    if (m->out || m->sink) return 0;
    *base = const_cast<uint8_t*>(m->bytes);
    *size = m->size;
    return 1;
}
void unmapProc(thandle_t, void*, toff_t) {}

// libtiff's messages are kept (the first error) instead of printed.
int onError(TIFF*, void* user, const char* module, const char* format, va_list list)
{
    TiffMemory* m = static_cast<TiffMemory*>(user);
    if (m->message.empty()) {
        char text[256];
        std::vsnprintf(text, sizeof text, format, list);
        m->message = std::string(module ? module : "") + (module ? ": " : "") + text;
    }
    return 1;
}
int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* openTiff(TiffMemory* m, const char* mode, tmsize_t mostAllocation)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, onError, m);
    TIFFOpenOptionsSetWarningHandlerExtR(options, onWarning, m);
    if (mostAllocation) TIFFOpenOptionsSetMaxSingleMemAlloc(options, mostAllocation);
    TIFF* tiff = TIFFClientOpenExt("image", mode, m, readProc, writeProc, seekProc, closeProc, sizeProc, mapProc,
                                   unmapProc, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

// The text tags of a camera that a TIFF keeps in its own directory, with
// the same numbers as EXIF's.
const uint16_t textTags[] = {TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_MAKE,   TIFFTAG_MODEL,    TIFFTAG_SOFTWARE,
                             TIFFTAG_DATETIME,         TIFFTAG_ARTIST, TIFFTAG_COPYRIGHT};

// The moments of the shot and of its digitising, in the EXIF directory.
const uint16_t exifTextTags[] = {EXIFTAG_DATETIMEORIGINAL, EXIFTAG_DATETIMEDIGITIZED};

// The metadata of the first directory (its text tags in `texts`).
void readMetadata(TIFF* tiff, ImageMetadata* m, std::vector<std::pair<uint16_t, std::string>>* texts)
{
    uint32_t count = 0;
    void* data = nullptr;
    auto bytes = [&](uint32_t tag, std::vector<uint8_t>* out) {
        if (TIFFGetField(tiff, tag, &count, &data) && data)
            out->assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + count);
    };
    bytes(TIFFTAG_ICCPROFILE, &m->iccProfile);
    bytes(TIFFTAG_XMLPACKET, &m->xmp);
    bytes(TIFFTAG_RICHTIFFIPTC, &m->iptc);
    for (uint16_t tag : textTags) {
        char* text = nullptr;
        if (TIFFGetField(tiff, tag, &text) && text && *text) texts->emplace_back(tag, text);
    }
    uint16_t orientation = 1;
    if (TIFFGetField(tiff, TIFFTAG_ORIENTATION, &orientation) && orientation >= 1 && orientation <= 8)
        m->orientation = orientation;
}

// The text tags of the EXIF directory, if the file has one (read last: it
// leaves the EXIF directory the current one).
std::vector<std::pair<uint16_t, std::string>> readExifTexts(TIFF* tiff)
{
    std::vector<std::pair<uint16_t, std::string>> texts;
    uint64_t offset = 0;
    if (!TIFFGetField(tiff, TIFFTAG_EXIFIFD, &offset) || !TIFFReadEXIFDirectory(tiff, offset)) return texts;
    for (uint16_t tag : exifTextTags) {
        char* text = nullptr;
        if (TIFFGetField(tiff, tag, &text) && text && *text) texts.emplace_back(tag, text);
    }
    return texts;
}

}  // namespace

// libtiff's JBIG codec is built on jbigkit, which is under the GPL: this
// program, under the MIT licence, links libtiff without it. Defined here,
// this codec entry keeps the linker from taking libtiff's own (and jbigkit
// with it); a JBIG-compressed TIFF is refused with this message.
extern "C" int TIFFInitJBIG(TIFF* tiff, int)
{
    TIFFErrorExtR(tiff, "JBIG", "JBIG compression is not supported by nimbulo");
    return 0;
}

ImageStatus decodeTiff(const uint8_t* bytes, size_t size, int maxSide, Image* image, std::string* problem)
{
    TiffMemory m;
    m.bytes = bytes;
    m.size = size;
    TIFF* tiff = openTiff(&m, "r", tmsize_t(256) << 20);
    if (!tiff) {
        *problem = "truncated or damaged TIFF (" + m.message + ")";
        return imageCorrupt;
    }
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, depth = 1, photometric = 0, planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &depth);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    ImageStatus status = imageOk;
    if (!sizeAllowed(width, height, maxSide, problem)) {
        TIFFClose(tiff);
        return imageTooLarge;
    }
    std::vector<std::pair<uint16_t, std::string>> texts;
    readMetadata(tiff, &image->metadata, &texts);
    image->width = int(width);
    image->height = int(height);
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK && (samples == 1 || samples == 2);
    const bool colour = photometric == PHOTOMETRIC_RGB && (samples == 3 || samples == 4);
    const bool direct = !TIFFIsTiled(tiff) && (depth == 8 || depth == 16) && planar == PLANARCONFIG_CONTIG &&
                        format == SAMPLEFORMAT_UINT && (grey || colour);
    if (direct) {
        image->channels = samples;
        image->bytesPerSample = depth / 8;
        const size_t rowBytes = size_t(width) * samples * image->bytesPerSample;
        if (uint64_t(TIFFScanlineSize64(tiff)) != rowBytes) {
            *problem = "damaged TIFF (its rows are not the size its header says)";
            status = imageCorrupt;
        } else {
            image->pixels.resize(rowBytes * height);
            for (uint32_t y = 0; y < height && status == imageOk; ++y)
                if (TIFFReadScanline(tiff, image->pixels.data() + y * rowBytes, y, 0) < 0) {
                    *problem = "truncated or damaged TIFF (" + m.message + ")";
                    status = imageCorrupt;
                }
        }
    } else {
        // libtiff's reader: RGBA bytes in memory order, turned upright by it.
        char why[1024] = "";
        if (!TIFFRGBAImageOK(tiff, why)) {
            *problem = std::string("a TIFF nimbulo cannot read (") + why + ")";
            status = imageCorrupt;
        } else {
            image->channels = 4;
            image->bytesPerSample = 1;
            image->pixels.resize(size_t(width) * height * 4);
            if (!TIFFReadRGBAImageOriented(tiff, width, height, reinterpret_cast<uint32_t*>(image->pixels.data()),
                                           ORIENTATION_TOPLEFT, 0)) {
                *problem = "truncated or damaged TIFF (" + m.message + ")";
                status = imageCorrupt;
            }
            image->metadata.orientation = 1;
            uint16_t extra = 0;
            uint16_t* kinds = nullptr;
            TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extra, &kinds);
            if (status == imageOk && extra == 0) {  // no alpha: RGB
                std::vector<uint8_t>& p = image->pixels;
                for (size_t k = 0; k < size_t(width) * height; ++k) std::memmove(&p[3 * k], &p[4 * k], 3);
                p.resize(size_t(width) * height * 3);
                image->channels = 3;
            }
            image->note = "converted to 8-bit " + std::string(extra ? "RGBA" : "RGB");
        }
    }
    if (status == imageOk) image->metadata.exif = exifOfTexts(texts, readExifTexts(tiff));
    TIFFClose(tiff);
    return status;
}

bool encodeTiff(const Image& image, const EncodeOptions& options, ByteSink* sink, std::string* error)
{
    // Straight into a file on disk; made in memory first for a pipe.
    std::vector<uint8_t> file;
    TiffMemory m;
    if (sink->seek(0))
        m.sink = sink;
    else
        m.out = &file;
    const uint64_t pixelBytes = uint64_t(image.width) * image.height * image.channels * image.bytesPerSample;
    // Beyond about 4 GiB the offsets need 64 bits: BigTIFF.
    TIFF* tiff = openTiff(&m, pixelBytes > (uint64_t(3) << 30) ? "w8" : "w", 0);
    if (!tiff) {
        *error = "TIFF: " + m.message;
        return false;
    }
    const bool alpha = image.channels == 2 || image.channels == 4;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(image.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(image.height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(image.channels));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(image.bytesPerSample * 8));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, image.channels <= 2 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 72.0);  // the tags a reader expects; no size in inches is meant
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 72.0);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (alpha) {
        const uint16_t kind = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), &kind);
    }
    const int compression = options.tiffCompression == tiffNone  ? COMPRESSION_NONE
                            : options.tiffCompression == tiffLzw ? COMPRESSION_LZW
                                                                 : COMPRESSION_ADOBE_DEFLATE;
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    // Neighbours' differences compress far better than the samples themselves.
    if (compression != COMPRESSION_NONE) TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (compression == COMPRESSION_ADOBE_DEFLATE) TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, pngCompressionLevel);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    const ImageMetadata& meta = image.metadata;
    if (!meta.iccProfile.empty())
        TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(meta.iccProfile.size()), meta.iccProfile.data());
    if (!meta.xmp.empty()) TIFFSetField(tiff, TIFFTAG_XMLPACKET, uint32_t(meta.xmp.size()), meta.xmp.data());
    if (!meta.iptc.empty()) TIFFSetField(tiff, TIFFTAG_RICHTIFFIPTC, uint32_t(meta.iptc.size()), meta.iptc.data());
    for (uint16_t tag : textTags) {
        std::string text = exifText(meta.exif, tag);
        if (!text.empty()) TIFFSetField(tiff, tag, text.c_str());
    }
    std::vector<std::pair<uint16_t, std::string>> exifTexts;
    for (uint16_t tag : exifTextTags) {
        std::string text = exifText(meta.exif, tag);
        if (!text.empty()) exifTexts.emplace_back(tag, text);
    }
    if (!exifTexts.empty()) TIFFSetField(tiff, TIFFTAG_EXIFIFD, uint64_t(0));  // its place, filled in below
    const size_t rowBytes = size_t(image.width) * image.channels * image.bytesPerSample;
    std::vector<uint8_t> row(rowBytes);  // libtiff may change the row it is given (the predictor)
    bool ok = true;
    for (int y = 0; y < image.height && ok; ++y) {
        std::memcpy(row.data(), image.pixels.data() + size_t(y) * rowBytes, rowBytes);
        ok = TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) >= 0;
    }
    ok = TIFFWriteDirectory(tiff) && ok;
    if (ok && !exifTexts.empty()) {
        // The EXIF directory after the image, then the first directory again
        // with its place.
        uint64_t offset = 0;
        ok = TIFFCreateEXIFDirectory(tiff) == 0;
        for (const auto& text : exifTexts) ok = ok && TIFFSetField(tiff, text.first, text.second.c_str());
        ok = ok && TIFFWriteCustomDirectory(tiff, &offset) && TIFFSetDirectory(tiff, 0) &&
             TIFFSetField(tiff, TIFFTAG_EXIFIFD, offset) && TIFFRewriteDirectory(tiff);
    }
    TIFFClose(tiff);
    if (!ok) {
        *error = m.sinkFailed ? "cannot be written (disk full?)" : "TIFF: " + m.message;
        return false;
    }
    if (m.sink || sink->write(file.data(), file.size())) return true;
    *error = "cannot be written (disk full?)";
    return false;
}
