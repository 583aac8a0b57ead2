// fuzz-corpus FOLDER: writes the fuzz targets' seed corpus, files of our
// own code (presets of several versions, images of every format with
// orientation and profiles, command lines) and a few hand-made edge cases.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/ImageFile.h"
#include "host/Context.h"
#include "settings/CloudSettings.h"
#include "settings/PresetFile.h"

static void save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

static void saveText(const std::string& path, const std::string& text)
{
    save(path, std::vector<uint8_t>(text.begin(), text.end()));
}

static std::vector<uint8_t> preset(const CloudSettings& s, bool thumbnail, int version)
{
    std::vector<uint8_t> bytes(presetBytesWithThumbnail), picture(thumbnailBytes, 200);
    bytes.resize(encodePreset(&s, thumbnail ? picture.data() : nullptr, bytes.data()));
    bytes[0] = bytes[1] = bytes[2] = 0;
    bytes[3] = uint8_t(version);  // an older version reads fewer groups
    return bytes;
}

static Image picture(int w, int h, int channels)
{
    Image image;
    image.width = w;
    image.height = h;
    image.channels = channels;
    for (int k = 0; k < w * h * channels; ++k) image.pixels.push_back(uint8_t(k * 37));
    return image;
}

static std::vector<uint8_t> encoded(const Image& image, ImageFormat format, bool lossless = false,
                                    TiffCompression compression = tiffDeflate)
{
    std::vector<uint8_t> bytes;
    std::string error;
    EncodeOptions options;
    options.quality = 80;
    options.lossless = lossless;
    options.tiffCompression = compression;
    if (canWriteFormat(format)) encodeImage(image, format, options, &bytes, &error);
    return bytes;
}

// A 2 x 2 TIFF of 8-bit palette samples, uncompressed: the reader's RGBA path.
static std::vector<uint8_t> paletteTiff()
{
    std::vector<uint8_t> t = {'I', 'I', 42, 0, 8, 0, 0, 0, 8, 0};  // eight entries
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        const uint8_t e[12] = {uint8_t(tag),   uint8_t(tag >> 8),   uint8_t(type),        uint8_t(type >> 8),
                               uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16), uint8_t(count >> 24),
                               uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
        t.insert(t.end(), e, e + 12);
    };
    const uint32_t pixels = 10 + 8 * 12 + 4, colours = pixels + 4;
    entry(256, 3, 1, 2);          // width
    entry(257, 3, 1, 2);          // height
    entry(258, 3, 1, 8);          // bits per sample
    entry(262, 3, 1, 3);          // photometric: palette
    entry(273, 4, 1, pixels);     // strip offset
    entry(278, 3, 1, 2);          // rows per strip
    entry(279, 4, 1, 4);          // strip bytes
    entry(320, 3, 768, colours);  // the colour map: 3 x 256 16-bit values
    t.insert(t.end(), {0, 0, 0, 0});
    t.insert(t.end(), {0, 1, 2, 255});
    for (int k = 0; k < 768; ++k) t.insert(t.end(), {uint8_t(k * 7), uint8_t(k * 3)});
    return t;
}

// An EXIF block of orientation 6 after the JPEG's start.
static std::vector<uint8_t> withOrientation(std::vector<uint8_t> jpeg)
{
    const uint8_t exif[] = {0xFF, 0xE1, 0,    34,   'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                            1,    0,    0x12, 0x01, 3,   0,   1,   0,   0, 0, 6,   0,   0,  0, 0, 0, 0, 0};
    jpeg.insert(jpeg.begin() + 2, exif, exif + sizeof exif);
    return jpeg;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz-corpus FOLDER (with presets/, images/ and options/ in it)\n");
        return 2;
    }
    const std::string folder = argv[1];
    CloudSettings s{};
    applyDefaults(&s);
    save(folder + "/presets/defaults.k00", preset(s, false, 188));
    save(folder + "/presets/thumbnail.k00", preset(s, true, 188));
    for (int version : {1, 6, 10, 21, 25})
        save(folder + "/presets/version" + std::to_string(version) + ".k00", preset(s, version >= 22, version));
    save(folder + "/presets/empty.k00", {});
    save(folder + "/presets/short.k00", {0, 0, 0, 188, 0, 0});

    Image rgb = picture(9, 7, 3), grey = picture(9, 7, 1), rgba = picture(9, 7, 4);
    Image profiled = rgb;
    profiled.metadata.iccProfile.assign(200, 0x42);
    save(folder + "/images/rgb.png", encoded(rgb, imagePng));
    save(folder + "/images/rgba.png", encoded(rgba, imagePng));
    save(folder + "/images/profile.png", encoded(profiled, imagePng));
    for (const Image* eight : {&rgb, &rgba}) {
        Image deep = *eight;  // 16 bits a channel
        deep.bytesPerSample = 2;
        deep.pixels.clear();
        for (uint8_t v : eight->pixels) deep.pixels.insert(deep.pixels.end(), {uint8_t(v * 3), v});
        save(folder + (eight == &rgb ? "/images/rgb16.png" : "/images/rgba16.png"), encoded(deep, imagePng));
    }
    save(folder + "/images/rgb.jpg", encoded(rgb, imageJpeg));
    save(folder + "/images/grey.jpg", encoded(grey, imageJpeg));
    save(folder + "/images/profile.jpg", encoded(profiled, imageJpeg));
    save(folder + "/images/turned.jpg", withOrientation(encoded(rgb, imageJpeg)));
    save(folder + "/images/rgb.bmp", encoded(rgb, imageBmp));
    save(folder + "/images/grey.bmp", encoded(grey, imageBmp));
    // TIFF and WebP of every kind, with metadata; PNG and JPEG with all of it too.
    Image described = rgba;
    described.metadata = profiled.metadata;
    described.metadata.exif = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
    const char xmp[] = "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>";
    described.metadata.xmp.assign(xmp, xmp + sizeof xmp - 1);
    described.metadata.iptc = {0x1C, 2, 120, 0, 2, 'h', 'i'};
    Image deepProfiled = rgb;
    deepProfiled.bytesPerSample = 2;
    deepProfiled.pixels.clear();
    for (uint8_t v : rgb.pixels) deepProfiled.pixels.insert(deepProfiled.pixels.end(), {uint8_t(v * 5), v});
    deepProfiled.metadata = profiled.metadata;
    save(folder + "/images/rgb.tif", encoded(rgb, imageTiff, false, tiffLzw));
    save(folder + "/images/grey.tif", encoded(grey, imageTiff, false, tiffNone));
    save(folder + "/images/described.tif", encoded(described, imageTiff));
    save(folder + "/images/deep-profile.tif", encoded(deepProfiled, imageTiff));
    save(folder + "/images/palette.tif", paletteTiff());
    save(folder + "/images/rgb.webp", encoded(rgb, imageWebp));
    save(folder + "/images/lossless.webp", encoded(rgba, imageWebp, true));
    save(folder + "/images/described.webp", encoded(described, imageWebp));
    save(folder + "/images/described.png", encoded(described, imagePng));
    save(folder + "/images/described.jpg", encoded(described, imageJpeg));
    save(folder + "/images/rgb.tga", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0, 1, 2, 3, 4, 5, 6});

    // Hand-made edge cases: offsets outside their block, absurd claims, no header.
    std::vector<uint8_t> outside = withOrientation(encoded(rgb, imageJpeg));
    outside[17] = 0x7F;  // the EXIF directory far past the block
    save(folder + "/images/edge-exif-outside.jpg", outside);
    std::vector<uint8_t> huge = encoded(rgb, imageJpeg);
    for (size_t k = 2; k + 9 < huge.size(); ++k)
        if (huge[k] == 0xFF && huge[k + 1] == 0xC0) {
            for (size_t b = k + 5; b < k + 9; ++b) huge[b] = 0xFF;  // 65535 x 65535
            break;
        }
    save(folder + "/images/edge-huge.jpg", huge);
    save(folder + "/images/edge-bad.tga", {0, 0, 77, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0});
    std::vector<uint8_t> noVersion = preset(s, false, 188);
    noVersion[0] = noVersion[1] = noVersion[2] = noVersion[3] = 0xFF;  // version -1
    save(folder + "/presets/edge-version-minus-one.k00", noVersion);
    saveText(folder + "/options/edge.txt", "-\n-o\n-\n--size\n32767x32767\n--set\nx=\n--light\n1,0\n--rect\n0,0,0,0");

    saveText(folder + "/options/render.txt",
             "photo.jpg\n-o\nout.png\n--seed\n812\n--set\ndensity=70\n--light\n-0.5,0.2");
    saveText(folder + "/options/batch.txt",
             "a.jpg\nb.png\n--out-dir\ncloudy\n--format\njpg\n--quality\n95\n--threads\n2");
    saveText(folder + "/options/size.txt",
             "--size\n1920x1080\n--preset\nevening.k00\n-o\n-\n--rect\n0,0,10,10\n--centre\n0.3,0.6");
    saveText(folder + "/options/colours.txt",
             "--cloud-color\n#ECE8F7\n--sky-color\n5A7FB0\n--backlighting\n--dice\n--ecce");
    return 0;
}
