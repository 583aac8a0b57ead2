#include "cli/HostImage.h"

#include <cstring>

static inline int clampTo(long long v, int low, int high) { return v < low ? low : (v > high ? high : int(v)); }

static inline unsigned loadSample(const uint8* p, int bytes) { return bytes == 2 ? unsigned(p[0] | p[1] << 8) : p[0]; }
static inline void storeSample(uint8* p, int bytes, unsigned v)
{
    p[0] = uint8(v);
    if (bytes == 2) p[1] = uint8(v >> 8);
}

size_t requestBytes(const VRect& rect, int lo, int hi, int bytesPerSample)
{
    int w = rect.right - rect.left, h = rect.bottom - rect.top, n = hi - lo + 1;
    if (w <= 0 || h <= 0 || n <= 0) return 0;
    return size_t(w) * size_t(h) * size_t(n) * size_t(bytesPerSample);
}

void copyRequest(const HostImage& image, const VRect& rect, Fixed rate, int lo, int hi, int16 padding, uint8* block)
{
    const int w = rect.right - rect.left, h = rect.bottom - rect.top, n = hi - lo + 1;
    if (w <= 0 || h <= 0 || n <= 0 || !image.pixels) return;
    const int sample = image.bytesPerSample, pixel = image.planes * sample;
    if (rate <= 0) rate = 65536;
    for (int y = 0; y < h; ++y) {
        long long iy = (static_cast<long long>(rect.top + y) * rate) >> 16;
        bool rowInside = iy >= 0 && iy < image.height;
        int cy = clampTo(iy, 0, image.height - 1);
        uint8* out = block + size_t(y) * size_t(w) * size_t(n * sample);
        // Whole pixels of a row inside the image at full size: one copy.
        if (rate == 65536 && rowInside && n == image.planes && rect.left >= 0 && rect.right <= image.width) {
            std::memcpy(out, image.pixels + (size_t(cy) * image.width + rect.left) * pixel, size_t(w) * pixel);
            continue;
        }
        for (int x = 0; x < w; ++x, out += n * sample) {
            long long ix = (static_cast<long long>(rect.left + x) * rate) >> 16;
            bool inside = rowInside && ix >= 0 && ix < image.width;
            if (!inside && padding != -1) {
                for (int c = 0; c < n; ++c) storeSample(out + c * sample, sample, unsigned(uint16(padding)));
                continue;
            }
            const uint8* in = image.pixels + (size_t(cy) * image.width + clampTo(ix, 0, image.width - 1)) * pixel +
                              size_t(lo) * sample;
            std::memcpy(out, in, size_t(n) * sample);
        }
    }
}

void writeBackRequest(const HostImage& image, const VRect& rect, int lo, int hi, const uint8* block, int32 rowBytes,
                      const HostImage* selection)
{
    const int n = hi - lo + 1;
    if (!block || n <= 0 || !image.pixels) return;
    const int sample = image.bytesPerSample, pixel = image.planes * sample;
    for (int y = rect.top; y < rect.bottom; ++y) {
        if (y < 0 || y >= image.height) continue;
        // Without a selection whole pixels go back as they are: one copy.
        if (!selection && n == image.planes && rect.left >= 0 && rect.right <= image.width) {
            std::memcpy(image.pixels + (size_t(y) * image.width + rect.left) * pixel,
                        block + size_t(y - rect.top) * rowBytes, size_t(rect.right - rect.left) * pixel);
            continue;
        }
        for (int x = rect.left; x < rect.right; ++x) {
            if (x < 0 || x >= image.width) continue;
            const uint8* from = block + size_t(y - rect.top) * rowBytes + size_t(x - rect.left) * n * sample;
            uint8* to = image.pixels + (size_t(y) * image.width + x) * pixel + size_t(lo) * sample;
            unsigned m = selection ? selection->pixels[size_t(y) * selection->width + x] : 255;
            if (sample == 4) {
                // Float samples: a whole selection takes the output as it is, bit for bit.
                for (int c = 0; c < n; ++c) {
                    float now, was;
                    std::memcpy(&now, from + c * sample, 4);
                    std::memcpy(&was, to + c * sample, 4);
                    float mixed = m == 255 ? now : (m == 0 ? was : (now * float(m) + was * float(255 - m)) / 255.0f);
                    std::memcpy(to + c * sample, &mixed, 4);
                }
                continue;
            }
            for (int c = 0; c < n; ++c) {
                unsigned mixed = (loadSample(from + c * sample, sample) * m +
                                  loadSample(to + c * sample, sample) * (255 - m) + 127) /
                                 255;
                storeSample(to + c * sample, sample, mixed);
            }
        }
    }
}

static int16 clipped16(int v) { return int16(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }

void describeDocument(FilterRecord* record, BigDocumentStruct* big, int width, int height, const VRect& filterRect)
{
    record->imageSize = Point16{clipped16(height), clipped16(width)};
    record->wholeSize = record->imageSize;
    record->filterRect = Rect16{clipped16(filterRect.top), clipped16(filterRect.left), clipped16(filterRect.bottom),
                                clipped16(filterRect.right)};
    record->bigDocumentData = big;
    if (!big) return;
    std::memset(big, 0, sizeof *big);
    big->imageSize32 = VPoint{height, width};
    big->wholeSize32 = big->imageSize32;
    big->filterRect32 = filterRect;
}

static VRect widened(const Rect16& r) { return VRect{r.top, r.left, r.bottom, r.right}; }

RequestedRects requestedRects(const FilterRecord& record, const BigDocumentStruct* big)
{
    if (usesBigCoordinates(big)) return RequestedRects{big->inRect32, big->outRect32, big->maskRect32};
    return RequestedRects{widened(record.inRect), widened(record.outRect), widened(record.maskRect)};
}

bool requestsEmpty(const RequestedRects& rects)
{
    auto empty = [](const VRect& x) { return x.top >= x.bottom || x.left >= x.right; };
    return empty(rects.in) && empty(rects.out) && empty(rects.mask);
}
