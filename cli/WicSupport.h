// What the Windows codecs share: COM interfaces released on every path out,
// COM and the imaging factory for one call, and which formats the system offers.
#pragma once

#include <windows.h>

#include <wincodec.h>

#include "cli/ImageFile.h"

#include <cstdio>
#include <string>

namespace wic {
// Container formats the MinGW headers do not name.
inline const GUID containerWebp = {0xe094b0e2, 0x67f2, 0x45b3, {0xb0, 0xea, 0x11, 0x53, 0x37, 0xca, 0x7c, 0xf3}};
inline const GUID containerHeif = {0xe1e62521, 0x6787, 0x405b, {0xa3, 0x39, 0x50, 0x07, 0x15, 0xb5, 0x76, 0x3f}};

struct Codec {
    ImageFormat format;
    const char* name;
    const GUID* container;
};
inline const Codec codecs[] = {{imagePng, "PNG", &GUID_ContainerFormatPng},
                               {imageJpeg, "JPEG", &GUID_ContainerFormatJpeg},
                               {imageTiff, "TIFF", &GUID_ContainerFormatTiff},
                               {imageBmp, "BMP", &GUID_ContainerFormatBmp},
                               {imageWebp, "WebP", &containerWebp},
                               {imageHeif, "HEIF", &containerHeif}};

inline const Codec* codecOf(ImageFormat format)
{
    for (const Codec& c : codecs)
        if (c.format == format) return &c;
    return nullptr;
}

// A COM interface pointer, released on every path out.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }
    void reset()
    {
        if (p) p->Release();
        p = nullptr;
    }
    T** out()
    {
        reset();
        return &p;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }
    T* get() const { return p; }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }

private:
    T* p = nullptr;
};

// COM on the calling thread for the length of one call. A thread already in
// a single-threaded apartment (RPC_E_CHANGED_MODE) keeps it: WIC works there
// too, and that apartment is not ours to end.
class ComScope {
public:
    ComScope() : hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool ready() const { return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE; }

private:
    HRESULT hr;
};

// The imaging factory for one call (declared after the scope: released first).
struct Wic {
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    Wic()
    {
        if (com.ready())
            CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                             factory.outVoid());
    }
};

// Which formats this system reads and writes, probed once: a codec that can
// be created is there.
struct Offered {
    bool read[imageUnknown + 1] = {};
    bool write[imageUnknown + 1] = {};
};

inline const Offered& offered()
{
    static const Offered probed = [] {
        Offered o;
        Wic wic;
        if (!wic.factory) return o;
        for (const Codec& c : codecs) {
            ComPtr<IWICBitmapDecoder> decoder;
            ComPtr<IWICBitmapEncoder> encoder;
            o.read[c.format] = SUCCEEDED(wic.factory->CreateDecoder(*c.container, nullptr, decoder.out()));
            o.write[c.format] = SUCCEEDED(wic.factory->CreateEncoder(*c.container, nullptr, encoder.out()));
        }
        return o;
    }();
    return probed;
}

// "PNG, JPEG or BMP" of the formats offered one way.
inline std::string formatList(const bool (&offer)[imageUnknown + 1], const char* last)
{
    std::string names, pending;
    for (const Codec& c : codecs) {
        if (!offer[c.format]) continue;
        if (!pending.empty()) names += (names.empty() ? "" : ", ") + pending;
        pending = c.name;
    }
    return names.empty() ? pending : names + " " + last + " " + pending;
}

inline std::string hresultText(HRESULT hr)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

}  // namespace wic
