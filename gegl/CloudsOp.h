/* The C side of the GEGL operation nimbulo:clouds talks to the engine
 * through these: the settings from the operation's properties, a painter
 * prepared once for them, and spans of pixels painted with it. */
#ifndef NIMBULO_CLOUDS_OP_H
#define NIMBULO_CLOUDS_OP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The operation's properties, as the engine takes them. */
typedef struct {
    int puffs, lump_scale, flatness, density, lumpiness, detail, dispersion;
    int sky_light, brightness, smokiness, harshness, mottling, zoom;
    int backlighting;
    uint8_t cloud_rgb[3], sky_rgb[3]; /* sRGB bytes */
    double light_x, light_y;          /* a point on the light pad; its height follows */
    double centre_x, centre_y;        /* the pattern's centre, fractions of the rectangle */
    unsigned seed;                    /* taken modulo 2048 */
    int look;                         /* 0: none, else a shipped look, in the order of nimbulo_clouds_look_file */
    int wrap;                         /* seamless: 0 none, 1 left to right, 2 both ways */
    const char* preset_file;          /* a presets file (*.k00); null or empty: none */
} NimbuloCloudsParams;

typedef struct NimbuloCloudsPainter NimbuloCloudsPainter;

/* A painter for `params` over a filter rectangle of width x height; null
 * when no memory is left. A presets file that cannot be read falls back to
 * the look or the properties. */
NimbuloCloudsPainter* nimbulo_clouds_prepare(const NimbuloCloudsParams* params, int width, int height);
void nimbulo_clouds_free(NimbuloCloudsPainter* painter);

/* Paints `count` pixels of the rectangle's row y from column x, `step`
 * rectangle pixels apart (a zoomed-out view), `in` to `out`: 8-bit or float
 * pixels of `colour_channels` (1 or 3) channels and, with `alpha`, the
 * layer's transparency. Reentrant; allocates nothing. */
void nimbulo_clouds_paint_u8(const NimbuloCloudsPainter* painter, int colour_channels, int alpha, int64_t x, int64_t y,
                             int step, int count, const uint8_t* in, uint8_t* out);
void nimbulo_clouds_paint_float(const NimbuloCloudsPainter* painter, int colour_channels, int alpha, int64_t x,
                                int64_t y, int step, int count, const float* in, float* out);

/* The plug-in's default seed: the operation's, so that with nothing set it
 * paints what the plug-in and nimbulo paint. */
unsigned nimbulo_clouds_default_seed(void);

/* The shipped looks, 1 to 16: the name of their presets file. */
const char* nimbulo_clouds_look_file(int look);

#ifdef __cplusplus
}
#endif

#endif
