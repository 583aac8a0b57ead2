/* nimbulo:clouds, Nimbulo's clouds as a GEGL operation (GIMP 2.10 and 3,
 * and the gegl command line). A point filter: every pixel is painted from
 * its position in the input's extent, which is the filter rectangle (in GIMP
 * the selection's bounding box), exactly as the plug-in paints it. The
 * properties are nimbulo render's options; the engine is C++ (CloudsOp.h). */

#include <glib/gi18n-lib.h>
#include <gmodule.h>
#include <string.h>

#include "CloudsOp.h"

#ifdef GEGL_PROPERTIES

enum_start (nimbulo_clouds_look)
  enum_value (NIMBULO_LOOK_NONE, "none", N_("None: the settings below"))
  enum_value (NIMBULO_LOOK_FAIR_WEATHER_CUMULUS, "fair-weather-cumulus", N_("Fair-weather cumulus"))
  enum_value (NIMBULO_LOOK_TOWERING_CUMULUS, "towering-cumulus", N_("Towering cumulus"))
  enum_value (NIMBULO_LOOK_THUNDERHEAD, "thunderhead", N_("Thunderhead"))
  enum_value (NIMBULO_LOOK_STORMY_OVERCAST, "stormy-overcast", N_("Stormy overcast"))
  enum_value (NIMBULO_LOOK_GREY_OVERCAST, "grey-overcast", N_("Grey overcast"))
  enum_value (NIMBULO_LOOK_SUNSET, "sunset", N_("Sunset"))
  enum_value (NIMBULO_LOOK_GOLDEN_HOUR, "golden-hour", N_("Golden hour"))
  enum_value (NIMBULO_LOOK_COTTON_CANDY_DAWN, "cotton-candy-dawn", N_("Cotton candy dawn"))
  enum_value (NIMBULO_LOOK_SILVER_LINING, "silver-lining", N_("Silver lining"))
  enum_value (NIMBULO_LOOK_MOONLIT_NIGHT, "moonlit-night", N_("Moonlit night"))
  enum_value (NIMBULO_LOOK_HIGH_WISPS, "high-wisps", N_("High wisps"))
  enum_value (NIMBULO_LOOK_LITTLE_PUFFS, "little-puffs", N_("Little puffs"))
  enum_value (NIMBULO_LOOK_DUST_STORM, "dust-storm", N_("Dust storm"))
  enum_value (NIMBULO_LOOK_RISING_MIST, "rising-mist", N_("Rising mist"))
  enum_value (NIMBULO_LOOK_COLD_CLEAR_AIR, "cold-clear-air", N_("Cold clear air"))
  enum_value (NIMBULO_LOOK_AFTERNOON_HAZE, "afternoon-haze", N_("Afternoon haze"))
enum_end (NimbuloCloudsLook)

property_enum (look, _("Look"), NimbuloCloudsLook, nimbulo_clouds_look, NIMBULO_LOOK_NONE)
  description (_("One of the sixteen looks Nimbulo ships; it replaces every setting below"))

property_int (puffs, _("Puffs"), 45)
  value_range (0, 100)
property_int (lump_scale, _("Lump scale"), 33)
  value_range (0, 100)
property_int (flatness, _("Flatness"), 77)
  value_range (0, 100)
property_int (density, _("Density"), 66)
  value_range (0, 100)
property_int (lumpiness, _("Lumpiness"), 29)
  value_range (0, 100)
property_int (detail, _("Detail"), 70)
  value_range (0, 100)
property_int (dispersion, _("Dispersion"), 61)
  value_range (0, 100)
property_int (sky_light, _("Sky light"), 59)
  value_range (0, 100)
property_int (brightness, _("Brightness"), 29)
  value_range (0, 100)
property_int (smokiness, _("Smokiness"), 11)
  value_range (0, 100)
property_int (harshness, _("Harshness"), 31)
  value_range (0, 100)
property_int (mottling, _("Mottling"), 62)
  value_range (0, 100)
property_int (zoom, _("Zoom"), 44)
  value_range (0, 100)

property_boolean (backlighting, _("Backlighting"), FALSE)
  description (_("Light from behind the clouds: dark bodies with glowing edges"))

property_color (cloud_color, _("Cloud color"), "#ECE8F7")
property_color (sky_color, _("Sky color"), "#8699B6")
  description (_("The colour the shadows take on, and of a new sky"))

property_double (light_x, _("Light x"), -0.54)
  value_range (-1.0, 1.0)
  description (_("Where the light comes from, across (the light pad's sun); its height follows"))
property_double (light_y, _("Light y"), -0.54)
  value_range (-1.0, 1.0)
  description (_("Where the light comes from, down"))

property_double (centre_x, _("Centre x"), 0.5)
  value_range (-10.0, 10.0)
  ui_range (0.0, 1.0)
  description (_("The pattern's centre, a fraction of the width"))
property_double (centre_y, _("Centre y"), 0.5)
  value_range (-10.0, 10.0)
  ui_range (0.0, 1.0)
  description (_("The pattern's centre, a fraction of the height"))

property_seed (seed, _("Seed"), rand)
  description (_("The cloud pattern (taken modulo 2048, as the plug-in keeps it)"))

enum_start (nimbulo_clouds_wrap)
  enum_value (NIMBULO_WRAP_NONE, "none", N_("None"))
  enum_value (NIMBULO_WRAP_X, "x", N_("Left to right (a panorama)"))
  enum_value (NIMBULO_WRAP_XY, "xy", N_("Both ways (a tile)"))
enum_end (NimbuloCloudsWrap)

property_enum (wrap, _("Seamless"), NimbuloCloudsWrap, nimbulo_clouds_wrap, NIMBULO_WRAP_NONE)
  description (_("Clouds that repeat without a seam across the selection's bounding box: left to right "
                 "for a 360-degree panorama, both ways for a tile"))

/* Last: GIMP 3.0's scripting interface cannot pass a file path property and
 * drops every property after it, so everything else must come before. */
property_file_path (preset_file, _("Presets file"), "")
  description (_("A Nimbulo presets file (*.k00), saved from the plug-in's dialog or nimbulo; it replaces "
                 "every setting above and the look"))

#else

#define GEGL_OP_POINT_FILTER
#define GEGL_OP_NAME     nimbulo_clouds
#define GEGL_OP_C_SOURCE nimbulo-clouds.c

#include "gegl-op.h"

/* What prepare() chose, for process(). */
typedef struct {
  NimbuloCloudsPainter *painter;
  GeglRectangle         extent;          /* the filter rectangle, at full size */
  int                   colour_channels; /* 1 (grey) or 3 */
  int                   alpha;
  int                   bytes;           /* 8-bit samples; else float */
} State;

static void
free_state (GeglProperties *o)
{
  State *state = o->user_data;
  if (!state)
    return;
  nimbulo_clouds_free (state->painter);
  g_free (state);
  o->user_data = NULL;
}

static void
sRGB_bytes (GeglColor *color, uint8_t rgb[3])
{
  gegl_color_get_pixel (color, babl_format ("R'G'B' u8"), rgb);
}

/* GIMP 2.10's dialog takes a colour property's default as linear values
 * (gegl_color_get_rgba) and hands it back to the operation as perceptual
 * ones (R'G'B'A), so a default opens darker and more saturated than it is.
 * In GIMP 2's process (libgimpbase says version 2) the defaults are stored
 * with linear components equal to the colours' perceptual ones: the dialog
 * then opens on, and paints, the plug-in's colours. GIMP 3 keeps a colour
 * as a GeglColor and needs nothing. */
static gboolean
host_is_gimp_2 (void)
{
  GModule  *program = g_module_open (NULL, 0);
  gpointer  version = NULL;
  gboolean  two;

  two = program && g_module_symbol (program, "gimp_major_version", &version) && version &&
        *(const guint *) version == 2;
  if (program)
    g_module_close (program);
  return two;
}

static void
default_for_gimp_2 (GObjectClass *object_class, const char *name)
{
  GParamSpec *property = g_object_class_find_property (object_class, name);
  GeglColor  *color;
  gdouble     rgba[4];

  if (!property || !GEGL_IS_PARAM_SPEC_COLOR (property))
    return;
  color = gegl_param_spec_color_get_default (property);
  gegl_color_get_pixel (color, babl_format ("R'G'B'A double"), rgba);
  gegl_color_set_pixel (color, babl_format ("RGBA double"), rgba);
}

static void
prepare (GeglOperation *operation)
{
  GeglProperties *o      = GEGL_PROPERTIES (operation);
  const Babl     *source = gegl_operation_get_source_format (operation, "input");
  const Babl     *space  = gegl_operation_get_source_space (operation, "input");
  const GeglRectangle *in = gegl_operation_source_get_bounding_box (operation, "input");
  State          *state;
  NimbuloCloudsParams params;
  const char     *model  = source ? babl_get_name (babl_format_get_model (source)) : "R'G'B'A";
  gboolean        grey   = model[0] == 'Y';
  char            name[32];

  free_state (o);
  state = g_new0 (State, 1);
  o->user_data = state;
  state->colour_channels = grey ? 1 : 3;
  state->alpha = source ? babl_format_has_alpha (source) : 1;
  /* 8-bit images are painted in their 8-bit perceptual form, as the plug-in
   * paints them; deeper ones in perceptual floats. Never in linear light. */
  state->bytes = source && babl_format_get_type (source, 0) == babl_type ("u8");
  g_snprintf (name, sizeof name, "%s%s %s", grey ? "Y'" : "R'G'B'", state->alpha ? "A" : "",
              state->bytes ? "u8" : "float");
  gegl_operation_set_format (operation, "input", babl_format_with_space (name, space));
  gegl_operation_set_format (operation, "output", babl_format_with_space (name, space));

  if (in)
    state->extent = *in;
  memset (&params, 0, sizeof params);
  params.puffs = o->puffs;
  params.lump_scale = o->lump_scale;
  params.flatness = o->flatness;
  params.density = o->density;
  params.lumpiness = o->lumpiness;
  params.detail = o->detail;
  params.dispersion = o->dispersion;
  params.sky_light = o->sky_light;
  params.brightness = o->brightness;
  params.smokiness = o->smokiness;
  params.harshness = o->harshness;
  params.mottling = o->mottling;
  params.zoom = o->zoom;
  params.backlighting = o->backlighting;
  sRGB_bytes (o->cloud_color, params.cloud_rgb);
  sRGB_bytes (o->sky_color, params.sky_rgb);
  params.light_x = o->light_x;
  params.light_y = o->light_y;
  params.centre_x = o->centre_x;
  params.centre_y = o->centre_y;
  params.seed = o->seed;
  params.look = (int) o->look;
  params.wrap = (int) o->wrap;
  params.preset_file = o->preset_file;
  state->painter = nimbulo_clouds_prepare (&params, state->extent.width, state->extent.height);
}

static gboolean
process (GeglOperation       *operation,
         void                *in_buf,
         void                *out_buf,
         glong                n_pixels,
         const GeglRectangle *roi,
         gint                 level)
{
  GeglProperties *o     = GEGL_PROPERTIES (operation);
  State          *state = o->user_data;
  const int       step  = 1 << level;
  const int       stride = state ? state->colour_channels + state->alpha : 0;
  gint            row;

  if (!state || !state->painter)
    return FALSE;
  /* A zoomed-out view (mipmap level L) shows every 2^L-th pixel: the clouds
   * of the full-size pixel each one stands for. */
  for (row = 0; row < roi->height; ++row)
    {
      const int64_t x = (int64_t) roi->x * step - state->extent.x;
      const int64_t y = (int64_t) (roi->y + row) * step - state->extent.y;
      const size_t  at = (size_t) row * roi->width * stride;
      if (state->bytes)
        nimbulo_clouds_paint_u8 (state->painter, state->colour_channels, state->alpha, x, y, step, roi->width,
                                 (const uint8_t *) in_buf + at, (uint8_t *) out_buf + at);
      else
        nimbulo_clouds_paint_float (state->painter, state->colour_channels, state->alpha, x, y, step,
                                    roi->width, (const float *) in_buf + at, (float *) out_buf + at);
    }
  (void) n_pixels;
  return TRUE;
}

static void
finalize (GObject *object)
{
  free_state (GEGL_PROPERTIES (object));
  G_OBJECT_CLASS (gegl_op_parent_class)->finalize (object);
}

static void
gegl_op_class_init (GeglOpClass *klass)
{
  GObjectClass                  *object_class = G_OBJECT_CLASS (klass);
  GeglOperationClass            *operation_class = GEGL_OPERATION_CLASS (klass);
  GeglOperationPointFilterClass *point_filter_class = GEGL_OPERATION_POINT_FILTER_CLASS (klass);
  GParamSpec                    *seed;

  /* With nothing set the operation paints the plug-in's defaults, whose
   * seed is 21 (GEGL's seeds start at 0). */
  seed = g_object_class_find_property (object_class, "seed");
  if (G_IS_PARAM_SPEC_UINT (seed))
    G_PARAM_SPEC_UINT (seed)->default_value = nimbulo_clouds_default_seed ();
  if (host_is_gimp_2 ())
    {
      default_for_gimp_2 (object_class, "cloud-color");
      default_for_gimp_2 (object_class, "sky-color");
    }

  object_class->finalize = finalize;
  operation_class->prepare = prepare;
  point_filter_class->process = process;

  gegl_operation_class_set_keys (operation_class,
    "name",               "nimbulo:clouds",
    "title",              _("Nimbulo Clouds"),
    "categories",         "render",
    "position-dependent", "true",
    "gimp:menu-path",     "<Image>/Filters/Render",
    "gimp:menu-label",    _("Nimbulo Clouds..."),
    "description",        _("Soft, lit procedural clouds over the picture or the selection, as the Nimbulo "
                            "plug-in paints them"),
    NULL);
}

#endif
