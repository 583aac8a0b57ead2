// Renders pictures with the engine linked into the test program, row by row
// as the final apply does, without a host. Used where a test needs pixels from
// the engine on every build.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/Context.h"
#include "settings/CloudSettings.h"

namespace testhost {

// Clear sky skipped or not for a scope, then skipped again (as shipped).
struct ClearSkyScope {
    explicit ClearSkyScope(bool skipped);
    ~ClearSkyScope();
    ClearSkyScope(const ClearSkyScope&) = delete;
    ClearSkyScope& operator=(const ClearSkyScope&) = delete;
};

struct Picture {
    int width = 0, height = 0, planes = 3;
    bool transparency = false;    // the last plane is the layer's transparency
    std::vector<uint8_t> pixels;  // interleaved, rows from the top
    int bytesPerSample = 1;       // 2: 16-bit samples, native order, 0..32768; 4: floats
    int imageMode = -1;           // the host's image mode; -1: RGB or grey by planes and depth
};

// A deterministic picture with every kind of pixel: gradients in colour and,
// with transparency, alphas from fully transparent to opaque.
Picture gradientPicture(int width, int height, int planes, bool transparency);

// The same picture at 16 bits per channel: each sample (c x 32768 + 127) / 255.
Picture sixteenBitPicture(const Picture& eightBit);
// A 16-bit picture's samples brought to 8 bits: (v x 255 + 16384) / 32768.
std::vector<uint8_t> eightBitSamples(const Picture& sixteenBit);

// A context, a record and a parameter block in emulated handles, with the
// render tables prepared: the minimum the row renderer reads.
struct RenderRig {
    RenderRig(const CloudSettings& settings, const Picture& picture);
    ~RenderRig();
    RenderRig(const RenderRig&) = delete;
    RenderRig& operator=(const RenderRig&) = delete;

    // One row of the final pass: `in` and `out` hold just that row.
    void renderRow(const uint8_t* in, uint8_t* out, int y);

    FilterRecord record{};
    FilterContext ctx{};
    int16 result = 0;
    std::unique_ptr<WorkBlock> work;
};

// A block holding the defaults, as a new parameter block would.
CloudSettings defaultSettings();

// The final render of `source` with `settings`, on `threads` threads.
Picture renderInProcess(const CloudSettings& settings, const Picture& source, int threads = 1);

// The preview render: the whole area in one buffer, with the selection `mask`
// (empty for none) shown as sky or checkerboard.
Picture renderPreviewInProcess(const CloudSettings& settings, const Picture& source, const std::vector<uint8_t>& mask,
                               int threads = 1);

uint64_t fnv1a64(const std::vector<uint8_t>& bytes);

}  // namespace testhost
