// nimbulo:clouds in GEGL, without GIMP: the operation loaded from a clean
// folder paints what the engine paints, byte for byte on 8-bit pixels and
// within a level on deeper ones, on one thread or two, at full size and
// zoomed out, and the gegl command line gives the PNG nimbulo render gives.
#include <gegl-paramspecs.h>
#include <gegl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/ImageFile.h"
#include "host/EngineHarness.h"
#include "render/CloudPainter.h"
#include "render/Compose8.h"
#include "resources/gallery/Looks.h"
#include "settings/CloudSettings.h"
#include "settings/PresetFile.h"

#ifdef NIMBULO_AS_GIMP_2
// This program stands for GIMP 2.10's process: the operation finds libgimpbase's version, 2.
extern "C" __attribute__((visibility("default"))) const unsigned gimp_major_version = 2;
#endif

namespace {

// The operation, copied alone into a folder of its own: GEGL loads every
// shared object and graph below a module folder, so never a build tree.
std::string moduleFolder()
{
    static std::string folder = [] {
        char made[] = "/tmp/nimbulo-gegl-XXXXXX";
        std::string dir = mkdtemp(made) ? made : "/tmp";
        std::string copy = "cp '" NIMBULO_GEGL_OP "' '" + dir + "/'";
        if (std::system(copy.c_str()) != 0) return std::string();
        return dir;
    }();
    return folder;
}

struct Gegl : ::testing::Environment {
    void SetUp() override
    {
        gegl_init(nullptr, nullptr);
        gegl_load_module_directory(moduleFolder().c_str());
    }
    void TearDown() override { gegl_exit(); }
};
const auto* gegl = ::testing::AddGlobalTestEnvironment(new Gegl);

struct Case {
    const char* name;
    const char* format;  // the buffer's babl format
    int width, height, originX, originY;
    int look;  // 0: the properties' defaults
    bool backlighting;
};

// A picture with every kind of pixel: gradients, and alpha from 0 to 255.
std::vector<uint8_t> picture8(int w, int h, int channels)
{
    std::vector<uint8_t> p(size_t(w) * h * channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c)
                p[(size_t(y) * w + x) * channels + c] = uint8_t((x * 5 + y * 3 + c * 70) & 255);
    return p;
}

// The engine's settings for a case, as the operation makes them from its properties.
CloudSettings settingsOf(const Case& c)
{
    if (c.look) return settingsOfLook(kLooks[c.look - 1]);
    // The properties' defaults are the plug-in's.
    CloudSettings s;
    std::memset(&s, 0, sizeof s);
    applyDefaults(&s);
    s.backlighting = c.backlighting;
    return s;
}

// The operation over `pixels` (format `format`, width x height at the origin),
// rendered into a buffer of the same format at mipmap `level`.
std::vector<uint8_t> throughGegl(const Case& c, const std::vector<uint8_t>& pixels, int level,
                                 GeglColor* cloud = nullptr, GeglColor* sky = nullptr)
{
    const Babl* format = babl_format(c.format);
    GeglRectangle extent = {c.originX, c.originY, c.width, c.height};
    GeglBuffer* source = gegl_buffer_new(&extent, format);
    gegl_buffer_set(source, &extent, 0, format, pixels.data(), GEGL_AUTO_ROWSTRIDE);
    GeglNode* graph = gegl_node_new();
    GeglNode* input = gegl_node_new_child(graph, "operation", "gegl:buffer-source", "buffer", source, nullptr);
    GeglNode* clouds = gegl_node_new_child(graph, "operation", "nimbulo:clouds", "look", c.look, "backlighting",
                                           gboolean(c.backlighting), nullptr);
    if (cloud) gegl_node_set(clouds, "cloud-color", cloud, "sky-color", sky, nullptr);
    gegl_node_link(input, clouds);
    // A zoomed-out view as GIMP asks for one: a blit at scale 1 / 2^level,
    // which GEGL renders at that mipmap level.
    GeglRectangle at = {c.originX >> level, c.originY >> level, c.width >> level, c.height >> level};
    std::vector<uint8_t> result(pixels.size() >> (2 * level));
    gegl_node_blit(clouds, 1.0 / (1 << level), &at, format, result.data(), GEGL_AUTO_ROWSTRIDE, GEGL_BLIT_DEFAULT);
    g_object_unref(graph);
    g_object_unref(source);
    return result;
}

// What the engine paints with `s` over `pixels`, 8-bit, `channels` of them with alpha last if `alpha`.
std::vector<uint8_t> throughEngine(const CloudSettings& s, const std::vector<uint8_t>& pixels, int width, int height,
                                   int channels, bool alpha)
{
    CloudTables tables;
    PrepareCloudTables(&tables, s.seed);
    BuildOverRatioTable(&tables);
    CloudPainter painter;
    prepareCloudPainter(&painter, &s, &tables, width, height);
    std::vector<uint8_t> engine = pixels;
    for (int y = 0; y < height; ++y)
        paintSpan8(&painter, PixelLayout{channels - (alpha ? 1 : 0), alpha}, 0, y, 1, width,
                   &pixels[size_t(y) * width * channels], &engine[size_t(y) * width * channels]);
    return engine;
}

RGB48 rgb48(uint32_t rgb)
{
    return RGB48{uint16_t((rgb >> 16 & 255) << 8), uint16_t((rgb >> 8 & 255) << 8), uint16_t((rgb & 255) << 8)};
}

void useThreads(int threads) { g_object_set(gegl_config(), "threads", threads, "mipmap-rendering", TRUE, nullptr); }

std::string lookName(int look) { return look ? kLooks[look - 1].file : "properties"; }

}  // namespace

TEST(GeglOp, EightBitPixelsAreTheEnginesToTheByte)
{
    ASSERT_FALSE(moduleFolder().empty());
    const Case cases[] = {
        {"defaults, RGB", "R'G'B' u8", 320, 200, 0, 0, 0, false},
        {"backlit, RGBA", "R'G'B'A u8", 181, 97, 13, 7, 0, true},
        {"a sparse look", "R'G'B' u8", 257, 129, 0, 0, 12, false},
        {"a full look, grey", "Y' u8", 111, 66, 40, -30, 4, false},
        {"grey and alpha", "Y'A u8", 64, 35, -5, 3, 9, false},
        {"one pixel", "R'G'B'A u8", 1, 1, 0, 0, 0, false},
    };
    for (int threads : {1, 2}) {
        useThreads(threads);
        for (const Case& c : cases) {
            const Babl* format = babl_format(c.format);
            const int channels = babl_format_get_n_components(format);
            std::vector<uint8_t> pixels = picture8(c.width, c.height, channels);
            std::vector<uint8_t> op = throughGegl(c, pixels, 0);

            std::vector<uint8_t> engine =
                throughEngine(settingsOf(c), pixels, c.width, c.height, channels, babl_format_has_alpha(format));
            EXPECT_EQ(op, engine) << c.name << ", " << lookName(c.look) << ", " << threads << " threads";
        }
    }
}

// A colour is the same colour however it was made: from perceptual values
// (GIMP 2.10's colour button, a colour name) or from linear ones, in double
// or float precision (GIMP 3, gegl_color_set_rgba); each paints the bytes.
TEST(GeglOp, AColourPaintsTheSameWhetherMadeFromPerceptualOrLinearValues)
{
    useThreads(1);
    const Case c = {"colours", "R'G'B' u8", 96, 64, 0, 0, 0, false};
    const std::vector<uint8_t> pixels = picture8(c.width, c.height, 3);
    const uint32_t pairs[][2] = {
        {0xECE8F7, 0x8699B6}, {0x010203, 0xFDFEFF}, {0x7F8081, 0x0A3C9B}, {0xC4571E, 0x2B2B2B}};
    auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    for (const auto& pair : pairs) {
        CloudSettings s = settingsOf(c);
        s.cloudColor = rgb48(pair[0]);
        s.skyColor = rgb48(pair[1]);
        const std::vector<uint8_t> engine = throughEngine(s, pixels, c.width, c.height, 3, false);
        for (const char* made : {"R'G'B'A double", "RGBA double", "RGBA float"}) {
            GeglColor* colours[2];
            for (int k = 0; k < 2; ++k) {
                double v[4] = {(pair[k] >> 16 & 255) / 255.0, (pair[k] >> 8 & 255) / 255.0, (pair[k] & 255) / 255.0, 1};
                const bool isLinear = made[1] != '\'';
                if (isLinear)
                    for (int i = 0; i < 3; ++i) v[i] = linear(v[i]);
                const float f[4] = {float(v[0]), float(v[1]), float(v[2]), 1.0f};
                colours[k] = gegl_color_new(nullptr);
                if (std::strstr(made, "float"))
                    gegl_color_set_pixel(colours[k], babl_format(made), f);
                else
                    gegl_color_set_pixel(colours[k], babl_format(made), v);
            }
            EXPECT_EQ(throughGegl(c, pixels, 0, colours[0], colours[1]), engine)
                << std::hex << pair[0] << " and " << pair[1] << " made from " << made;
            g_object_unref(colours[0]);
            g_object_unref(colours[1]);
        }
    }
}

// GIMP's dialog opens on the operation's default colours and hands them back
// as it holds them: GIMP 2.10 reads the default as linear values into its
// own colour, which it gives back as perceptual values; GIMP 3 keeps the
// GeglColor. Either way the dialog paints the plug-in's colours.
TEST(GeglOp, GimpsDialogOpensOnThePluginsColours)
{
    useThreads(1);
    const Case c = {"defaults", "R'G'B' u8", 96, 64, 0, 0, 0, false};
    const std::vector<uint8_t> pixels = picture8(c.width, c.height, 3);
    GeglNode* probe = gegl_node_new_child(nullptr, "operation", "nimbulo:clouds", nullptr);
    GeglOperation* op = gegl_node_get_gegl_operation(probe);
    ASSERT_TRUE(op);
    GeglColor* handed[2];
    const char* names[2] = {"cloud-color", "sky-color"};
    for (int k = 0; k < 2; ++k) {
        GParamSpec* property = g_object_class_find_property(G_OBJECT_GET_CLASS(op), names[k]);
        ASSERT_TRUE(property) << names[k];
        GValue value = G_VALUE_INIT;
        g_value_init(&value, GEGL_TYPE_COLOR);
        g_param_value_set_default(property, &value);
        GeglColor* color = GEGL_COLOR(g_value_get_object(&value));
#ifdef NIMBULO_AS_GIMP_2
        double rgba[4];
        gegl_color_get_rgba(color, &rgba[0], &rgba[1], &rgba[2], &rgba[3]);
        handed[k] = gegl_color_new(nullptr);
        gegl_color_set_pixel(handed[k], babl_format("R'G'B'A double"), rgba);
#else
        handed[k] = gegl_color_duplicate(color);
#endif
        g_value_unset(&value);
    }
    EXPECT_EQ(throughGegl(c, pixels, 0, handed[0], handed[1]),
              throughEngine(settingsOf(c), pixels, c.width, c.height, 3, false));
    g_object_unref(handed[0]);
    g_object_unref(handed[1]);
    g_object_unref(probe);
}

// GIMP 3.0's scripts lose every property after one it cannot pass (a file
// path): the presets file comes last, the only one of its kind.
TEST(GeglOp, ScriptsReachEveryPropertyButThePresetsFile)
{
    guint count = 0;
    GParamSpec** properties = gegl_operation_list_properties("nimbulo:clouds", &count);
    ASSERT_GT(count, 20u);
    for (guint k = 0; k + 1 < count; ++k)
        EXPECT_FALSE(GEGL_IS_PARAM_SPEC_FILE_PATH(properties[k])) << properties[k]->name;
    EXPECT_STREQ(properties[count - 1]->name, "preset-file");
    g_free(properties);
}

#ifdef NIMBULO_GIMP_PRESETS
// GIMP's Presets list (gegl/presets/): an entry per shipped look, every
// property but the presets file set by name as GIMP sets them from the file
// (a colour's components perceptual), painting what the look paints.
TEST(GeglOp, GimpsPresetsListPaintsTheShippedLooks)
{
    FILE* file = std::fopen(NIMBULO_GIMP_PRESETS, "rb");
    ASSERT_NE(file, nullptr) << NIMBULO_GIMP_PRESETS;
    std::string text;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
    std::fclose(file);

    const std::string head = "(GimpGegl-nimbulo-clouds-config \"";
    guint count = 0;
    GParamSpec** properties = gegl_operation_list_properties("nimbulo:clouds", &count);
    useThreads(1);
    int look = 0;
    for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
        ++look;
        ASSERT_LE(look, kLookCount);
        const size_t end = text.find(head, at + 1);
        const std::string entry = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        EXPECT_EQ(entry.substr(head.size(), entry.find('"', head.size()) - head.size()), kLooks[look - 1].title);

        const Case c = {"look", "R'G'B'A u8", 200, 120, 0, 0, look, false};
        std::vector<uint8_t> pixels = picture8(c.width, c.height, 4);
        GeglRectangle extent = {0, 0, c.width, c.height};
        GeglBuffer* source = gegl_buffer_new(&extent, babl_format(c.format));
        gegl_buffer_set(source, &extent, 0, babl_format(c.format), pixels.data(), GEGL_AUTO_ROWSTRIDE);
        GeglNode* graph = gegl_node_new();
        GeglNode* input = gegl_node_new_child(graph, "operation", "gegl:buffer-source", "buffer", source, nullptr);
        GeglNode* clouds = gegl_node_new_child(graph, "operation", "nimbulo:clouds", nullptr);
        gegl_node_link(input, clouds);
        int set = 0;
        for (guint k = 0; k < count; ++k) {
            GParamSpec* property = properties[k];
            const std::string key = std::string("\n    (") + property->name + " ";
            const size_t found = entry.find(key);
            if (found == std::string::npos) continue;
            ++set;
            const char* value = entry.c_str() + found + key.size();
            const std::string word(value, std::strcspn(value, " )"));
            GValue v = G_VALUE_INIT;
            g_value_init(&v, property->value_type);
            if (property->value_type == G_TYPE_INT)
                g_value_set_int(&v, std::atoi(value));
            else if (property->value_type == G_TYPE_UINT)  // the seed
                g_value_set_uint(&v, unsigned(std::strtoul(value, nullptr, 10)));
            else if (property->value_type == G_TYPE_DOUBLE)
                g_value_set_double(&v, g_ascii_strtod(value, nullptr));
            else if (property->value_type == G_TYPE_BOOLEAN)
                g_value_set_boolean(&v, word == "yes");
            else if (G_TYPE_IS_ENUM(property->value_type)) {
                GEnumClass* kind = G_ENUM_CLASS(g_type_class_ref(property->value_type));
                GEnumValue* named = g_enum_get_value_by_nick(kind, word.c_str());
                EXPECT_NE(named, nullptr) << property->name << " " << word;
                g_value_set_enum(&v, named ? named->value : 0);
                g_type_class_unref(kind);
            } else if (property->value_type == GEGL_TYPE_COLOR) {
                double rgba[4] = {0, 0, 0, 0};
                EXPECT_EQ(std::sscanf(value, "(color-rgba %lf %lf %lf %lf)", &rgba[0], &rgba[1], &rgba[2], &rgba[3]), 4)
                    << property->name;
                GeglColor* colour = gegl_color_new(nullptr);
                gegl_color_set_pixel(colour, babl_format("R'G'B'A double"), rgba);
                g_value_take_object(&v, colour);
            } else
                ADD_FAILURE() << "a property of an unexpected kind in the presets: " << property->name;
            gegl_node_set_property(clouds, property->name, &v);
            g_value_unset(&v);
        }
        EXPECT_EQ(set, int(count) - 1) << "every property but the presets file, " << kLooks[look - 1].file;
        std::vector<uint8_t> fromPresets(pixels.size());
        gegl_node_blit(clouds, 1.0, &extent, babl_format(c.format), fromPresets.data(), GEGL_AUTO_ROWSTRIDE,
                       GEGL_BLIT_DEFAULT);
        g_object_unref(graph);
        g_object_unref(source);
        EXPECT_EQ(fromPresets, throughGegl(c, pixels, 0)) << kLooks[look - 1].file;
    }
    g_free(properties);
    EXPECT_EQ(look, kLookCount);
}
#endif

TEST(GeglOp, DeeperPixelsStayCloseToTheEightBitOnes)
{
    const Case eight = {"16 bits", "R'G'B'A u8", 150, 90, 0, 0, 0, true};
    std::vector<uint8_t> pixels = picture8(eight.width, eight.height, 4);
    std::vector<uint8_t> op8 = throughGegl(eight, pixels, 0);
    for (const char* deep : {"R'G'B'A u16", "R'G'B'A float"}) {
        Case c = eight;
        c.format = deep;
        const bool floats = std::string(deep).find("float") != std::string::npos;
        std::vector<uint8_t> in(pixels.size() * (floats ? 4 : 2));
        for (size_t k = 0; k < pixels.size(); ++k) {
            if (floats) {
                float v = pixels[k] / 255.0f;
                std::memcpy(&in[4 * k], &v, 4);
            } else {
                uint16_t v = uint16_t(pixels[k] * 257);
                std::memcpy(&in[2 * k], &v, 2);
            }
        }
        std::vector<uint8_t> out = throughGegl(c, in, 0);
        auto deepLevel = [&](size_t k) {  // a sample of the deep picture, in 8-bit levels
            if (floats) {
                float f;
                std::memcpy(&f, &out[4 * k], 4);
                return f * 255.0;
            }
            uint16_t u;
            std::memcpy(&u, &out[2 * k], 2);
            return u / 257.0;
        };
        // Layers compared as they show: the colour times the transparency.
        double worst = 0.0;
        for (size_t pixel = 0; pixel < pixels.size() / 4; ++pixel)
            for (size_t c = 0; c < 4; ++c) {
                const size_t k = 4 * pixel + c, a = 4 * pixel + 3;
                const double deepShown = c == 3 ? deepLevel(k) : deepLevel(k) * deepLevel(a) / 255.0;
                const double eightShown = c == 3 ? op8[k] : op8[k] * op8[a] / 255.0;
                worst = std::max(worst, std::fabs(deepShown - eightShown));
            }
        // The 16-bit composition's own bound against the 8-bit one (see the README).
        EXPECT_LT(worst, 2.0) << deep;
    }
}

TEST(GeglOp, AZoomedOutViewPlacesTheCloudsWhereTheFullOneDoes)
{
    useThreads(2);
    const Case c = {"flat sky", "R'G'B'A u8", 256, 160, 0, 0, 0, false};
    std::vector<uint8_t> flat(size_t(c.width) * c.height * 4);
    for (size_t k = 0; k < flat.size(); ++k) flat[k] = k % 4 == 3 ? 255 : uint8_t(90 + 40 * (k % 4));
    std::vector<uint8_t> full = throughGegl(c, flat, 0), half = throughGegl(c, flat, 1);
    // Over a flat source each level-1 pixel is the full picture's pixel at twice its position.
    int different = 0;
    for (int y = 0; y < c.height / 2; ++y)
        for (int x = 0; x < c.width / 2; ++x)
            for (int k = 0; k < 4; ++k)
                different +=
                    half[(size_t(y) * (c.width / 2) + x) * 4 + k] != full[(size_t(2 * y) * c.width + 2 * x) * 4 + k];
    EXPECT_EQ(different, 0);
}

TEST(GeglOp, TheGeglCommandLinePaintsWhatNimbuloRenderPaints)
{
    if (std::system("command -v gegl > /dev/null") != 0) GTEST_SKIP() << "no gegl command line";
    const std::string dir = moduleFolder();
    const std::string sky = dir + "/sky.png", viaNimbulo = dir + "/nimbulo.png", viaGegl = dir + "/gegl.png";
    const std::string nimbulo = NIMBULO_PROGRAM;
    ASSERT_EQ(std::system((nimbulo + " render --size 203x131 --quiet -o " + sky).c_str()), 0);
    const std::string options =
        " --seed 812 --set density=70 --set lump-scale=50 --cloud-color '#ECE8F7'"
        " --light -0.3,-0.2 --backlighting --centre 0.3,0.6 --wrap xy";
    ASSERT_EQ(std::system((nimbulo + " render " + sky + " --quiet -o " + viaNimbulo + options).c_str()), 0);
    const std::string properties =
        " seed=812 density=70 lump-scale=50 'cloud-color=#ECE8F7' light-x=-0.3"
        " light-y=-0.2 backlighting=true centre-x=0.3 centre-y=0.6 wrap=xy";
    const std::string gegl = "GEGL_PATH=/usr/lib/x86_64-linux-gnu/gegl-0.4:" + dir + " gegl " + sky +
                             " -- nimbulo:clouds" + properties + " gegl:png-save path=" + viaGegl + " bitdepth=8";
    ASSERT_EQ(std::system(gegl.c_str()), 0);
    Image a, b;
    std::string why;
    ASSERT_EQ(readImage(viaNimbulo, 0, 4096, &a, &why), imageOk) << why;
    ASSERT_EQ(readImage(viaGegl, 0, 4096, &b, &why), imageOk) << why;
    ASSERT_EQ(a.width, b.width);
    EXPECT_TRUE(a.pixels == b.pixels);
}

// Speed for the notes, printed when NIMBULO_GEGL_TIMINGS is set: the
// operation over 4000 x 3000 8-bit pixels at GEGL thread counts 1 and 2,
// beside the plug-in's own row renderer with 1 and 2 threads, taking turns;
// medians of five.
TEST(GeglOp, Timings)
{
    if (!std::getenv("NIMBULO_GEGL_TIMINGS")) GTEST_SKIP();
    const Case c = {"a photo's size", "R'G'B' u8", 4000, 3000, 0, 0, 0, false};
    std::vector<uint8_t> sky(size_t(c.width) * c.height * 3);
    for (size_t k = 0; k < sky.size(); ++k) sky[k] = uint8_t(120 + 30 * (k % 3));
    testhost::Picture picture = testhost::gradientPicture(c.width, c.height, 3, false);
    const CloudSettings s = testhost::defaultSettings();
    auto seconds = [] { return g_get_monotonic_time() / 1e6; };
    // The operation's time is the render of a graph over a buffer GEGL already
    // holds (as GIMP's layers are), into memory.
    const Babl* format = babl_format(c.format);
    GeglRectangle extent = {0, 0, c.width, c.height};
    GeglBuffer* source = gegl_buffer_new(&extent, format);
    gegl_buffer_set(source, &extent, 0, format, sky.data(), GEGL_AUTO_ROWSTRIDE);
    std::vector<uint8_t> result(sky.size());
    std::vector<double> op[2], engine[2];
    for (int run = 0; run < 5; ++run)
        for (int threads : {1, 2}) {
            useThreads(threads);
            GeglNode* graph = gegl_node_new();
            GeglNode* input = gegl_node_new_child(graph, "operation", "gegl:buffer-source", "buffer", source, nullptr);
            GeglNode* clouds = gegl_node_new_child(graph, "operation", "nimbulo:clouds", nullptr);
            gegl_node_link(input, clouds);
            double start = seconds();
            gegl_node_blit(clouds, 1.0, &extent, format, result.data(), GEGL_AUTO_ROWSTRIDE, GEGL_BLIT_DEFAULT);
            op[threads - 1].push_back(seconds() - start);
            g_object_unref(graph);
            start = seconds();
            testhost::renderInProcess(s, picture, threads);
            engine[threads - 1].push_back(seconds() - start);
        }
    g_object_unref(source);
    for (int t = 0; t < 2; ++t) {
        std::sort(op[t].begin(), op[t].end());
        std::sort(engine[t].begin(), engine[t].end());
        std::printf("%d thread%s: the operation %.3f s, the plug-in's renderer %.3f s: %.2f times\n", t + 1,
                    t ? "s" : "", op[t][2], engine[t][2], op[t][2] / engine[t][2]);
    }
}
