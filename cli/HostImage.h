// A host's side of pixel requests: copying the rectangle a plug-in asks for
// out of an interleaved image, and writing its output back through the
// selection. Shared by the command-line host and the test host.
#pragma once

#include <cstddef>

#include "host/HostAbi.h"

// An interleaved 8-bit image the host owns.
struct HostImage {
    int width = 0, height = 0, planes = 0;
    uint8* pixels = nullptr;
};

// Bytes a request of `rect` with planes lo..hi needs; 0 for an empty request.
size_t requestBytes(const Rect16& rect, int lo, int hi);

// Fills `block` with the pixels of `rect` (in sampled coordinates: pixel (x, y)
// of the request is image pixel (x, y) times rate), planes lo..hi. Pixels
// outside the image repeat the edge when padding is -1, else take that value.
void copyRequest(const HostImage& image, const Rect16& rect, Fixed rate, int lo, int hi, int16 padding,
                 uint8* block);

// Writes `block` (planes lo..hi of `rect`, full size) back into the image. With
// a selection, each output byte is blended with the old one by the mask value.
void writeBackRequest(const HostImage& image, const Rect16& rect, int lo, int hi, const uint8* block,
                      int32 rowBytes, const HostImage* selection);
