// Every format this build writes, written by nimbulo, read back (by this
// program and by nimbulo), at 16 bits where the format holds them; and a
// truncated file of each refused with a clear message and no output.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/ImageFile.h"
#include "host/CliRunner.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace testhost;

namespace {

const struct {
    ImageFormat format;
    const char* extension;
    int tolerance;  // the mean difference from the PNG's pixels: 0 for lossless formats
    bool deep;      // holds 16 bits per channel
} formats[] = {{imagePng, "png", 0, true},  {imageJpeg, "jpg", 3, false},  {imageBmp, "bmp", 0, false},
               {imageTiff, "tif", 0, true}, {imageWebp, "webp", 3, false}, {imageHeif, "heic", 3, false}};

double meanDifference(const Image& a, const Image& b)
{
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 256;
    double sum = 0;
    for (size_t k = 0; k < a.pixels.size(); ++k) sum += std::abs(int(a.pixels[k]) - int(b.pixels[k]));
    return sum / double(a.pixels.size());
}

Image painted(const std::string& output, const std::string& options = "")
{
    Outcome o = run("render --size 48x32 --seed 300 --quiet -o " + output + " " + options);
    EXPECT_EQ(o.code, 0) << output << "\n" << o.errors;
    return loadPicture(output);
}

}  // namespace

TEST(CliEveryFormat, EveryFormatWrittenIsReadBack)
{
    const Image reference = painted("sky.png");
    const Image deepReference = painted("sky16.png", "--depth 16");
    ASSERT_EQ(deepReference.bytesPerSample, 2);
    Image greySource;
    greySource.width = 40;
    greySource.height = 30;
    greySource.channels = 1;
    greySource.bytesPerSample = 2;
    for (int k = 0; k < 40 * 30; ++k) greySource.pixels.insert(greySource.pixels.end(), {uint8_t(k * 7), uint8_t(k)});
    std::string error;
    ASSERT_TRUE(writePng("grey16.png", greySource, &error)) << error;
    Outcome g = run("render grey16.png --quiet --seed 300 -o grey16-out.png");
    ASSERT_EQ(g.code, 0) << g.errors;
    const Image greyReference = loadPicture("grey16-out.png");
    ASSERT_EQ(greyReference.channels, 1);
    int written = 0;
    for (const auto& f : formats) {
        if (!canWriteFormat(f.format)) {
            // Refused before anything is painted, by name and as a batch's format.
            const std::string name = std::string("unwritten.") + f.extension;
            EXPECT_EQ(run("render --size 8x8 -o " + name).code, 2) << name;
            EXPECT_FALSE(exists(name)) << name;
            EXPECT_EQ(run("render sky.png --out-dir . --format " + std::string(f.extension)).code, 2) << name;
            continue;
        }
        ++written;
        EXPECT_TRUE(canReadFormat(f.format)) << f.extension;
        const std::string name = std::string("sky.") + f.extension;
        Image image = painted(name);
        EXPECT_EQ(image.format, f.format) << name;
        EXPECT_EQ(image.width, 48) << name;
        EXPECT_EQ(image.height, 32) << name;
        EXPECT_EQ(image.channels, 3) << name;
        EXPECT_LE(meanDifference(image, reference), f.tolerance) << name;
        // nimbulo reads what it wrote.
        Outcome o = run("render " + name + " --quiet -o back.png");
        EXPECT_EQ(o.code, 0) << name << "\n" << o.errors;
        if (f.deep) {
            const std::string deepName = std::string("sky16.") + f.extension;
            Image deep = painted(deepName, "--depth 16");
            EXPECT_EQ(deep.bytesPerSample, 2) << deepName;
            EXPECT_TRUE(deep.pixels == deepReference.pixels) << deepName;
            // 16-bit grey keeps its samples (as grey, or as RGB where the encoder takes no grey).
            const std::string greyName = std::string("grey16-as.") + f.extension;
            Outcome g = run("render grey16.png --quiet --seed 300 -o " + greyName);
            ASSERT_EQ(g.code, 0) << greyName << "\n" << g.errors;
            Image grey = loadPicture(greyName);
            ASSERT_EQ(grey.bytesPerSample, 2) << greyName;
            ASSERT_EQ(grey.pixels.size(), greyReference.pixels.size() * size_t(grey.channels)) << greyName;
            for (size_t k = 0; k < greyReference.pixels.size(); k += 2)
                ASSERT_EQ(std::memcmp(&grey.pixels[k * size_t(grey.channels)], &greyReference.pixels[k], 2), 0)
                    << greyName << " sample " << k / 2;
        }
    }
    EXPECT_GE(written, 3);  // PNG, JPEG and BMP everywhere
}

TEST(CliEveryFormat, TruncatedFilesOfEveryFormatAreRefused)
{
    for (const auto& f : formats) {
        if (!canWriteFormat(f.format)) continue;
        const std::string name = std::string("whole.") + f.extension, cut = std::string("cut.") + f.extension;
        painted(name);
        std::vector<uint8_t> bytes = readBytes(name);
        bytes.resize(bytes.size() / 2);
        writeBytes(cut, bytes);
        std::remove("out.png");
        Outcome o = run("render " + cut + " -o out.png");
        EXPECT_EQ(o.code, 3) << cut << "\n" << o.errors;
        EXPECT_NE(o.errors.find(cut + ": truncated"), std::string::npos) << o.errors;
        EXPECT_FALSE(exists("out.png")) << cut;
        EXPECT_FALSE(exists("out.png.partial")) << cut;
    }
}

// An uncompressed 8-bit RGB TIFF of 3 x 2 pixels, the first one white, with an
// orientation tag and an ICC profile.
std::vector<uint8_t> handMadeTiff(int orientation, const std::vector<uint8_t>& profile)
{
    const uint16_t entries[][3] = {{256, 3, 3}, {257, 3, 2}, {258, 3, 0}, {259, 3, 1},  {262, 3, 2}, {273, 4, 0},
                                   {274, 3, 0}, {277, 3, 3}, {278, 3, 2}, {279, 4, 18}, {284, 3, 1}, {34675, 7, 0}};
    const uint32_t count = sizeof entries / sizeof entries[0];
    const uint32_t depths = 8 + 2 + count * 12 + 4, icc = depths + 6, pixels = icc + uint32_t(profile.size());
    std::vector<uint8_t> t = {'I', 'I', 42, 0, 8, 0, 0, 0, uint8_t(count), 0};
    auto put = [&](uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) t.push_back(uint8_t(v >> (8 * k)));
    };
    for (const auto& e : entries) {
        const uint32_t tag = e[0], type = e[1];
        const uint32_t n = tag == 258 ? 3 : tag == 34675 ? uint32_t(profile.size()) : 1;
        const uint32_t value = tag == 258     ? depths
                               : tag == 273   ? pixels
                               : tag == 274   ? uint32_t(orientation)
                               : tag == 34675 ? icc
                                              : e[2];
        put(tag, 2);
        put(type, 2);
        put(n, 4);
        put(value, 4);
    }
    put(0, 4);
    for (int k = 0; k < 3; ++k) put(8, 2);
    t.insert(t.end(), profile.begin(), profile.end());
    t.insert(t.end(), {255, 255, 255});
    t.resize(t.size() + 15, 0);
    return t;
}

TEST(CliEveryFormat, TiffOrientationAndProfileAreRead)
{
    if (!canReadFormat(imageTiff)) GTEST_SKIP() << "this build reads no TIFF";
    std::vector<uint8_t> profile(600);
    for (size_t k = 0; k < profile.size(); ++k) profile[k] = uint8_t(k * 13);
    // Orientation 6: the stored top-left pixel ends up at the top right of a 2 x 3 picture.
    writeBytes("turned.tif", handMadeTiff(6, profile));
    Image image;
    std::string error;
    ASSERT_EQ(readImage("turned.tif", 0, 64, &image, &error), imageOk) << error;
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 3);
    ASSERT_EQ(image.pixels.size(), 18u);
    EXPECT_EQ(image.pixels[3], 255);
    EXPECT_EQ(image.pixels[0], 0);
    EXPECT_TRUE(image.metadata.iccProfile == profile);
    // nimbulo paints it upright and carries the profile into a PNG.
    Outcome o = run("render turned.tif -o turned.png --quiet");
    ASSERT_EQ(o.code, 0) << o.errors;
    Image out = loadPicture("turned.png");
    EXPECT_EQ(out.width, 2);
    EXPECT_TRUE(out.metadata.iccProfile == profile);
}

#ifdef _WIN32
// A thread whose COM apartment is single-threaded already (as a host's
// window thread is) reads and writes as well, and keeps its apartment.
DWORD WINAPI roundTripInApartment(void* result)
{
    bool& ok = *static_cast<bool*>(result);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 0;
    Image image;
    image.width = 3;
    image.height = 2;
    image.channels = 3;
    image.pixels.assign(18, 77);
    std::vector<uint8_t> bytes;
    Image back;
    std::string error;
    ok = encodeImage(image, imagePng, EncodeOptions(), &bytes, &error) &&
         decodeImage(bytes.data(), bytes.size(), "apartment", 0, 16, &back, &error) == imageOk &&
         back.pixels == image.pixels;
    // Still single-threaded: asking for it again only counts another use.
    ok = ok && CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) == S_FALSE;
    CoUninitialize();
    CoUninitialize();
    return 0;
}

TEST(CliEveryFormat, ThreadsInASingleThreadedApartmentReadAndWrite)
{
    bool ok = false;
    HANDLE thread = CreateThread(nullptr, 0, roundTripInApartment, &ok, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_TRUE(ok);
}
#endif
