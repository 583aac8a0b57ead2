// nimbulo as a user runs it: a separate process, real files, exit codes and
// messages. The same suite runs natively and, under Wine, against nimbulo.exe
// with the 32- or 64-bit module.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/ImageFile.h"
#include "host/CliRunner.h"
#include "host/EngineHarness.h"
#include "settings/Persistence.h"
#include "settings/PresetFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace testhost;

namespace {

// ---- Hand-made PNGs in formats the encoder does not write (16-bit, palette). ----
uint32_t crc32Of(const uint8_t* data, size_t size, uint32_t crc = 0xFFFFFFFFu)
{
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}

void chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data)
{
    put32(png, uint32_t(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put32(png, crc32Of(&png[start], png.size() - start) ^ 0xFFFFFFFFu);
}

// A PNG whose image data is one stored (uncompressed) deflate block.
std::vector<uint8_t> handMadePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType,
                                 const std::vector<uint8_t>& scanlines, const std::vector<uint8_t>& palette = {})
{
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, width);
    put32(header, height);
    header.insert(header.end(), {depth, colourType, 0, 0, 0});
    chunk(png, "IHDR", header);
    if (!palette.empty()) chunk(png, "PLTE", palette);
    std::vector<uint8_t> z = {0x78,
                              0x01,
                              0x01,
                              uint8_t(scanlines.size() & 255),
                              uint8_t(scanlines.size() >> 8),
                              uint8_t(~scanlines.size() & 255),
                              uint8_t((~scanlines.size() >> 8) & 255)};
    z.insert(z.end(), scanlines.begin(), scanlines.end());
    uint32_t a = 1, b = 0;
    for (uint8_t v : scanlines) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, (b << 16) | a);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return png;
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        savePicture("rgb.png", testhost::gradientPicture(48, 32, 3, false));
        savePicture("rgba.png", testhost::gradientPicture(48, 32, 4, true));
        savePicture("grey.png", testhost::gradientPicture(48, 32, 1, false));
        std::remove("out.png");
    }
};

}  // namespace

TEST_F(Cli, RendersWhatTheEngineRenders)
{
    const struct {
        const char* file;
        int planes;
        bool transparency;
    } inputs[] = {{"rgb.png", 3, false}, {"rgba.png", 4, true}, {"grey.png", 1, false}};
    for (const auto& in : inputs) {
        Outcome o = run(std::string("render ") + in.file + " -o out.png");
        ASSERT_EQ(o.code, 0) << in.file << ": " << o.errors;
        EXPECT_EQ(o.errors, "") << "no progress bar when stderr is not a terminal";
        Image out = loadPicture("out.png");
        ASSERT_EQ(out.channels, in.planes);
        Picture source = testhost::gradientPicture(48, 32, in.planes, in.transparency);
        EXPECT_EQ(out.pixels, testhost::renderInProcess(testhost::defaultSettings(), source).pixels) << in.file;
        EXPECT_FALSE(exists("out.png.partial"));
    }
}

TEST_F(Cli, SameFileOnEveryBuild)
{
    Outcome o = run("render --size 96x64 --seed 812 --set density=80 --cloud-color F0E0D0 --light 0.3,-0.4 -o out.png");
    ASSERT_EQ(o.code, 0) << o.errors;
    // The same pixels on every build; the same file where the same PNG encoder
    // writes it (Windows writes through the system's own).
    const std::vector<uint8_t> pixels = loadPicture("out.png").pixels;
    EXPECT_EQ(testhost::fnv1a64(pixels), 0x194BD1DA9E287EDDull) << std::hex << testhost::fnv1a64(pixels);
#ifndef _WIN32
    std::vector<uint8_t> bytes = readBytes("out.png");
    // The bytes are those of the build's PNG writer: libpng with our parallel deflate.
    EXPECT_EQ(testhost::fnv1a64(bytes), 0x1B75A528A4C24418ull) << std::hex << testhost::fnv1a64(bytes);
#endif
}

TEST_F(Cli, PicturesPastThe16BitSides)
{
    for (const char* out : {"wide.png", "wide.jpg"}) {
        Outcome o = run(std::string("render --size 40000x8 --seed 812 --quiet -o ") + out);
        ASSERT_EQ(o.code, 0) << out << ": " << o.errors;
        Image picture = loadPicture(out);
        ASSERT_EQ(picture.width, 40000);
        ASSERT_EQ(picture.height, 8);
        // Clouds reach the columns past 32767: they are not the sky fill alone.
        std::set<uint8_t> reds;
        for (int y = 0; y < 8; ++y)
            for (int x = 32768; x < 40000; ++x) reds.insert(picture.pixels[(size_t(y) * 40000 + x) * 3]);
        EXPECT_GT(reds.size(), 8u) << out;
    }
}

TEST_F(Cli, OptionsReachTheFilter)
{
    CloudSettings s = testhost::defaultSettings();
    s.seed = 900;
    s.density = 90;
    s.lumpScale = 60;
    s.backlighting = 1;
    s.skyColor = RGB48{0x2000, 0x4000, 0x8000};
    s.centreU = 0.25f;
    s.centreV = 0.75f;
    Outcome o =
        run("render rgb.png -o out.png --seed 900 --set DENSITY=90 --set lump-scale=60 --backlighting "
            "--sky-color 204080 --centre 0.25,0.75");
    ASSERT_EQ(o.code, 0) << o.errors;
    EXPECT_EQ(loadPicture("out.png").pixels,
              testhost::renderInProcess(s, testhost::gradientPicture(48, 32, 3, false)).pixels);
}

TEST_F(Cli, SelectionAndRectangleLimitThePaint)
{
    std::vector<uint8_t> maskPixels(48 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) maskPixels[y * 48 + x] = x < 24 ? 0 : 255;
    Picture mask{48, 32, 1, false, maskPixels};
    savePicture("mask.png", mask);
    Outcome o = run("render rgb.png --mask mask.png -o out.png");
    ASSERT_EQ(o.code, 0) << o.errors;
    Image out = loadPicture("out.png");
    Picture source = testhost::gradientPicture(48, 32, 3, false);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 24; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(out.pixels[(y * 48 + x) * 3 + c], source.pixels[(y * 48 + x) * 3 + c]);

    o = run("render rgb.png --rect 10,4,20,12 -o out.png");
    ASSERT_EQ(o.code, 0) << o.errors;
    out = loadPicture("out.png");
    int changedInside = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) {
            bool inside = x >= 10 && x < 30 && y >= 4 && y < 16;
            for (int c = 0; c < 3; ++c) {
                size_t k = size_t(y * 48 + x) * 3 + c;
                if (!inside) {
                    ASSERT_EQ(out.pixels[k], source.pixels[k]) << x << "," << y;
                }
                changedInside += inside && out.pixels[k] != source.pixels[k];
            }
        }
    EXPECT_GT(changedInside, 0);
}

TEST_F(Cli, SixteenBitStaysAndPaletteImagesAreConverted)
{
    std::vector<uint8_t> deep;  // 4 x 2 RGB, 16 bits a channel
    for (int y = 0; y < 2; ++y) {
        deep.push_back(0);
        for (int k = 0; k < 4 * 3; ++k) deep.insert(deep.end(), {uint8_t(40 * k), 0x7F});
    }
    writeBytes("deep.png", handMadePng(4, 2, 16, 2, deep));
    Outcome o = run("render deep.png -o out.png");
    EXPECT_EQ(o.code, 0) << o.errors;
    EXPECT_EQ(o.errors, "");  // painted at 16 bits, nothing to say
    EXPECT_EQ(loadPicture("out.png").channels, 3);
    EXPECT_EQ(loadPicture("out.png").bytesPerSample, 2);
    // As a selection it is taken at 8 bits, as the interface's masks are.
    std::vector<uint8_t> deepGrey;  // 48 x 32, the size of rgb.png
    for (int y = 0; y < 32; ++y) {
        deepGrey.push_back(0);
        for (int x = 0; x < 48; ++x) deepGrey.insert(deepGrey.end(), {uint8_t(x * 5), 0x00});
    }
    writeBytes("deep-grey.png", handMadePng(48, 32, 16, 0, deepGrey));
    o = run("render rgb.png -o out.png --mask deep-grey.png");
    EXPECT_EQ(o.code, 0) << o.errors;

    std::vector<uint8_t> indexed = {0, 0, 1, 2, 1, 0, 2, 1, 0};  // 4 x 2, filter byte then indices
    indexed.resize(10, 2);
    writeBytes("palette.png", handMadePng(4, 2, 8, 3, indexed, {255, 0, 0, 0, 255, 0, 0, 0, 255}));
    o = run("render palette.png -o out.png");
    EXPECT_EQ(o.code, 0) << o.errors;
    EXPECT_NE(o.errors.find("palette image converted to RGB"), std::string::npos) << o.errors;
}

TEST_F(Cli, BadInputGetsAClearErrorAndCode)
{
    writeBytes("text.png", {'h', 'e', 'l', 'l', 'o'});
    std::vector<uint8_t> whole = readBytes("rgb.png");
    writeBytes("truncated.png", std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2));
    writeBytes("huge.png", handMadePng(300001, 2, 8, 0, std::vector<uint8_t>(10, 0)));
    savePicture("small-mask.png", Picture{10, 10, 1, false, std::vector<uint8_t>(100, 255)});

    const struct {
        const char* arguments;
        int code;
        const char* message;
    } cases[] = {
        {"render missing.png -o out.png", 3, "missing.png: no such file"},
        {"render text.png -o out.png", 3, "text.png: not an image nimbulo reads"},
        {"render truncated.png -o out.png", 3, "truncated.png: truncated or damaged PNG"},
        {"render huge.png -o out.png", 3, "each side must be 1 to 300000"},
        {"render rgb.png --mask small-mask.png -o out.png", 3, "the mask is 10 x 10 but the image is 48 x 32"},
        {"render rgb.png --mask missing-mask.png -o out.png", 3, "missing-mask.png: no such file"},
        {"render rgb.png -o no-such-folder/out.png", 4, "cannot be written"},
        {"render rgb.png", 2, "no output"},
        {"render -o out.png", 2, "give either IN or --size"},
        {"render rgb.png --size 10x10 -o out.png", 2, "give either IN or --size"},
        {"render --size 0x10 -o out.png", 2, "--size takes WxH"},
        {"render --size 300001x10 -o out.png", 2, "each side 1 to 300000"},
        {"render --size 300000x300000 -o out.png", 2, "at most 1024 megapixels"},
        {"render --size 70000x8 -o out.jpg", 2, "JPEG holds at most 65535 pixels a side"},
        {"render rgb.png --seed 2048 -o out.png", 2, "--seed takes a whole number from 0 to 2047"},
        {"render rgb.png --set density=101 -o out.png", 2, "Density takes a whole number from 0 to 100"},
        {"render rgb.png --set backlighting=2 -o out.png", 2, "Backlighting takes a whole number from 0 to 1"},
        {"render rgb.png --set fluffiness=3 -o out.png", 2, "--set takes NAME=VALUE"},
        {"render rgb.png --light 0.9,0.9 -o out.png", 2, "inside the unit circle"},
        {"render rgb.png --cloud-color white -o out.png", 2, "--cloud-color takes #RRGGBB"},
        {"render rgb.png --centre 0.5 -o out.png", 2, "--centre takes U,V"},
        {"render rgb.png --rect 40,0,20,10 -o out.png", 2, "reaches outside the 48 x 32 image"},
        {"render rgb.png --rect 1,2,0,4 -o out.png", 2, "--rect takes X,Y,W,H"},
        {"render rgb.png --frobnicate -o out.png", 2, "unknown option --frobnicate"},
        {"render rgb.png -o", 2, "-o needs a value"},
        {"paint rgb.png", 2, "usage:"},
        {"render rgb.png --plugin no-such-module.8bf -o out.png", 5, "no-such-module.8bf"},
    };
    for (const auto& c : cases) {
        Outcome o = run(c.arguments);
        EXPECT_EQ(o.code, c.code) << c.arguments << "\n" << o.errors;
        EXPECT_NE(o.errors.find(c.message), std::string::npos) << c.arguments << "\n" << o.errors;
        EXPECT_FALSE(exists("out.png")) << c.arguments;
        EXPECT_FALSE(exists("out.png.partial")) << c.arguments;
    }
}

TEST_F(Cli, HelpDocumentsOptionsSettingsAndExitCodes)
{
    Outcome o = run("--help >help.txt");
    EXPECT_EQ(o.code, 0);
    std::ifstream in("help.txt");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("exit codes"), std::string::npos);
    EXPECT_NE(text.find("130 interrupted"), std::string::npos);

    o = run("render --help >help.txt");
    EXPECT_EQ(o.code, 0);
    std::ifstream in2("help.txt");
    text.assign((std::istreambuf_iterator<char>(in2)), std::istreambuf_iterator<char>());
    for (const char* expected : {"--mask", "--rect", "--cloud-color", "--light", "--centre", "--backlighting",
                                 "Lump scale (33)", "Sky light (59)", "--quiet", "--plugin"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
}

#ifndef _WIN32
TEST_F(Cli, CtrlCStopsTheRenderAndLeavesNoFile)
{
    pid_t child = fork();
    if (child == 0) {
        freopen("/dev/null", "w", stderr);
        std::string program = programFolder() + "nimbulo";
        execl(program.c_str(), "nimbulo", "render", "--size", "6000x6000", "-o", "out.png", "--quiet", (char*)nullptr);
        _exit(99);
    }
    // Wait until the render has claimed its output, then interrupt it.
    for (int k = 0; k < 200 && !exists("out.png.partial"); ++k) usleep(10000);
    usleep(100000);
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_FALSE(exists("out.png"));
    EXPECT_FALSE(exists("out.png.partial"));
}
#endif

TEST_F(Cli, PresetsSaveLoadAndShow)
{
    Outcome o =
        run("render rgb.png -o first.png --seed 700 --set puffs=80 --sky-color 203040 --wrap x --save-preset look.k00");
    ASSERT_EQ(o.code, 0) << o.errors;
    EXPECT_EQ(readBytes("look.k00").size(), 12580u);

    // The saved look renders the same picture again.
    o = run("render rgb.png -o out.png --preset look.k00");
    ASSERT_EQ(o.code, 0) << o.errors;
    EXPECT_EQ(readBytes("out.png"), readBytes("first.png"));
    // Options given with a preset override it.
    o = run("render rgb.png -o out.png --preset look.k00 --seed 701");
    ASSERT_EQ(o.code, 0) << o.errors;
    EXPECT_NE(readBytes("out.png"), readBytes("first.png"));

    o = run("preset show look.k00 --thumbnail thumb.png >shown.txt");
    ASSERT_EQ(o.code, 0) << o.errors;
    std::ifstream shownFile("shown.txt");
    std::string shown((std::istreambuf_iterator<char>(shownFile)), std::istreambuf_iterator<char>());
    for (const char* line : {"with a thumbnail", "Puffs         80", "Seed          700", "Sky color     #203040",
                             "Density       66", "Seamless      x"})
        EXPECT_NE(shown.find(line), std::string::npos) << line << "\n" << shown;
    Image thumb = loadPicture("thumb.png");
    EXPECT_EQ(thumb.width, 64);
    EXPECT_EQ(thumb.height, 64);

    o = run("preset show missing.k00");
    EXPECT_EQ(o.code, 3);
    EXPECT_NE(o.errors.find("missing.k00: no such file"), std::string::npos) << o.errors;
    o = run("render rgb.png -o out.png --preset missing.k00");
    EXPECT_EQ(o.code, 3);
}

TEST_F(Cli, ALightSavedIsTheLightPaintedAgain)
{
    // Backlit, so that every component of the light shows in the picture.
    Outcome o = run("render rgb.png -o first.png --light -0.64,0.29 --backlighting --save-preset a.k00");
    ASSERT_EQ(o.code, 0) << o.errors;
    std::vector<uint8_t> saved = readBytes("a.k00");
    ASSERT_EQ(saved.size(), 12580u);
    auto word = [&](int index) {
        const uint8_t* b = &saved[size_t(index) * 4];
        return int32_t(uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]);
    };
    EXPECT_EQ(word(49), -64);
    EXPECT_EQ(word(50), 29);
    EXPECT_EQ(word(51), 71);  // the pad's height for that point, 0.7115...
    o = run("render rgb.png -o again.png --preset a.k00 --save-preset b.k00");
    ASSERT_EQ(o.code, 0) << o.errors;
    EXPECT_EQ(readBytes("again.png"), readBytes("first.png"));
    EXPECT_EQ(readBytes("b.k00"), saved);
}

TEST_F(Cli, DiceAndEccePrintWhatReproducesTheLook)
{
    for (const char* button : {"--dice", "--ecce"}) {
        Outcome o = run(std::string("render rgb.png -o first.png ") + button);
        ASSERT_EQ(o.code, 0) << o.errors;
        size_t at = o.errors.find(" drew ");
        ASSERT_NE(at, std::string::npos) << o.errors;
        std::string drawn = o.errors.substr(at + 6, o.errors.find('\n', at) - at - 6);
        o = run("render rgb.png -o out.png " + drawn);
        ASSERT_EQ(o.code, 0) << drawn << "\n" << o.errors;
        EXPECT_EQ(readBytes("out.png"), readBytes("first.png")) << button << " " << drawn;
    }
}

TEST_F(Cli, NeverTouchesTheUsersCache)
{
    // This test program's temporary folder stands for the user's: a cache
    // with other settings lies there, and stays as it was.
    char path[300];
    temporaryFilePath("Nimbulo cached settings", path, sizeof path);
    CloudSettings other = testhost::defaultSettings();
    other.density = 5;
    other.seed = 3;
    std::vector<uint8_t> cache(presetBytesWithThumbnail);
    cache.resize(encodePreset(&other, nullptr, cache.data()));
    writeBytes(path, cache);
    Outcome o = run("render rgb.png -o out.png");
    ASSERT_EQ(o.code, 0) << o.errors;
    EXPECT_EQ(
        loadPicture("out.png").pixels,
        testhost::renderInProcess(testhost::defaultSettings(), testhost::gradientPicture(48, 32, 3, false)).pixels);
    EXPECT_EQ(readBytes(path), cache);
    std::remove(path);
}

TEST_F(Cli, ThreadsChangeTheSpeedNotThePicture)
{
    std::vector<uint8_t> pictures[3];
    const char* counts[3] = {"1", "2", "7"};
    for (int k = 0; k < 3; ++k) {
        std::string out = std::string("threads-") + counts[k] + ".png";
        Outcome o = run("render --size 301x67 --seed 9 --quiet --threads " + std::string(counts[k]) + " -o " + out);
        ASSERT_EQ(o.code, 0) << o.errors;
        pictures[k] = loadPicture(out).pixels;
    }
    EXPECT_EQ(pictures[0], pictures[1]);
    EXPECT_EQ(pictures[0], pictures[2]);
    for (const char* bad : {"0", "65", "two"}) {
        Outcome o = run(std::string("render --size 8x8 -o never.png --threads ") + bad);
        EXPECT_EQ(o.code, 2) << bad;
        EXPECT_NE(o.errors.find("--threads"), std::string::npos) << o.errors;
    }
    EXPECT_EQ(run("bench --size 64x48 --threads 2 > bench.txt").code, 0);
    std::string report((std::istreambuf_iterator<char>(std::ifstream("bench.txt").rdbuf())),
                       std::istreambuf_iterator<char>());
    EXPECT_NE(report.find("ns/pixel"), std::string::npos) << report;
}
