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
size_t requestBytes(const Rect16& rect, int lo, int hi, int bytesPerSample = 1);

// Fills `block` with the pixels of `rect` (in sampled coordinates: pixel (x, y)
// of the request is image pixel (x, y) times rate), planes lo..hi. Pixels
// outside the image repeat the edge when padding is -1, else take that value.
void copyRequest(const HostImage& image, const Rect16& rect, Fixed rate, int lo, int hi, int16 padding, uint8* block);

// Writes `block` (planes lo..hi of `rect`, full size) back into the image. With
// a selection (8 bits at every depth), each output sample is blended with the
// old one by the mask value.
void writeBackRequest(const HostImage& image, const Rect16& rect, int lo, int hi, const uint8* block, int32 rowBytes,
                      const HostImage* selection);
