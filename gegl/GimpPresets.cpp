// Writes GIMP's Presets list for nimbulo:clouds: one named settings entry per
// shipped look, every property of the operation set, in the form GIMP keeps
// a filter's saved settings (filters/GimpGegl-nimbulo-clouds-config.settings
// in GIMP's profile folder). Each look is given by its values, not as the
// operation's look property, so the dialog shows them and they can be changed.
//   nimbulo-gimp-presets > gegl/presets/GimpGegl-nimbulo-clouds-config.settings
#include <cstdio>

#include "resources/gallery/Looks.h"

namespace {

// A colour as GIMP's settings files write one: perceptual (sRGB) components
// from 0 to 1 and alpha, which both GIMP 2.10 and GIMP 3 read back as those
// sRGB values.
void colour(const char* name, uint32_t rgb)
{
    std::printf("    (%s (color-rgba %.6f %.6f %.6f 1.000000))\n", name, double(rgb >> 16 & 255) / 255.0,
                double(rgb >> 8 & 255) / 255.0, double(rgb & 255) / 255.0);
}

}  // namespace

int main()
{
    std::printf("# settings\n\n");
    for (int k = 0; k < kLookCount; ++k) {
        const Look& l = kLooks[k];
        std::printf("(GimpGegl-nimbulo-clouds-config \"%s\"\n", l.title);
        std::printf("    (time 0)\n");
        std::printf("    (look none)\n");
        const struct {
            const char* name;
            int value;
        } sliders[] = {{"puffs", l.puffs},
                       {"lump-scale", l.lumpScale},
                       {"flatness", l.flatness},
                       {"density", l.density},
                       {"lumpiness", l.lumpiness},
                       {"detail", l.detail},
                       {"dispersion", l.dispersion},
                       {"sky-light", l.skyLight},
                       {"brightness", l.brightness},
                       {"smokiness", l.smokiness},
                       {"harshness", l.harshness},
                       {"mottling", l.mottling},
                       {"zoom", l.zoom}};
        for (const auto& s : sliders) std::printf("    (%s %d)\n", s.name, s.value);
        std::printf("    (backlighting %s)\n", l.backlighting ? "yes" : "no");
        colour("cloud-color", l.cloudColour);
        colour("sky-color", l.skyColour);
        std::printf("    (light-x %.6f)\n    (light-y %.6f)\n", double(l.lightX), double(l.lightY));
        std::printf("    (centre-x %.6f)\n    (centre-y %.6f)\n", double(l.centreU), double(l.centreV));
        std::printf("    (seed %d)\n", int(l.seed));
        std::printf("    (wrap none))\n");
    }
    std::printf("\n# end of settings\n");
    return 0;
}
