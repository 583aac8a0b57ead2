#include "render/CloudPainter.h"

#include <cstring>

#include "render/Compose16.h"
#include "render/Compose8.h"
#include "render/RenderPath.h"

void prepareCloudPainter(CloudPainter* painter, const CloudSettings* settings, const CloudTables* tables, int32_t width,
                         int32_t height)
{
    std::memcpy(&painter->settings, settings, sizeof *settings);
    painter->settings.zoomRate = 1;
    painter->settings.panX = painter->settings.panY = 0;
    painter->tables = tables;
    painter->width = width > 0 ? width : 1;
    painter->height = height > 0 ? height : 1;
    SetupCloudFactors(&painter->factors, &painter->settings, tables, painter->width, painter->height);
}

void setupPainterRow(const CloudPainter* painter, int64_t x, int64_t y, int32_t step, CloudRow* row)
{
    *row = painter->factors;
    row->zoomRate = step > 0 ? step : 1;
    row->panColumn = int32_t(x / row->zoomRate);
    SetupCloudRowAt(row, painter->tables, y);
}

namespace {

// Spans are painted in chunks of this many pixels, their clouds on the stack.
enum { chunk = goodSpanColumns };

inline float unitLimited(float v) { return !(v > 0.0f) ? 0.0f : v; }

// Calls lay(pixel index, its cloud) for each pixel of the span, a chunk of
// clouds at a time; a chunk that is clear sky throughout goes to
// clearRun(first pixel index, pixels) instead, when that takes it (true).
template <typename Lay, typename ClearRun> void forEachCloud(const CloudPainter* painter, int64_t x, int64_t y,
                                                             int32_t step, int32_t count, Lay lay, ClearRun clearRun)
{
    CloudRow row;
    setupPainterRow(painter, x, y, step, &row);
    CloudPixel clouds[chunk];
    for (int32_t first = 0; first < count; first += chunk) {
        const int32_t n = count - first < chunk ? count - first : int32_t(chunk);
        if (ShadeCloudSpan(&row, painter->tables, first, n, clouds) && clearRun(size_t(first), size_t(n))) continue;
        for (int32_t k = 0; k < n; ++k) lay(size_t(first + k), clouds[k]);
    }
}

}  // namespace

void paintSpan8(const CloudPainter* painter, PixelLayout layout, int64_t x, int64_t y, int32_t step, int32_t count,
                const uint8_t* in, uint8_t* out)
{
    const bool colour = layout.colourChannels == 3;
    const int stride = layout.colourChannels + (layout.alpha ? 1 : 0);
    forEachCloud(
        painter, x, y, step, count,
        [&](size_t pixel, const CloudPixel& cloud) {
            const uint8_t* p = in + pixel * stride;
            uint8_t* q = out + pixel * stride;
            if (isClearSky(cloud)) {  // the pixel as it was (as composed, also with alpha)
                for (int c = 0; c < stride; ++c) q[c] = p[c];
                return;
            }
            const int32_t source[3] = {p[0], colour ? p[1] : p[0], colour ? p[2] : p[0]};
            const int32_t a0 = layout.alpha ? p[layout.colourChannels] : 255;
            ComposedPixel c = compose8::composePixel(painter->tables, cloud, source, a0, colour, layout.alpha);
            q[0] = uint8_t(c.red);
            if (colour) q[1] = uint8_t(c.green), q[2] = uint8_t(c.blue);
            if (layout.alpha) q[layout.colourChannels] = uint8_t(c.transparency);
        },
        [&](size_t first, size_t pixels) {
            // Clear sky leaves the pixels as they were: one move for the chunk.
            if (in != out) std::memmove(out + first * stride, in + first * stride, pixels * size_t(stride));
            return true;
        });
}

void paintSpanFloat(const CloudPainter* painter, PixelLayout layout, int64_t x, int64_t y, int32_t step, int32_t count,
                    const float* in, float* out)
{
    const bool colour = layout.colourChannels == 3;
    const int stride = layout.colourChannels + (layout.alpha ? 1 : 0);
    const double white = deepWhite;
    forEachCloud(
        painter, x, y, step, count,
        [&](size_t pixel, const CloudPixel& cloud) {
            const float* p = in + pixel * stride;
            float* q = out + pixel * stride;
            const double source[3] = {unitLimited(p[0]) * white, unitLimited(colour ? p[1] : p[0]) * white,
                                      unitLimited(colour ? p[2] : p[0]) * white};
            const float alpha = layout.alpha ? p[layout.colourChannels] : 1.0f;
            const double a0 = (alpha > 1.0f ? 1.0 : unitLimited(alpha)) * white;
            DeepPixel d = ComposeCloudPixel16(cloud, source, a0, colour, layout.alpha);
            q[0] = float(d.red / white);
            if (colour) q[1] = float(d.green / white), q[2] = float(d.blue / white);
            if (layout.alpha) q[layout.colourChannels] = float(d.transparency / white);
        },
        [](size_t, size_t) { return false; });  // the composer limits each sample to 0..1: always through it
}
