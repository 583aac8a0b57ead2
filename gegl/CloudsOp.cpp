// The engine's side of nimbulo:clouds: the settings block made from the
// operation's properties exactly as nimbulo render makes it from the same
// options, so both paint the same bytes.
#include "gegl/CloudsOp.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "render/CloudPainter.h"
#include "render/Compose8.h"
#include "render/Lattice.h"
#include "resources/gallery/Looks.h"
#include "settings/CloudSettings.h"
#include "settings/PresetFile.h"

struct NimbuloCloudsPainter {
    CloudTables tables;
    CloudPainter painter;
};

namespace {

// The settings of a presets file; false when it cannot be read.
bool readPreset(const char* path, CloudSettings* s)
{
    FILE* file = path && *path ? std::fopen(path, "rb") : nullptr;
    if (!file) return false;
    std::vector<uint8_t> bytes(presetBytesWithThumbnail + 1);
    size_t size = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (size == 0) return false;
    bool pictureRead = false;
    decodePreset(bytes.data(), size, s, nullptr, &pictureRead);
    return true;
}

RGB48 colourOf(const uint8_t rgb[3])
{
    return RGB48{uint16_t(rgb[0] << 8), uint16_t(rgb[1] << 8), uint16_t(rgb[2] << 8)};
}

// The light at (x, y) on the light pad, its height following, to the hundredth.
void placeLight(double x, double y, CloudSettings* s)
{
    s->lightX = float(x);
    s->lightY = float(y);
    double rest = 1.0 - double(s->lightX) * s->lightX - double(s->lightY) * s->lightY;
    s->lightZ = float(std::sqrt(rest > 0.0 ? rest : 0.0));
    for (float* f : {&s->lightX, &s->lightY, &s->lightZ}) *f = fromHundredths(hundredthsWord(*f));
}

// The properties into `s`, as nimbulo render's options: the light and the
// centre kept as a presets file keeps them, the light's height from the pad.
void fromProperties(const NimbuloCloudsParams* p, CloudSettings* s)
{
    int32 CloudSettings::*const fields[] = {
        &CloudSettings::puffs,      &CloudSettings::lumpScale, &CloudSettings::flatness,   &CloudSettings::density,
        &CloudSettings::lumpiness,  &CloudSettings::detail,    &CloudSettings::dispersion, &CloudSettings::skyLight,
        &CloudSettings::brightness, &CloudSettings::smokiness, &CloudSettings::harshness,  &CloudSettings::mottling,
        &CloudSettings::zoom};
    const int values[] = {p->puffs,     p->lump_scale, p->flatness,  p->density,    p->lumpiness,
                          p->detail,    p->dispersion, p->sky_light, p->brightness, p->smokiness,
                          p->harshness, p->mottling,   p->zoom};
    for (size_t k = 0; k < sizeof values / sizeof values[0]; ++k) s->*fields[k] = values[k];
    s->backlighting = p->backlighting ? 1 : 0;
    s->cloudColor = colourOf(p->cloud_rgb);
    s->skyColor = colourOf(p->sky_rgb);
    s->seed = int32(p->seed & 2047u);
    // The light left where the plug-in's defaults put it keeps their height
    // exactly, as the plug-in and nimbulo render paint it when it is not
    // moved; a light moved is kept to the hundredth, as --light keeps it.
    if (float(p->light_x) != s->lightX || float(p->light_y) != s->lightY) placeLight(p->light_x, p->light_y, s);
    s->centreU = fromOriginWord(originWord(float(p->centre_x)));
    s->centreV = fromOriginWord(originWord(float(p->centre_y)));
}

}  // namespace

extern "C" NimbuloCloudsPainter* nimbulo_clouds_prepare(const NimbuloCloudsParams* params, int width, int height)
{
    NimbuloCloudsPainter* made = new (std::nothrow) NimbuloCloudsPainter;
    if (!made) return nullptr;
    // A presets file, else a shipped look, else the properties one by one.
    CloudSettings s;
    std::memset(&s, 0, sizeof s);
    applyDefaults(&s);
    if (!readPreset(params->preset_file, &s)) {
        if (params->look >= 1 && params->look <= kLookCount)
            s = settingsOfLook(kLooks[params->look - 1]);
        else
            fromProperties(params, &s);
    }
    // Seamless wrap is how the picture is laid out, whatever look it takes.
    if (params->wrap != wrapOff) s.wrap = params->wrap;
    PrepareCloudTables(&made->tables, s.seed);
    BuildOverRatioTable(&made->tables);
    prepareCloudPainter(&made->painter, &s, &made->tables, width, height);
    return made;
}

extern "C" void nimbulo_clouds_free(NimbuloCloudsPainter* painter) { delete painter; }

extern "C" void nimbulo_clouds_paint_u8(const NimbuloCloudsPainter* painter, int colour_channels, int alpha, int64_t x,
                                        int64_t y, int step, int count, const uint8_t* in, uint8_t* out)
{
    paintSpan8(&painter->painter, PixelLayout{colour_channels, alpha != 0}, x, y, step, count, in, out);
}

extern "C" void nimbulo_clouds_paint_float(const NimbuloCloudsPainter* painter, int colour_channels, int alpha,
                                           int64_t x, int64_t y, int step, int count, const float* in, float* out)
{
    paintSpanFloat(&painter->painter, PixelLayout{colour_channels, alpha != 0}, x, y, step, count, in, out);
}

extern "C" const char* nimbulo_clouds_look_file(int look)
{
    return look >= 1 && look <= kLookCount ? kLooks[look - 1].file : nullptr;
}

extern "C" unsigned nimbulo_clouds_default_seed(void)
{
    CloudSettings s;
    std::memset(&s, 0, sizeof s);
    applyDefaults(&s);
    return unsigned(s.seed);
}
