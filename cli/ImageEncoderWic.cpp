// Writing through the Windows Imaging Component: the picture handed to the
// system's encoder in the nearest layout it takes, the options of
// EncodeOptions set on the frame, and a PNG's or JPEG's colour profile added
// to the encoded bytes as the other builds add it (ImageMetadata.h), so the
// files are alike whichever system wrote them.
#include "cli/ImageFile.h"

#include "cli/WicSupport.h"

#include <cstring>

using namespace wic;

namespace {

// The pixels as WIC takes them: grey, BGR or BGRA at 8 bits; grey, RGB or
// RGBA at 16 (grey + alpha as RGBA: WIC has no such layout). A JPEG keeps no alpha.
struct Prepared {
    GUID format;
    UINT stride = 0;
    std::vector<uint8_t> pixels;
};

Prepared prepare(const Image& image, bool keepAlpha, bool greyAsColour = false)
{
    Prepared out;
    const int c = image.channels;
    const size_t b = size_t(image.bytesPerSample);
    const bool alpha = keepAlpha && (c == 2 || c == 4);
    const int outChannels = c <= 2 && !alpha && !greyAsColour ? 1 : alpha ? 4 : 3;
    if (b == 2)
        out.format = outChannels == 1   ? GUID_WICPixelFormat16bppGray
                     : outChannels == 3 ? GUID_WICPixelFormat48bppRGB
                                        : GUID_WICPixelFormat64bppRGBA;
    else
        out.format = outChannels == 1   ? GUID_WICPixelFormat8bppGray
                     : outChannels == 3 ? GUID_WICPixelFormat24bppBGR
                                        : GUID_WICPixelFormat32bppBGRA;
    const size_t n = size_t(image.width) * image.height;
    out.stride = UINT(size_t(image.width) * outChannels * b);
    out.pixels.resize(n * outChannels * b);
    const bool bgr = b == 1 && outChannels >= 3;
    for (size_t k = 0; k < n; ++k) {
        const uint8_t* in = &image.pixels[k * c * b];
        uint8_t* to = &out.pixels[k * outChannels * b];
        for (int o = 0; o < outChannels; ++o) {
            // Which input sample fills output sample `o`.
            int from = o == 3 ? c - 1 : c <= 2 ? 0 : bgr ? 2 - o : o;
            std::memcpy(to + o * b, in + from * b, b);
        }
    }
    return out;
}

// One named encoder option.
bool setOption(IPropertyBag2* bag, const wchar_t* name, VARTYPE type, float real, BYTE byte)
{
    PROPBAG2 option = {};
    option.pstrName = const_cast<LPOLESTR>(name);
    VARIANT value;
    std::memset(&value, 0, sizeof value);
    value.vt = type;
    if (type == VT_R4)
        value.fltVal = real;
    else
        value.bVal = byte;
    return SUCCEEDED(bag->Write(1, &option, &value));
}

BYTE tiffMethod(TiffCompression compression)
{
    switch (compression) {
    case tiffLzw: return WICTiffCompressionLZW;
    case tiffNone: return WICTiffCompressionNone;
    default: return WICTiffCompressionZIP;
    }
}

// The encoded bytes of a stream on global memory.
bool bytesOf(IStream* stream, std::vector<uint8_t>* bytes)
{
    STATSTG stat;
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || FAILED(GetHGlobalFromStream(stream, &memory))) return false;
    const void* data = GlobalLock(memory);
    if (!data) return false;
    const uint8_t* first = static_cast<const uint8_t*>(data);
    bytes->assign(first, first + size_t(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    return true;
}

}  // namespace

namespace {

// The picture through the system's encoder for `codec`; the encoder's error code when it fails.
HRESULT encodeWithSystem(const Codec& codec, int width, int height, const Prepared& prepared,
                         const EncodeOptions& options, const std::vector<uint8_t>& profile, std::vector<uint8_t>* bytes)
{
    const ImageFormat format = codec.format;
    Wic wic;
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> bag;
    HRESULT hr = wic.factory ? CreateStreamOnHGlobal(nullptr, TRUE, stream.out()) : E_FAIL;
    if (SUCCEEDED(hr)) hr = wic.factory->CreateEncoder(*codec.container, nullptr, encoder.out());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.out(), bag.out());
    if (SUCCEEDED(hr) && bag) {
        // An option the encoder does not know is left at its default.
        if (format == imageJpeg || format == imageHeif || (format == imageWebp && !options.lossless))
            setOption(bag.get(), L"ImageQuality", VT_R4, float(options.quality) / 100.0f, 0);
        // Above 90 the colour keeps every pixel, as the other builds write it
        // (the system's default halves it both ways).
        if (format == imageJpeg && options.quality > 90)
            setOption(bag.get(), L"JpegYCrCbSubsampling", VT_UI1, 0, WICJpegYCrCbSubsampling444);
        if (format == imageTiff)
            setOption(bag.get(), L"TiffCompressionMethod", VT_UI1, 0, tiffMethod(options.tiffCompression));
    }
    if (SUCCEEDED(hr)) hr = frame->Initialize(bag.get());
    if (SUCCEEDED(hr)) hr = frame->SetSize(UINT(width), UINT(height));
    WICPixelFormatGUID chosen = prepared.format;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&chosen);
    // A profile in formats whose bytes are not amended afterwards, where the encoder takes one.
    if (SUCCEEDED(hr) && format != imagePng && format != imageJpeg && !profile.empty()) {
        ComPtr<IWICColorContext> context;
        if (SUCCEEDED(wic.factory->CreateColorContext(context.out())) &&
            SUCCEEDED(context->InitializeFromMemory(profile.data(), UINT(profile.size())))) {
            IWICColorContext* contexts[1] = {context.get()};
            frame->SetColorContexts(1, contexts);
        }
    }
    if (SUCCEEDED(hr) && IsEqualGUID(chosen, prepared.format)) {
        hr = frame->WritePixels(UINT(height), prepared.stride, UINT(prepared.pixels.size()),
                                const_cast<BYTE*>(prepared.pixels.data()));
    } else if (SUCCEEDED(hr)) {
        // The encoder takes another layout: the system converts to it.
        ComPtr<IWICBitmap> bitmap;
        ComPtr<IWICBitmapSource> converted;
        hr = wic.factory->CreateBitmapFromMemory(UINT(width), UINT(height), prepared.format, prepared.stride,
                                                 UINT(prepared.pixels.size()),
                                                 const_cast<BYTE*>(prepared.pixels.data()), bitmap.out());
        if (SUCCEEDED(hr)) hr = WICConvertBitmapSource(chosen, bitmap.get(), converted.out());
        if (SUCCEEDED(hr)) hr = frame->WriteSource(converted.get(), nullptr);
    }
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    if (SUCCEEDED(hr) && !bytesOf(stream.get(), bytes)) hr = E_FAIL;
    return hr;
}

// Whether the system's PNG encoder takes 16-bit samples in WIC's order (least
// significant byte first) and writes them in PNG's, as Windows does; some
// (Wine 8) copy them as they are. Probed once with one grey pixel of 0x0102.
bool pngEncoderReordersSixteen()
{
    static const bool reorders = [] {
        Prepared pixel;
        pixel.format = GUID_WICPixelFormat16bppGray;
        pixel.stride = 2;
        pixel.pixels = {0x02, 0x01};
        std::vector<uint8_t> png, rows;
        if (FAILED(encodeWithSystem(*codecOf(imagePng), 1, 1, pixel, EncodeOptions(), {}, &png))) return true;
        for (size_t at = 8; at + 12 <= png.size();) {
            const size_t length =
                size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3];
            if (length > png.size() - at - 12) break;
            if (std::memcmp(&png[at + 4], "IDAT", 4) == 0)
                return !zlibDecompress(&png[at + 8], length, &rows) || rows.size() != 3 || rows[1] == 0x01;
            at += 12 + length;
        }
        return true;
    }();
    return reorders;
}

}  // namespace

bool encodeImage(const Image& image, ImageFormat format, const EncodeOptions& options, std::vector<uint8_t>* bytes,
                 std::string* error)
{
    bytes->clear();
    const Codec* codec = codecOf(format);
    if (!codec || !canWriteFormat(format)) {
        *error = std::string("this system cannot write ") + (codec ? codec->name : "this format") + " files";
        return false;
    }
    if (image.bytesPerSample == 2 && format != imagePng && format != imageTiff) {
        *error = "only PNG and TIFF hold 16 bits per channel";
        return false;
    }
    if (image.channels < 1 || image.channels > 4 || image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != size_t(image.width) * image.height * image.channels * size_t(image.bytesPerSample)) {
        *error = "the picture could not be encoded";
        return false;
    }
    if (!formatHolds(format, image.width, image.height, image.channels, image.bytesPerSample, error)) return false;

    auto encode = [&](bool greyAsColour) {
        Prepared prepared = prepare(image, format != imageJpeg, greyAsColour);
        if (format == imagePng && image.bytesPerSample == 2 && !pngEncoderReordersSixteen())
            for (size_t k = 0; k + 1 < prepared.pixels.size(); k += 2)
                std::swap(prepared.pixels[k], prepared.pixels[k + 1]);
        return encodeWithSystem(*codec, image.width, image.height, prepared, options, image.metadata.iccProfile, bytes);
    };
    HRESULT hr = encode(false);
    // Some encoders (Wine's TIFF) take no 16-bit grey and cannot convert it:
    // then it is written as RGB, still at 16 bits.
    if (FAILED(hr) && image.bytesPerSample == 2 && image.channels == 1) hr = encode(true);
    if (FAILED(hr)) {
        bytes->clear();
        *error = std::string("the system's ") + codec->name + " encoder failed (error " + hresultText(hr) + ")";
        return false;
    }
    if (format == imagePng) *bytes = pngWithProfile(*bytes, image.metadata);
    if (format == imageJpeg) *bytes = jpegWithProfile(*bytes, image.metadata.iccProfile);
    return true;
}
