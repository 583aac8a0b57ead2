// Same settings, same pixels, on every build: fixed renders checked against
// hashes that the native build produced. The Windows suites check the same
// numbers, so any platform difference in the arithmetic shows here.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

#include "host/EngineHarness.h"

using testhost::Picture;

namespace {

struct GoldenRender {
    const char* what;
    int planes;
    bool transparency;
    bool preview;
    void (*adjust)(CloudSettings&);
    uint64_t hash;
    bool sixteenBits = false;  // the source at 16 bits per channel
};

const GoldenRender kGoldenRenders[] = {
    {"defaults", 3, false, false, [](CloudSettings&) {}, 0x2363c811f7030a6aull},
    {"backlit, smoky, mottled", 3, false, false,
     [](CloudSettings& s) {
         s.backlighting = 1;
         s.lightX = -0.3f;
         s.lightY = -0.2f;
         s.lightZ = 0.9327379f;
         s.smokiness = 90;
         s.mottling = 95;
     },
     0x51108136eeacdbe0ull},
    {"grey image", 1, false, false, [](CloudSettings& s) { s.seed = 812; }, 0xe14a9085b90e11e5ull},
    {"editable transparency", 4, true, false,
     [](CloudSettings& s) {
         s.puffs = 100;
         s.detail = 100;
         s.backlighting = 1;
         s.lightX = s.lightY = 0.1f;
         s.lightZ = 0.9899495f;
     },
     0xcd78262912f32e83ull},
    {"zoom 0 with the horizon", 3, false, false, [](CloudSettings& s) { s.zoom = 0; }, 0x83377147b77a8cf6ull},
    {"preview of a grey layer with a selection", 2, true, true,
     [](CloudSettings& s) {
         s.centreU = 0.3f;
         s.centreV = 0.6f;
         s.skyLight = 100;
     },
     0x0afba575aba6c982ull},
    {"16-bit layer, backlit", 4, true, false,
     [](CloudSettings& s) {
         s.backlighting = 1;
         s.puffs = 90;
         s.density = 80;
     },
     0x45238f010f5fd701ull, true},
    {"16-bit grey preview with a selection", 1, false, true, [](CloudSettings& s) { s.seed = 99; },
     0x0256bf87727937adull, true},
    {"seamless left to right, zoom 0 with the horizon", 3, false, false,
     [](CloudSettings& s) {
         s.wrap = wrapAcross;
         s.zoom = 0;
     },
     0xacb723486ee0bfa2ull},
    {"seamless tile, backlit preview", 4, true, true,
     [](CloudSettings& s) {
         s.wrap = wrapBoth;
         s.backlighting = 1;
         s.zoom = 80;
     },
     0x273ae42703d6c680ull},
};

}  // namespace

TEST(Golden, RendersMatchOnEveryBuild)
{
    for (const GoldenRender& g : kGoldenRenders) {
        CloudSettings settings = testhost::defaultSettings();
        g.adjust(settings);
        Picture source = testhost::gradientPicture(64, 40, g.planes, g.transparency);
        if (g.sixteenBits) source = testhost::sixteenBitPicture(source);
        Picture out;
        if (g.preview) {
            std::vector<uint8_t> mask(64 * 40);
            for (size_t k = 0; k < mask.size(); ++k) mask[k] = uint8_t((k % 64) * 4);
            out = testhost::renderPreviewInProcess(settings, source, mask);
        } else {
            out = testhost::renderInProcess(settings, source);
        }
        uint64_t hash = testhost::fnv1a64(out.pixels);
        EXPECT_EQ(hash, g.hash) << g.what << ": 0x" << std::hex << hash;
        EXPECT_NE(out.pixels, source.pixels) << g.what << " painted nothing";
    }
}
