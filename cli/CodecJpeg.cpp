// JPEG through libjpeg-turbo: grey (one component) and colour, decoded
// straight into the Image, written scanline by scanline with optimised
// Huffman tables. libjpeg reports errors by longjmp: every setjmp here is in
// a function that holds no C++ object.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>

// The message codes, after the declarations they need.
#include <jerror.h>

#include "cli/Codecs.h"

namespace {

// The most scans a file may have: a progressive file has about ten; one
// with thousands of tiny scans takes a long time to decode for nothing.
enum { mostScans = 1000 };

// The most memory the coefficients of optimised Huffman tables may take.
const uint64_t optimisedTablesUpTo = uint64_t(256) << 20;

struct JpegError {
    jpeg_error_mgr manager;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info)
{
    JpegError* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    longjmp(error->jump, 1);
}

// A warning while decoding is damage (bytes that are not what the format
// allows, data cut short), except the harmless ones cameras and editors
// leave: stray bytes between segments, an unknown JFIF revision or Adobe
// transform code, a colour profile's chunks out of order (it is read apart).
void onMessage(j_common_ptr info, int level)
{
    if (level != -1 || !info->is_decompressor) return;
    const int code = info->err->msg_code;
    if (code != JWRN_EXTRANEOUS_DATA && code != JWRN_JFIF_MAJOR && code != JWRN_ADOBE_XFORM && code != JWRN_BOGUS_ICC)
        onError(info);
}

void onProgress(j_common_ptr info)
{
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > mostScans) {
        JpegError* error = reinterpret_cast<JpegError*>(info->err);
        std::snprintf(error->message, sizeof error->message, "more than %d scans", int(mostScans));
        longjmp(error->jump, 1);
    }
}

struct JpegRead {
    jpeg_decompress_struct info;
    JpegError error;
    jpeg_progress_mgr progress;
    bool created = false;
};

void useErrors(jpeg_error_mgr* manager, JpegError* error)
{
    jpeg_std_error(manager);
    manager->error_exit = onError;
    manager->emit_message = onMessage;
    error->message[0] = '\0';
}

bool readHeader(JpegRead* r, const uint8_t* bytes, size_t size)
{
    r->info.err = &r->error.manager;
    useErrors(&r->error.manager, &r->error);
    if (setjmp(r->error.jump)) return false;
    jpeg_create_decompress(&r->info);
    r->created = true;
    r->progress.progress_monitor = onProgress;
    r->info.progress = &r->progress;
    jpeg_mem_src(&r->info, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&r->info, TRUE);
    r->info.out_color_space = r->info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    return true;
}

bool readRows(JpegRead* r, uint8_t* pixels, size_t rowBytes, size_t memoryLimit)
{
    if (setjmp(r->error.jump)) return false;
    r->info.mem->max_memory_to_use = long(memoryLimit);
    jpeg_start_decompress(&r->info);
    while (r->info.output_scanline < r->info.output_height) {
        JSAMPROW row = pixels + size_t(r->info.output_scanline) * rowBytes;
        jpeg_read_scanlines(&r->info, &row, 1);
    }
    jpeg_finish_decompress(&r->info);
    return true;
}

struct JpegWrite {
    jpeg_compress_struct info;
    JpegError error;
    jpeg_destination_mgr destination;
    ByteSink* sink = nullptr;
    bool sinkFailed = false;
    bool created = false;
    JOCTET buffer[1 << 16];
};

JpegWrite* writerOf(j_compress_ptr info) { return reinterpret_cast<JpegWrite*>(info); }

void startBuffer(j_compress_ptr info)
{
    JpegWrite* w = writerOf(info);
    w->destination.next_output_byte = w->buffer;
    w->destination.free_in_buffer = sizeof w->buffer;
}

boolean passBuffer(j_compress_ptr info)
{
    JpegWrite* w = writerOf(info);
    if (!w->sink->write(w->buffer, sizeof w->buffer)) {
        w->sinkFailed = true;
        std::snprintf(w->error.message, sizeof w->error.message, "cannot be written (disk full?)");
        longjmp(w->error.jump, 1);
    }
    startBuffer(info);
    return TRUE;
}

void passRest(j_compress_ptr info)
{
    JpegWrite* w = writerOf(info);
    size_t used = sizeof w->buffer - w->destination.free_in_buffer;
    if (used && !w->sink->write(w->buffer, used)) {
        w->sinkFailed = true;
        std::snprintf(w->error.message, sizeof w->error.message, "cannot be written (disk full?)");
        longjmp(w->error.jump, 1);
    }
}

struct Marker {
    int code;
    const uint8_t* data;
    size_t size;
};

bool writeFile(JpegWrite* w, const Image* image, const EncodeOptions* options, const Marker* markers, int markerCount,
               const std::vector<uint8_t>* profile, uint8_t* greyRow)
{
    w->info.err = &w->error.manager;
    useErrors(&w->error.manager, &w->error);
    if (setjmp(w->error.jump)) return false;
    jpeg_create_compress(&w->info);
    w->created = true;
    w->destination.init_destination = startBuffer;
    w->destination.empty_output_buffer = passBuffer;
    w->destination.term_destination = passRest;
    w->info.dest = &w->destination;
    w->info.image_width = JDIMENSION(image->width);
    w->info.image_height = JDIMENSION(image->height);
    // Grey stays one component; an alpha channel is left out (JPEG keeps none).
    const bool grey = image->channels <= 2;
    w->info.input_components = grey ? 1 : image->channels;
    w->info.in_color_space = grey ? JCS_GRAYSCALE : (image->channels == 4 ? JCS_EXT_RGBA : JCS_RGB);
    jpeg_set_defaults(&w->info);
    jpeg_set_quality(&w->info, options->quality, TRUE);
    // Optimised Huffman tables need every coefficient kept until the end (two
    // bytes a sample): for pictures whose coefficients outgrow optimisedTablesUpTo,
    // the standard tables, so the file is written as the rows come.
    const uint64_t coefficients = uint64_t(image->width) * uint64_t(image->height) * (grey ? 1u : 3u) * 2u;
    w->info.optimize_coding = coefficients <= optimisedTablesUpTo ? TRUE : FALSE;
    // From quality 90 on the colour is kept at full resolution, as most photo software does.
    if (!grey && options->quality >= 90) w->info.comp_info[0].h_samp_factor = w->info.comp_info[0].v_samp_factor = 1;
    if (options->progressive) jpeg_simple_progression(&w->info);
    jpeg_start_compress(&w->info, TRUE);
    for (int k = 0; k < markerCount; ++k)
        if (markers[k].size) jpeg_write_marker(&w->info, markers[k].code, markers[k].data, unsigned(markers[k].size));
    if (!profile->empty() && profile->size() <= 255 * 65519u)
        jpeg_write_icc_profile(&w->info, profile->data(), unsigned(profile->size()));
    const size_t rowBytes = size_t(image->width) * size_t(image->channels);
    while (w->info.next_scanline < w->info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image->pixels.data() + size_t(w->info.next_scanline) * rowBytes);
        if (image->channels == 2) {
            for (int x = 0; x < image->width; ++x) greyRow[x] = row[2 * x];
            row = greyRow;
        }
        jpeg_write_scanlines(&w->info, &row, 1);
    }
    jpeg_finish_compress(&w->info);
    return true;
}

}  // namespace

ImageStatus decodeJpeg(const uint8_t* bytes, size_t size, int maxSide, Image* image, std::string* problem)
{
    JpegRead r;
    ImageStatus status = imageOk;
    if (!readHeader(&r, bytes, size)) {
        *problem = std::string("truncated or damaged JPEG (") + r.error.message + ")";
        status = imageCorrupt;
    } else if (!sizeAllowed(r.info.image_width, r.info.image_height, maxSide, problem)) {
        status = imageTooLarge;
    } else if (!r.info.arith_code && double(r.info.image_width) * r.info.image_height > double(size) * 512) {
        // Huffman coding spends at least one bit on each 8 x 8 block: a tiny
        // file claiming a huge picture is refused before its pixels are allocated.
        *problem = "damaged JPEG (its " + std::to_string(size) + " bytes cannot hold " +
                   std::to_string(r.info.image_width) + " x " + std::to_string(r.info.image_height) + " pixels)";
        status = imageCorrupt;
    } else {
        image->width = int(r.info.image_width);
        image->height = int(r.info.image_height);
        image->channels = r.info.num_components == 1 ? 1 : 3;
        image->bytesPerSample = 1;
        const size_t rowBytes = size_t(image->width) * size_t(image->channels);
        image->pixels.resize(rowBytes * size_t(image->height));
        // The library's own buffers: a progressive file keeps every coefficient.
        const size_t coefficients = size_t(image->width) * size_t(image->height) * size_t(r.info.num_components) * 2;
        if (!readRows(&r, image->pixels.data(), rowBytes,
                      decoderAllowance(image->width, image->height) + coefficients)) {
            *problem = std::string("truncated or damaged JPEG (") + r.error.message + ")";
            status = imageCorrupt;
        }
    }
    if (r.created) jpeg_destroy_decompress(&r.info);
    return status;
}

bool encodeJpeg(const Image& image, const EncodeOptions& options, ByteSink* sink, std::string* error)
{
    if (image.bytesPerSample != 1 || image.channels < 1 || image.channels > 4) {
        *error = "the picture could not be encoded";
        return false;
    }
    const ImageMetadata& m = image.metadata;
    const std::vector<uint8_t> exif = jpegExifBody(m.exif), xmp = jpegXmpBody(m.xmp), iptc = jpegIptcBody(m.iptc);
    const Marker markers[] = {{JPEG_APP0 + 1, exif.data(), exif.size()},
                              {JPEG_APP0 + 1, xmp.data(), xmp.size()},
                              {JPEG_APP0 + 13, iptc.data(), iptc.size()}};
    std::vector<uint8_t> greyRow(image.channels == 2 ? size_t(image.width) : 0);
    std::unique_ptr<JpegWrite> w(new JpegWrite);
    w->sink = sink;
    bool ok = writeFile(w.get(), &image, &options, markers, 3, &m.iccProfile, greyRow.data());
    if (!ok) *error = w->sinkFailed ? std::string(w->error.message) : std::string("JPEG: ") + w->error.message;
    if (w->created) jpeg_destroy_compress(&w->info);
    return ok;
}
