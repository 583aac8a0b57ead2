// The codecs behind ImageFile.h on Windows: the system's Windows Imaging
// Component (windowscodecs.dll) decodes and encodes, so the program carries
// no image library. PNG, JPEG, TIFF and BMP are part of every Windows; WebP
// and HEIF are read and written where the system has their codecs (probed by
// creating them). The checks that do not depend on a decoder (a JPEG's
// markers, a PNG's chunks, the sizes in their headers) are the portable ones
// of ImageMetadata.h, run before the system sees the bytes.
#include "cli/ImageFile.h"

#include "cli/WicSupport.h"

#include <cstdio>
#include <cstring>

using namespace wic;

namespace {

uint32_t big32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t little32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool withinLimits(int64_t w, int64_t h, int maxSide)
{
    return w > 0 && h > 0 && w <= maxSide && h <= maxSide && w * h <= maxImagePixels;
}

std::string limitsText(int64_t w, int64_t h, int maxSide)
{
    return std::to_string(w) + " x " + std::to_string(h) + " pixels; each side must be 1 to " +
           std::to_string(maxSide) + " and the whole at most " + std::to_string(maxImagePixels >> 20) + " megapixels";
}

// A memory stream over `bytes` (which WIC only reads).
bool memoryStream(IWICImagingFactory* factory, const uint8_t* bytes, size_t size, ComPtr<IWICStream>* stream)
{
    return SUCCEEDED(factory->CreateStream(stream->out())) &&
           SUCCEEDED((*stream)->InitializeFromMemory(const_cast<BYTE*>(bytes), DWORD(size)));
}

// The first ICC profile among a frame's colour contexts; empty for none.
std::vector<uint8_t> profileOf(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame)
{
    UINT count = 0;
    if (FAILED(frame->GetColorContexts(0, nullptr, &count)) || count == 0 || count > 16) return {};
    ComPtr<IWICColorContext> contexts[16];
    IWICColorContext* raw[16] = {};
    for (UINT k = 0; k < count; ++k) {
        if (FAILED(factory->CreateColorContext(contexts[k].out()))) return {};
        raw[k] = contexts[k].get();
    }
    if (FAILED(frame->GetColorContexts(count, raw, &count))) return {};
    for (UINT k = 0; k < count; ++k) {
        WICColorContextType type;
        UINT size = 0;
        if (FAILED(raw[k]->GetType(&type)) || type != WICColorContextProfile) continue;
        if (FAILED(raw[k]->GetProfileBytes(0, nullptr, &size)) || size == 0 || size > (64u << 20)) continue;
        std::vector<uint8_t> profile(size);
        if (SUCCEEDED(raw[k]->GetProfileBytes(size, profile.data(), &size))) return profile;
    }
    return {};
}

// The layouts nimbulo keeps, as WIC names them; `bgr`: blue first, swapped on the way.
struct Layout {
    const GUID* wic;
    int channels, bytes;
    bool bgr;
};
const Layout grey8 = {&GUID_WICPixelFormat8bppGray, 1, 1, false};
const Layout rgb8 = {&GUID_WICPixelFormat24bppBGR, 3, 1, true};
const Layout rgba8 = {&GUID_WICPixelFormat32bppBGRA, 4, 1, true};
const Layout grey16 = {&GUID_WICPixelFormat16bppGray, 1, 2, false};
const Layout rgb16 = {&GUID_WICPixelFormat48bppRGB, 3, 2, false};
const Layout rgba16 = {&GUID_WICPixelFormat64bppRGBA, 4, 2, false};
const Layout directLayouts[] = {
    grey8,  rgb8,  rgba8, {&GUID_WICPixelFormat24bppRGB, 3, 1, false}, {&GUID_WICPixelFormat32bppRGBA, 4, 1, false},
    grey16, rgb16, rgba16};

// The layout a frame's pixels are kept in: its own when nimbulo keeps it as
// it is, else grey, RGB or RGBA (with alpha when the format or its palette
// has any), 16 bits a sample when the file has more than 8.
Layout layoutFor(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, const GUID& source)
{
    for (const Layout& l : directLayouts)
        if (IsEqualGUID(*l.wic, source)) return l;
    UINT channels = 3, bits = 24;
    BOOL alpha = FALSE;
    ComPtr<IWICComponentInfo> info;
    ComPtr<IWICPixelFormatInfo2> format;
    if (SUCCEEDED(factory->CreateComponentInfo(source, info.out())) &&
        SUCCEEDED(info->QueryInterface(IID_IWICPixelFormatInfo2, format.outVoid()))) {
        format->GetChannelCount(&channels);
        format->GetBitsPerPixel(&bits);
        format->SupportsTransparency(&alpha);
    }
    ComPtr<IWICPalette> palette;
    if (SUCCEEDED(factory->CreatePalette(palette.out())) && SUCCEEDED(frame->CopyPalette(palette.get()))) {
        BOOL paletteAlpha = FALSE;
        palette->HasAlpha(&paletteAlpha);
        return paletteAlpha ? rgba8 : rgb8;
    }
    // More than 8 bits a channel; padded layouts (32-bit BGR) are not.
    const bool deep = bits >= 12 * channels;
    if (channels == 1) return deep ? grey16 : grey8;
    if (alpha) return deep ? rgba16 : rgba8;
    return deep ? rgb16 : rgb8;
}

// The size in a file's header where it is at a fixed place (PNG, BMP).
bool headerSize(ImageFormat format, const uint8_t* b, size_t size, int64_t* w, int64_t* h)
{
    if (format == imagePng && size >= 24) {
        *w = big32(b + 16);
        *h = big32(b + 20);
        return true;
    }
    if (format == imageBmp && size >= 26) {
        if (little32(b + 14) == 12) {  // the old OS/2 header: 16-bit sides
            *w = b[18] | b[19] << 8;
            *h = b[20] | b[21] << 8;
        } else {
            *w = int32_t(little32(b + 18));
            *h = int32_t(little32(b + 22));
            if (*h < 0) *h = -*h;  // rows from the top
        }
        return true;
    }
    return false;
}

// Grey from RGB with the weights the other builds use, (77 R + 150 G + 29 B) / 256.
void toGrey(Image* image)
{
    const size_t n = size_t(image->width) * image->height;
    const int c = image->channels;
    std::vector<uint8_t> grey(n);
    for (size_t k = 0; k < n; ++k) {
        const uint8_t* p = &image->pixels[k * c];
        grey[k] = c >= 3 ? uint8_t((p[0] * 77 + p[1] * 150 + p[2] * 29) >> 8) : p[0];
    }
    image->pixels.swap(grey);
    image->channels = 1;
}

// 16-bit samples to 8 as the other builds reduce them on reading (the high byte).
void toEightBits(Image* image)
{
    std::vector<uint8_t> narrow(image->pixels.size() / 2);
    for (size_t k = 0; k < narrow.size(); ++k) {
        uint16_t v;
        std::memcpy(&v, &image->pixels[2 * k], 2);
        narrow[k] = uint8_t(v >> 8);
    }
    image->pixels.swap(narrow);
    image->bytesPerSample = 1;
}

// RGBA down to its first `channels` samples: RGB, or grey (whose R, G and B are alike).
void keepChannels(Image* image, int channels)
{
    const size_t n = size_t(image->width) * image->height;
    const size_t b = size_t(image->bytesPerSample);
    for (size_t k = 0; k < n; ++k)
        std::memmove(&image->pixels[k * channels * b], &image->pixels[k * 4 * b], channels * b);
    image->pixels.resize(n * channels * b);
    image->channels = channels;
}

// RGBA whose colour is grey, kept as grey + alpha.
void toGreyAlpha(Image* image)
{
    const size_t n = size_t(image->width) * image->height;
    const size_t b = size_t(image->bytesPerSample);
    std::vector<uint8_t> out(n * 2 * b);
    for (size_t k = 0; k < n; ++k) {
        std::memcpy(&out[k * 2 * b], &image->pixels[k * 4 * b], b);
        std::memcpy(&out[(k * 2 + 1) * b], &image->pixels[(k * 4 + 3) * b], b);
    }
    image->pixels.swap(out);
    image->channels = 2;
}

}  // namespace

ImageFormat formatOfBytes(const uint8_t* b, size_t size)
{
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(b, png, 8) == 0) return imagePng;
    if (size >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return imageJpeg;
    if (size >= 2 && b[0] == 'B' && b[1] == 'M') return imageBmp;
    if (size >= 4 && (std::memcmp(b, "II*\0", 4) == 0 || std::memcmp(b, "MM\0*", 4) == 0)) return imageTiff;
    if (size >= 12 && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WEBP", 4) == 0) return imageWebp;
    if (size >= 12 && std::memcmp(b + 4, "ftyp", 4) == 0)
        for (const char* brand : {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"})
            if (std::memcmp(b + 8, brand, 4) == 0) return imageHeif;
    return imageTga;  // TGA has no signature
}

bool canReadFormat(ImageFormat format) { return format >= 0 && format <= imageUnknown && offered().read[format]; }
bool canWriteFormat(ImageFormat format) { return format >= 0 && format <= imageUnknown && offered().write[format]; }

std::string formatsOffered()
{
    return "reads " + formatList(offered().read, "and") + "; writes " + formatList(offered().write, "and") +
           " (through the Windows Imaging Component)";
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
    const ImageFormat format = formatOfBytes(bytes, size);
    if (!canReadFormat(format)) {
        *error = name + ": not an image nimbulo reads (" + formatList(offered().read, "or") + ")";
        return imageUnknownFormat;
    }
    const std::string kind = codecOf(format)->name;
    std::string problem;
    int64_t w = 0, h = 0;
    bool sized = headerSize(format, bytes, size, &w, &h);
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
        w = facts.width;
        h = facts.height;
        sized = true;
    } else if (format == imagePng) {
        if (size < 33 || std::memcmp(bytes + 12, "IHDR", 4) != 0) {
            *error = name + ": truncated or damaged PNG (no header)";
            return imageCorrupt;
        }
        if (!scanPng(bytes, size, &image->metadata, &problem)) {
            *error = name + ": " + problem;
            return imageCorrupt;
        }
    } else if ((format == imageBmp && !scanBmp(bytes, size, &problem)) ||
               (format == imageTiff && !scanTiff(bytes, size, &image->metadata, &problem))) {
        // (A TIFF's orientation is read here: the system's metadata reader
        // can crash on a damaged directory.)
        *error = name + ": " + problem;
        return imageCorrupt;
    }
    // The size from the header, before anything is decoded.
    if (sized && !withinLimits(w, h, maxSide)) {
        *error = name + ": " + limitsText(w, h, maxSide);
        return imageTooLarge;
    }

    Wic wic;
    if (!wic.factory) {
        *error = name + ": the Windows Imaging Component cannot be started";
        return imageUnreadable;
    }
    const std::string damaged = name + ": truncated or damaged " + kind + " (Windows Imaging Component error ";
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    HRESULT hr = memoryStream(wic.factory.get(), bytes, size, &stream) ? S_OK : E_FAIL;
    if (SUCCEEDED(hr))
        hr = wic.factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.out());
    if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, frame.out());
    UINT fw = 0, fh = 0;
    if (SUCCEEDED(hr)) hr = frame->GetSize(&fw, &fh);
    if (FAILED(hr)) {
        *error = damaged + hresultText(hr) + ")";
        return imageCorrupt;
    }
    if (!withinLimits(fw, fh, maxSide)) {
        *error = name + ": " + limitsText(fw, fh, maxSide);
        return imageTooLarge;
    }

    WICPixelFormatGUID source;
    if (FAILED(hr = frame->GetPixelFormat(&source))) {
        *error = damaged + hresultText(hr) + ")";
        return imageCorrupt;
    }
    const Layout layout = layoutFor(wic.factory.get(), frame.get(), source);
    // Other layouts through the system's converter, into the one every
    // system converts to (BGRA at 8 bits; RGBA at 16 where it can), then
    // down to the channels kept.
    Layout via = layout;
    ComPtr<IWICFormatConverter> converter;
    IWICBitmapSource* pixels = frame.get();
    if (!IsEqualGUID(*layout.wic, source)) {
        for (const Layout& target : {rgba16, rgba8}) {
            if (target.bytes > layout.bytes) continue;
            if (target.bytes < layout.bytes)
                image->note = "read with 8 bits per channel (the system converts no deeper)";
            via = target;
            if (SUCCEEDED(wic.factory->CreateFormatConverter(converter.out())) &&
                SUCCEEDED(converter->Initialize(frame.get(), *target.wic, WICBitmapDitherTypeNone, nullptr, 0.0,
                                                WICBitmapPaletteTypeCustom))) {
                pixels = converter.get();
                break;
            }
        }
        if (pixels == frame.get()) {
            *error = name + ": its pixels are in a layout this system cannot convert";
            return imageCorrupt;
        }
    }
    const size_t pixelBytes = size_t(via.channels) * size_t(via.bytes);
    const size_t stride = size_t(fw) * pixelBytes;
    image->pixels.assign(stride * fh, 0);
    if (FAILED(hr = pixels->CopyPixels(nullptr, UINT(stride), UINT(image->pixels.size()), image->pixels.data()))) {
        image->pixels.clear();
        *error = damaged + hresultText(hr) + ")";
        return imageCorrupt;
    }
    if (via.bgr)
        for (size_t k = 0; k < image->pixels.size(); k += pixelBytes) std::swap(image->pixels[k], image->pixels[k + 2]);
    image->width = int(fw);
    image->height = int(fh);
    image->channels = via.channels;
    image->bytesPerSample = via.bytes;
    if (via.channels != layout.channels) keepChannels(image, layout.channels);
    image->format = format;

    // What the file holds beyond what its format's decoder gives: a PNG's grey
    // + alpha (which WIC gives as RGBA), the colour profile of formats whose
    // headers are not walked here.
    if (format == imagePng) {
        const uint8_t colourType = bytes[25];
        if (colourType == 4 && image->channels == 4) toGreyAlpha(image);
        if (colourType == 3) image->note = "palette image converted to RGB";
    }
    if (format != imagePng && format != imageJpeg)
        image->metadata.iccProfile = profileOf(wic.factory.get(), frame.get());
    if (wantChannels != 0) {
        if (image->bytesPerSample == 2) {
            toEightBits(image);
            image->note = "16-bit image reduced to 8 bits per channel";
        }
        if (wantChannels == 1 && image->channels != 1) {
            if (image->channels > 2) image->note = "colour converted to grey";
            toGrey(image);
        }
    }
    if (image->metadata.orientation != 1) {
        applyOrientation(image->metadata.orientation, &image->width, &image->height,
                         image->channels * image->bytesPerSample, &image->pixels);
        image->note = "turned upright by its EXIF orientation";
    }
    return imageOk;
}
