// Every format this build writes, written by nimbulo, read back (by this
// program and by nimbulo), at 16 bits where the format holds them; and a
// truncated file of each refused with a clear message and no output.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/ImageFile.h"
#include "host/CliRunner.h"

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

TEST(CliCodecs, EveryFormatWrittenIsReadBack)
{
    const Image reference = painted("sky.png");
    const Image deepReference = painted("sky16.png", "--depth 16");
    ASSERT_EQ(deepReference.bytesPerSample, 2);
    int written = 0;
    for (const auto& f : formats) {
        if (!canWriteFormat(f.format)) continue;
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
        }
    }
    EXPECT_GE(written, 3);  // PNG, JPEG and BMP everywhere
}

TEST(CliCodecs, TruncatedFilesOfEveryFormatAreRefused)
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
