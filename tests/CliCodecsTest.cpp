// nimbulo with the photo world's formats: TIFF (8 and 16 bits, each
// compression) and WebP (lossy and lossless) in and out, metadata (EXIF,
// XMP, IPTC, the colour profile) carried from input to output, and damaged
// files of each format refused. Skipped where the build's codecs write no TIFF.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/ImageFile.h"
#include "host/CliRunner.h"

using namespace testhost;

namespace {

std::vector<uint8_t> encoded(const Image& image, ImageFormat format, const EncodeOptions& options = EncodeOptions())
{
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(encodeImage(image, format, options, &bytes, &error)) << error;
    return bytes;
}

Image read(const std::string& path)
{
    Image image;
    std::string error;
    EXPECT_EQ(readImage(path, 0, 32767, &image, &error), imageOk) << error;
    return image;
}

// A big-endian EXIF block: orientation 6, the camera and the time in the
// first directory, the moment of the shot in the EXIF directory.
std::vector<uint8_t> cameraExif()
{
    auto big = [](std::vector<uint8_t>* b, uint32_t v, int bytes) {
        for (int k = bytes - 1; k >= 0; --k) b->push_back(uint8_t(v >> (8 * k)));
    };
    const std::string texts = std::string("Nimbulo Labs\0CloudCam 7\0002026:12:11 08:00:00\0", 44);
    std::vector<uint8_t> b = {'M', 'M', 0, 42, 0, 0, 0, 8};
    const uint32_t first = 8, exifAt = first + 2 + 5 * 12 + 4, textAt = exifAt + 2 + 12 + 4;
    big(&b, 5, 2);
    const uint32_t entries[5][4] = {{0x0112, 3, 1, 6u << 16},
                                    {0x010F, 2, 13, textAt},
                                    {0x0110, 2, 11, textAt + 13},
                                    {0x0132, 2, 20, textAt + 24},
                                    {0x8769, 4, 1, exifAt}};
    for (const auto& e : entries) {
        big(&b, e[0], 2);
        big(&b, e[1], 2);
        big(&b, e[2], 4);
        big(&b, e[3], 4);
    }
    big(&b, 0, 4);
    big(&b, 1, 2);  // the EXIF directory: DateTimeOriginal, the same text
    big(&b, 0x9003, 2);
    big(&b, 2, 2);
    big(&b, 20, 4);
    big(&b, textAt + 24, 4);
    big(&b, 0, 4);
    b.insert(b.end(), texts.begin(), texts.end());
    return b;
}

class CliCodecs : public ::testing::Test {
protected:
    Picture rgb = gradientPicture(48, 32, 3, false);
    void SetUp() override
    {
        if (!canWriteFormat(imageTiff) || !canWriteFormat(imageWebp))
            GTEST_SKIP() << "this build's codecs write no TIFF or WebP";
        savePicture("rgb.png", rgb);
        for (const char* name : {"out.png", "out.tif", "out.webp"}) std::remove(name);
    }
    Image rendered(const std::string& input, const std::string& output, const std::string& options = "")
    {
        Outcome o = run("render " + input + " -o " + output + " --quiet --seed 300 " + options);
        EXPECT_EQ(o.code, 0) << input << " -> " << output << "\n" << o.errors;
        return loadPicture(output);
    }
};

}  // namespace

TEST_F(CliCodecs, TiffAndWebpInAndOut)
{
    const Image reference = rendered("rgb.png", "reference.png");
    EncodeOptions lossless;
    lossless.lossless = true;
    lossless.tiffCompression = tiffLzw;
    writeBytes("in.tif", encoded(imageOf(rgb), imageTiff, lossless));
    writeBytes("in.webp", encoded(imageOf(rgb), imageWebp, lossless));
    // Lossless ways in and out give the PNG's picture exactly.
    const struct {
        const char *input, *output, *options;
    } exact[] = {{"rgb.png", "none.tif", "--compression none"},
                 {"rgb.png", "lzw.tif", "--compression lzw"},
                 {"rgb.png", "deflate.tif", ""},
                 {"rgb.png", "lossless.webp", "--lossless"},
                 {"in.tif", "from-tif.png", ""},
                 {"in.webp", "from-webp.png", ""}};
    for (const auto& c : exact) EXPECT_EQ(rendered(c.input, c.output, c.options).pixels, reference.pixels) << c.output;
    EXPECT_LT(readBytes("deflate.tif").size(), readBytes("none.tif").size());
    // Lossy WebP: close, and smaller at a lower quality.
    const Image lossy = rendered("rgb.png", "lossy.webp", "--quality 90");
    ASSERT_EQ(lossy.pixels.size(), reference.pixels.size());
    double error = 0;
    for (size_t k = 0; k < lossy.pixels.size(); ++k) error += std::abs(int(lossy.pixels[k]) - int(reference.pixels[k]));
    // The test picture's fine stripes are hard for a lossy coder (ImageMagick's WebP is no closer).
    EXPECT_LE(error / double(lossy.pixels.size()), 10.0);  // levels on average
    rendered("rgb.png", "small.webp", "--quality 10");
    EXPECT_LT(readBytes("small.webp").size(), readBytes("lossy.webp").size());

    // Layers keep their transparency; grey stays grey in a TIFF, WebP widens it.
    Picture rgba = gradientPicture(48, 32, 4, true), grey = gradientPicture(48, 32, 1, false);
    savePicture("rgba.png", rgba);
    savePicture("grey.png", grey);
    const Image layer = rendered("rgba.png", "layer.png");
    EXPECT_EQ(rendered("rgba.png", "layer.tif").pixels, layer.pixels);
    EXPECT_EQ(rendered("rgba.png", "layer.webp", "--lossless").pixels, layer.pixels);
    EXPECT_EQ(rendered("grey.png", "grey.tif").channels, 1);
    Outcome o = run("render grey.png -o grey.webp --lossless");
    EXPECT_NE(o.errors.find("WebP holds no grey"), std::string::npos) << o.errors;
    EXPECT_EQ(loadPicture("grey.webp").channels, 3);
}

TEST_F(CliCodecs, SixteenBitTiffKeepsItsProfileAndUntouchedSamples)
{
    Image deep = imageOf(rgb);
    deep.bytesPerSample = 2;
    deep.pixels.resize(rgb.pixels.size() * 2);
    for (size_t k = 0; k < rgb.pixels.size(); ++k) {
        uint16_t v = uint16_t(rgb.pixels[k] * 251 + k % 7);  // values no 8-bit picture has
        std::memcpy(&deep.pixels[2 * k], &v, 2);
    }
    for (size_t k = 0; k < 3000; ++k) deep.metadata.iccProfile.push_back(uint8_t(k * 13 + k / 256));
    EncodeOptions deflate;
    deflate.tiffCompression = tiffDeflate;
    writeBytes("deep.tif", encoded(deep, imageTiff, deflate));
    const Image painted = rendered("deep.tif", "deep-out.tif", "--rect 0,0,20,32");
    ASSERT_EQ(painted.bytesPerSample, 2);
    EXPECT_EQ(painted.metadata.iccProfile, deep.metadata.iccProfile);
    const size_t row = 48 * 3 * 2;
    int paintedRows = 0;
    for (size_t y = 0; y < 32; ++y) {
        EXPECT_EQ(std::memcmp(&painted.pixels[y * row + 20 * 6], &deep.pixels[y * row + 20 * 6], row - 20 * 6), 0)
            << "row " << y;
        paintedRows += std::memcmp(&painted.pixels[y * row], &deep.pixels[y * row], 20 * 6) != 0;
    }
    EXPECT_GT(paintedRows, 0);  // painted where asked
}

TEST_F(CliCodecs, MetadataIsCarriedWhereTheOutputHoldsIt)
{
    Image source = imageOf(rgb);
    source.metadata.exif = cameraExif();
    const std::string xmpText = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><dc:title>Clouds</dc:title></x:xmpmeta>";
    source.metadata.xmp.assign(xmpText.begin(), xmpText.end());
    source.metadata.iptc = {0x1C, 2, 120, 0, 6, 'C', 'l', 'o', 'u', 'd', 's'};  // the caption
    writeBytes("camera.jpg", encoded(source, imageJpeg));
    // What each output holds besides the profile: EXIF (the camera and the times), XMP, IPTC. A TIFF
    // input gives its own on.
    const struct {
        const char *input, *output;
        bool iptc;
    } outputs[] = {{"camera.jpg", "camera-out.jpg", true},
                   {"camera.jpg", "camera-out.png", false},
                   {"camera.jpg", "camera-out.tif", true},
                   {"camera.jpg", "camera-out.webp", false},
                   {"camera-out.tif", "from-tif.jpg", true}};
    for (const auto& c : outputs) {
        rendered(c.input, c.output);
        const Image out = read(c.output);
        const ImageMetadata& m = out.metadata;
        EXPECT_EQ(out.width, 32) << c.output << ": turned upright once";
        EXPECT_EQ(exifText(m.exif, 0x010F), "Nimbulo Labs") << c.output;
        EXPECT_EQ(exifText(m.exif, 0x0110), "CloudCam 7") << c.output;
        EXPECT_EQ(exifText(m.exif, 0x0132), "2026:12:11 08:00:00") << c.output;
        EXPECT_EQ(exifText(m.exif, 0x9003), "2026:12:11 08:00:00") << c.output;
        int orientation = 0;
        std::string problem;
        EXPECT_TRUE(exifOrientation(m.exif, &orientation, &problem)) << c.output << ": " << problem;
        EXPECT_EQ(orientation, 1) << c.output;
        EXPECT_EQ(m.xmp, source.metadata.xmp) << c.output;
        EXPECT_EQ(m.iptc == source.metadata.iptc, c.iptc) << c.output;
    }
}

TEST_F(CliCodecs, DamagedFilesOfEachFormatAreRefused)
{
    EncodeOptions options;
    const std::vector<uint8_t> tif = encoded(imageOf(rgb), imageTiff, options),
                               webp = encoded(imageOf(rgb), imageWebp, options),
                               png = encoded(imageOf(rgb), imagePng, options);
    auto cut = [](const std::vector<uint8_t>& b, size_t keep) {
        return std::vector<uint8_t>(b.begin(), b.begin() + long(keep));
    };
    std::vector<uint8_t> tifOffset = tif, webpData = webp, pngRows = png;
    tifOffset[4] = tifOffset[5] = tifOffset[6] = 0x7F;  // the first directory far past the end
    for (size_t k = 40; k < webpData.size(); k += 5) webpData[k] ^= 0xA5;
    for (size_t k = 8 + 25 + 8 + 4; k < pngRows.size() - 20; k += 7) pngRows[k] ^= 0x5A;  // the image data
    repairPngChecksums(&pngRows);     // so that the damage reaches the decoder
    std::vector<uint8_t> bomb = png;  // 48 x 32 pixels' data claiming 20000 x 20000
    for (size_t at : {16u, 20u}) bomb[at + 1] = 0, bomb[at + 2] = 0x4E, bomb[at + 3] = 0x20;
    repairPngChecksums(&bomb);
    writeBytes("bomb.png", bomb);
    std::vector<uint8_t> jpegBomb = encoded(imageOf(rgb), imageJpeg, options);
    for (size_t k = 2; k + 9 < jpegBomb.size(); ++k)
        if (jpegBomb[k] == 0xFF && jpegBomb[k + 1] == 0xC0) {
            for (size_t at : {k + 5, k + 7}) jpegBomb[at] = 0x4E, jpegBomb[at + 1] = 0x20;  // 20000 x 20000
            break;
        }
    writeBytes("bomb.jpg", jpegBomb);
    writeBytes("truncated.tif", cut(tif, tif.size() / 3));
    writeBytes("offset.tif", tifOffset);
    writeBytes("truncated.webp", cut(webp, webp.size() / 2));
    writeBytes("damaged.webp", webpData);
    writeBytes("inflate.png", pngRows);
    writeBytes("header.tif", cut(tif, 6));
    const char* files[] = {"truncated.tif", "offset.tif",   "truncated.webp", "bomb.png",
                           "bomb.jpg",      "damaged.webp", "inflate.png",    "header.tif"};
    for (const char* file : files)
        for (const char* out : {"out.png", "out.tif", "out.webp"}) {
            Outcome o = run(std::string("render ") + file + " -o " + out);
            EXPECT_EQ(o.code, 3) << file << "\n" << o.errors;
            EXPECT_NE(o.errors.find(std::string(file) + ": "), std::string::npos) << o.errors;
            EXPECT_NE(o.errors.find("damaged"), std::string::npos) << o.errors;
            EXPECT_FALSE(exists(out)) << file;
            EXPECT_FALSE(exists(std::string(out) + ".partial")) << file;
        }
}

TEST(PngWriter, PicturesOfManySlicesComeBackExactly)
{
    // Large enough for the image data to be made in several slices (a MiB
    // each), joined into one stream: every sample must come back.
    const struct {
        int width, height, channels, bytesPerSample;
    } kinds[] = {{1100, 900, 3, 1}, {700, 500, 4, 2}, {3000, 700, 1, 1}};
    for (const auto& k : kinds) {
        Image image;
        image.width = k.width;
        image.height = k.height;
        image.channels = k.channels;
        image.bytesPerSample = k.bytesPerSample;
        image.pixels.resize(size_t(k.width) * k.height * k.channels * k.bytesPerSample);
        uint32_t state = 12345;
        for (size_t i = 0; i < image.pixels.size(); ++i) {  // smooth runs and noise, as photos have
            state = state * 1103515245u + 12345u;
            image.pixels[i] = uint8_t((i / 7) % 251 + ((state >> 16) % 5));
        }
        std::vector<uint8_t> png = encoded(image, imagePng);
        Image back;
        std::string error;
        ASSERT_EQ(decodeImage(png.data(), png.size(), "many.png", 0, 32767, &back, &error), imageOk) << error;
        EXPECT_EQ(back.bytesPerSample, k.bytesPerSample);
        EXPECT_TRUE(back.pixels == image.pixels) << k.width << " x " << k.height;
    }
}
