// A host's side of pixel requests: copying the rectangle a plug-in asks for
// out of an interleaved image, and writing its output back through the
// selection. Shared by the command-line host and the test host.
#pragma once

#include <cstddef>

#include "host/HostAbi.h"

// An interleaved image the host owns: samples of one byte (0..255), of two
// (native order, the host's 16-bit range 0..32768), or of four (floats).
struct HostImage {
    int width = 0, height = 0, planes = 0;
    uint8* pixels = nullptr;
    int bytesPerSample = 1;
};

// Bytes a request of `rect` with planes lo..hi needs; 0 for an empty request.
size_t requestBytes(const VRect& rect, int lo, int hi, int bytesPerSample = 1);

// Fills `block` with the pixels of `rect` (in sampled coordinates: pixel (x, y)
// of the request is image pixel (x, y) times rate), planes lo..hi. Pixels
// outside the image repeat the edge when padding is -1, else take that value.
void copyRequest(const HostImage& image, const VRect& rect, Fixed rate, int lo, int hi, int16 padding, uint8* block);

// Writes `block` (planes lo..hi of `rect`, full size) back into the image. With
// a selection (8 bits at every depth), each output sample is blended with the
// old one by the mask value.
void writeBackRequest(const HostImage& image, const VRect& rect, int lo, int hi, const uint8* block, int32 rowBytes,
                      const HostImage* selection);

// The sides of `width` x `height` pixels with `filterRect` as a host states
// them: in the 32-bit coordinates of `big` (when not null; the plug-in may
// then take them up) and in the record's 16-bit fields, which hold at most
// 32767 a side and so are clipped to it.
void describeDocument(FilterRecord* record, BigDocumentStruct* big, int width, int height, const VRect& filterRect);

// Whether the plug-in has taken up the 32-bit coordinates of `big`.
inline bool usesBigCoordinates(const BigDocumentStruct* big) { return big && big->PluginUsing32BitCoordinates != 0; }

// The rectangles the plug-in asks for, as a host reads them: the 32-bit ones
// once the plug-in uses them, else the record's 16-bit ones.
struct RequestedRects {
    VRect in, out, mask;
};
RequestedRects requestedRects(const FilterRecord& record, const BigDocumentStruct* big);

// Whether all three are empty: the plug-in asks for nothing more.
bool requestsEmpty(const RequestedRects& rects);
