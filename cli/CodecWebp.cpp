// WebP through libwebp: lossy or lossless, RGB or RGBA at 8 bits, decoded
// straight into the Image; the colour profile, EXIF and XMP in their chunks
// (libwebpmux). WebP has no grey: grey pictures are written as RGB.
#include <webp/decode.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstring>
#include <vector>

#include "cli/Codecs.h"

namespace {

void chunkOf(const WebPMux* mux, const char* fourcc, std::vector<uint8_t>* out)
{
    WebPData data;
    if (WebPMuxGetChunk(mux, fourcc, &data) == WEBP_MUX_OK) out->assign(data.bytes, data.bytes + data.size);
}

}  // namespace

ImageStatus decodeWebp(const uint8_t* bytes, size_t size, int maxSide, Image* image, std::string* problem)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes, size, &features) != VP8_STATUS_OK) {
        *problem = "truncated or damaged WebP";
        return imageCorrupt;
    }
    if (features.has_animation) {
        *problem = "an animated WebP, which nimbulo does not paint; save one frame as a picture";
        return imageCorrupt;
    }
    if (!sizeAllowed(features.width, features.height, maxSide, problem)) return imageTooLarge;
    image->width = features.width;
    image->height = features.height;
    image->channels = features.has_alpha ? 4 : 3;
    image->bytesPerSample = 1;
    const size_t rowBytes = size_t(image->width) * size_t(image->channels);
    image->pixels.resize(rowBytes * size_t(image->height));
    uint8_t* decoded = features.has_alpha
                           ? WebPDecodeRGBAInto(bytes, size, image->pixels.data(), image->pixels.size(), int(rowBytes))
                           : WebPDecodeRGBInto(bytes, size, image->pixels.data(), image->pixels.size(), int(rowBytes));
    if (!decoded) {
        *problem = "truncated or damaged WebP";
        return imageCorrupt;
    }
    const WebPData whole = {bytes, size};
    if (WebPMux* mux = WebPMuxCreate(&whole, 0)) {
        chunkOf(mux, "ICCP", &image->metadata.iccProfile);
        chunkOf(mux, "EXIF", &image->metadata.exif);
        chunkOf(mux, "XMP ", &image->metadata.xmp);
        WebPMuxDelete(mux);
    }
    // A block some programs write with its JPEG signature still in front.
    std::vector<uint8_t>& exif = image->metadata.exif;
    if (exif.size() > 6 && std::memcmp(exif.data(), "Exif\0\0", 6) == 0) exif.erase(exif.begin(), exif.begin() + 6);
    return imageOk;
}

bool encodeWebp(const Image& image, const EncodeOptions& options, ByteSink* sink, std::string* error)
{
    if (image.bytesPerSample != 1 || image.channels < 1 || image.channels > 4) {
        *error = "the picture could not be encoded";
        return false;
    }
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) {
        *error = "WebP: the library does not match its headers";
        return false;
    }
    config.lossless = options.lossless ? 1 : 0;
    // Lossless: the effort (75 is libwebp's own default); lossy: the quality.
    config.quality = options.lossless ? 75.0f : float(options.quality);
    config.exact = options.lossless ? 1 : 0;  // transparent pixels keep their colour
    picture.use_argb = options.lossless ? 1 : 0;
    picture.width = image.width;
    picture.height = image.height;
    const bool alpha = image.channels == 2 || image.channels == 4;
    bool imported;
    if (image.channels >= 3) {
        const int stride = image.width * image.channels;
        imported = alpha ? WebPPictureImportRGBA(&picture, image.pixels.data(), stride)
                         : WebPPictureImportRGB(&picture, image.pixels.data(), stride);
    } else {
        // Grey widened to RGB(A).
        const size_t count = size_t(image.width) * size_t(image.height);
        const int out = alpha ? 4 : 3;
        std::vector<uint8_t> colour(count * size_t(out));
        for (size_t k = 0; k < count; ++k) {
            const uint8_t* q = &image.pixels[k * size_t(image.channels)];
            uint8_t* c = &colour[k * size_t(out)];
            c[0] = c[1] = c[2] = q[0];
            if (alpha) c[3] = q[1];
        }
        imported = alpha ? WebPPictureImportRGBA(&picture, colour.data(), image.width * 4)
                         : WebPPictureImportRGB(&picture, colour.data(), image.width * 3);
    }
    WebPMemoryWriter written;
    WebPMemoryWriterInit(&written);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &written;
    const bool encoded = imported && WebPEncode(&config, &picture);
    WebPPictureFree(&picture);
    if (!encoded) {
        WebPMemoryWriterClear(&written);
        *error = "WebP: the picture could not be encoded";
        return false;
    }
    const ImageMetadata& m = image.metadata;
    WebPData file = {written.mem, written.size};
    WebPData assembled = {nullptr, 0};
    bool ok = true;
    if (!m.iccProfile.empty() || !m.exif.empty() || !m.xmp.empty()) {
        // The metadata in their chunks of the extended format.
        WebPMux* mux = WebPMuxNew();
        ok = mux && WebPMuxSetImage(mux, &file, 0) == WEBP_MUX_OK;
        // A grey picture's grey profile does not describe the RGB it is written as.
        const bool greyProfile = m.iccProfile.size() > 20 && std::memcmp(&m.iccProfile[16], "GRAY", 4) == 0;
        const std::vector<uint8_t> none;
        const std::pair<const char*, const std::vector<uint8_t>*> chunks[] = {
            {"ICCP", greyProfile ? &none : &m.iccProfile}, {"EXIF", &m.exif}, {"XMP ", &m.xmp}};
        for (const auto& chunk : chunks)
            if (ok && !chunk.second->empty()) {
                const WebPData data = {chunk.second->data(), chunk.second->size()};
                ok = WebPMuxSetChunk(mux, chunk.first, &data, 1) == WEBP_MUX_OK;
            }
        ok = ok && WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK;
        WebPMuxDelete(mux);
        if (ok) file = assembled;
    }
    if (!ok) *error = "WebP: the metadata could not be added";
    if (ok && !sink->write(file.bytes, file.size)) {
        *error = "cannot be written (disk full?)";
        ok = false;
    }
    WebPDataClear(&assembled);
    WebPMemoryWriterClear(&written);
    return ok;
}
