// The presets file format, byte by byte, across versions, and against damage.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "host/EngineHarness.h"
#include "host/TestHost.h"
#include "settings/Persistence.h"
#include "settings/PresetFile.h"

using testhost::Picture;
using testhost::RenderRig;

namespace {

std::string tempPath(const char* name)
{
    char path[300];
    temporaryFilePath(name, path, sizeof path);
    return path;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

int32_t wordAt(const std::vector<uint8_t>& b, int index)
{
    size_t k = size_t(index) * 4;
    return int32_t(uint32_t(b[k]) << 24 | uint32_t(b[k + 1]) << 16 | uint32_t(b[k + 2]) << 8 | b[k + 3]);
}

void setWord(std::vector<uint8_t>& b, int index, int32_t v)
{
    for (int k = 0; k < 4; ++k) b[size_t(index) * 4 + k] = uint8_t(uint32_t(v) >> (24 - 8 * k));
}

// A parameter block with the defaults, in a context with a work block.
struct Block {
    Picture picture = testhost::gradientPicture(8, 8, 3, false);
    RenderRig rig{testhost::defaultSettings(), picture};
    std::vector<uint8_t> thumbnail = std::vector<uint8_t>(thumbnailBytes);
    CloudSettings* settings() { return settingsOf(&rig.ctx); }
    FilterContext* ctx() { return &rig.ctx; }
};

// Every field a presets file carries gets a value of its own.
void fillDistinct(CloudSettings* s)
{
    int32_t next = 1000;
    for (auto word : kParameterWords) s->*word = next++;
    uint16_t c = 0x1111;
    for (auto colour : kColours) {
        s->*colour = RGB48{c, uint16_t(c + 1), uint16_t(c + 2)};
        c = uint16_t(c + 0x1111);
    }
    s->seed = 1234;
    s->blendMode = 7;
    const float lights[lightFloatCount] = {-0.25f, 0.5f,  0.75f,
                                           -0.5f,  0.25f, 1.0f};  // whole hundredths, exact as floats
    for (int k = 0; k < lightFloatCount; ++k) s->*kLightFloats[k] = lights[k];
    s->centreU = 0.3125f;
    s->centreV = -0.75f;
}

}  // namespace

TEST(PresetFile, DefaultsWithoutThumbnail)
{
    Block b;
    std::string path = tempPath("defaults.k00");
    std::remove(path.c_str());
    b.rig.ctx.thumbnail = nullptr;
    writePresetFile(b.ctx(), path.c_str());
    std::vector<uint8_t> bytes = testhost::readBytes(path);
    ASSERT_EQ(bytes.size(), 284u);
    const uint8_t start[16] = {0, 0, 0, 0xBC, 0, 0, 0xEC, 0, 0, 0, 0xE8, 0, 0, 0, 0xF7, 0};
    EXPECT_EQ(std::memcmp(bytes.data(), start, 16), 0);
    EXPECT_EQ(wordAt(bytes, 10), 31);
    EXPECT_EQ(wordAt(bytes, 49), -54);
    EXPECT_EQ(wordAt(bytes, 50), -54);
    EXPECT_EQ(wordAt(bytes, 51), 65);  // 0.6456004 x 100, to the nearest
    EXPECT_EQ(wordAt(bytes, 43), 1);
    EXPECT_EQ(wordAt(bytes, 57), 1);
    EXPECT_EQ(wordAt(bytes, 65), 0);
    EXPECT_EQ(wordAt(bytes, 69), 0x8000);  // centreU 0.5
}

TEST(PresetFile, WithThumbnail)
{
    Block b;
    for (size_t k = 0; k < b.thumbnail.size(); ++k) b.thumbnail[k] = uint8_t(k * 7);
    b.rig.ctx.thumbnail = b.thumbnail.data();
    std::string path = tempPath("thumb.k00");
    std::remove(path.c_str());
    writePresetFile(b.ctx(), path.c_str());
    std::vector<uint8_t> bytes = testhost::readBytes(path);
    ASSERT_EQ(bytes.size(), 12580u);
    EXPECT_EQ(wordAt(bytes, 65), 1);
    EXPECT_EQ(wordAt(bytes, 66), 64);
    EXPECT_EQ(wordAt(bytes, 67), 64);
    EXPECT_EQ(std::memcmp(&bytes[272], b.thumbnail.data(), thumbnailBytes), 0);

    // Read back: the picture comes into the buffer.
    std::vector<uint8_t> other(thumbnailBytes, 0);
    b.rig.ctx.thumbnail = other.data();
    bool picture = false;
    EXPECT_EQ(readPresetFile(b.ctx(), path.c_str(), presetReadNormal, &picture), presetFileRead);
    EXPECT_TRUE(picture);
    EXPECT_EQ(other, b.thumbnail);
}

TEST(PresetFile, RoundTripsEveryCarriedField)
{
    for (bool withThumbnail : {false, true}) {
        Block b;
        fillDistinct(b.settings());
        b.rig.ctx.thumbnail = withThumbnail ? b.thumbnail.data() : nullptr;
        std::string path = tempPath("round.k00");
        std::remove(path.c_str());
        writePresetFile(b.ctx(), path.c_str());
        CloudSettings written = *b.settings();

        std::memset(b.settings(), 0x55, sizeof(CloudSettings));
        bool picture = false;
        ASSERT_EQ(readPresetFile(b.ctx(), path.c_str(), presetReadNormal, &picture), presetFileRead);
        const CloudSettings& s = *b.settings();
        EXPECT_EQ(std::memcmp(&s.harshness, &written.harshness, 30 * 4), 0) << withThumbnail;
        EXPECT_EQ(std::memcmp(&s.cloudColor, &written.cloudColor, 8 * sizeof(RGB48)), 0);
        EXPECT_EQ(std::memcmp(&s.lightX, &written.lightX, 6 * 4), 0);
        EXPECT_EQ(s.seed, 1234);
        EXPECT_EQ(s.blendMode, 7);
        EXPECT_EQ(s.centreU, 0.3125f);
        EXPECT_EQ(s.centreV, -0.75f);
        EXPECT_EQ(picture, withThumbnail);
    }
}

TEST(PresetFile, HundredthsAndOriginsSurviveEveryRewrite)
{
    // Every hundredth of the light's range (and far beyond, in the dormant
    // vector), written by any writer: read and written again, the words stay.
    std::vector<uint8_t> bytes(presetBytesWithoutThumbnail), again(presetBytesWithoutThumbnail);
    CloudSettings s = testhost::defaultSettings();
    encodePreset(&s, nullptr, bytes.data());
    for (int32_t hundredths = -100; hundredths <= 100; ++hundredths) {
        for (int word = 49; word <= 54; ++word) setWord(bytes, word, word < 52 ? hundredths : hundredths * 997);
        setWord(bytes, 69, hundredths * 65536 / 7);
        bool picture = false;
        decodePreset(bytes.data(), bytes.size(), &s, nullptr, &picture);
        encodePreset(&s, nullptr, again.data());
        ASSERT_EQ(bytes, again) << hundredths;
    }
    // The reader is as it was: what older writers truncated reads the same.
    const struct {
        int32_t word;
        uint32_t bits;
    } olderWords[] = {{64, 0x3F23D70Au}, {63, 0x3F2147AEu}, {-54, 0xBF0A3D71u}, {-63, 0xBF2147AEu}, {100, 0x3F800000u}};
    for (const auto& w : olderWords) {
        setWord(bytes, 51, w.word);
        bool picture = false;
        decodePreset(bytes.data(), bytes.size(), &s, nullptr, &picture);
        uint32_t bits;
        std::memcpy(&bits, &s.lightZ, sizeof bits);
        EXPECT_EQ(bits, w.bits) << w.word;
    }
}

TEST(PresetFile, FilePrecisionIsWhatAFileGivesBack)
{
    // Any light and origin, brought to the file's precision, are what writing
    // and reading them gives, and stay so.
    std::mt19937 random(18);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<uint8_t> bytes(presetBytesWithoutThumbnail);
    for (int round = 0; round < 2000; ++round) {
        CloudSettings s = testhost::defaultSettings();
        for (float* f : {&s.lightX, &s.lightY, &s.lightZ, &s.auxX, &s.auxY, &s.auxZ, &s.centreU, &s.centreV})
            *f = unit(random) * (round % 2 ? 1.0f : 3.0f);
        CloudSettings read = s;
        encodePreset(&s, nullptr, bytes.data());
        bool picture = false;
        decodePreset(bytes.data(), bytes.size(), &read, nullptr, &picture);
        bringToFilePrecision(&s);
        ASSERT_EQ(std::memcmp(&s, &read, sizeof s), 0) << round;
        bringToFilePrecision(&read);
        ASSERT_EQ(std::memcmp(&s, &read, sizeof s), 0) << round;
    }
}

TEST(PresetFile, TheSecondCopyOfColour6Wins)
{
    Block b;
    std::vector<uint8_t> bytes(presetBytesWithoutThumbnail);
    encodePreset(b.settings(), nullptr, bytes.data());
    for (int k = 30; k < 33; ++k) setWord(bytes, k, 0x1000);
    for (int k = 33; k < 36; ++k) setWord(bytes, k, 0x2000 + k);
    bool picture;
    decodePreset(bytes.data(), bytes.size(), b.settings(), nullptr, &picture);
    EXPECT_EQ(b.settings()->color6.red, 0x2021);
    EXPECT_EQ(b.settings()->color6.blue, 0x2023);
}

namespace {

// A file of `version` written from `from`: the groups that version holds.
std::vector<uint8_t> fileOfVersion(const CloudSettings& from, int32_t version)
{
    std::vector<uint8_t> full(presetBytesWithThumbnail);
    size_t length = encodePreset(&from, nullptr, full.data());
    full.resize(length);
    std::vector<int> words;  // word indexes of the groups present
    auto group = [&](int first, int last) {
        for (int k = first; k <= last; ++k) words.push_back(k);
    };
    group(0, 35);
    if (version >= 2) group(36, 41);
    if (version >= 3) group(42, 43);
    if (version >= 4) group(44, 46);
    if (version >= 5) group(47, 48);
    if (version >= 8) group(49, 54);
    if (version >= 12) group(55, 55);
    if (version >= 14) group(56, 56);
    if (version >= 16) group(57, 57);
    if (version >= 17) group(58, 58);
    if (version >= 18) group(59, 64);
    if (version >= 22) group(65, 65);
    if (version >= 23) group(66, 68);
    if (version >= 26) group(69, 70);
    std::vector<uint8_t> out;
    for (int k : words) out.insert(out.end(), full.begin() + k * 4, full.begin() + k * 4 + 4);
    setWord(out, 0, version);
    return out;
}

}  // namespace

TEST(PresetFile, OlderVersionsGetTheirAdjustments)
{
    CloudSettings inFile = testhost::defaultSettings();
    fillDistinct(&inFile);
    inFile.density = 30;
    inFile.word408 = 5;
    inFile.word468 = 20;
    inFile.harshness = 9;
    inFile.backlighting = 1;
    inFile.word448 = 3;
    inFile.brightness = 44;
    inFile.dispersion = 66;

    for (int32_t version : {10, 6}) {
        Block b;
        fillDistinct(b.settings());
        CloudSettings before = *b.settings();
        std::vector<uint8_t> bytes = fileOfVersion(inFile, version);
        std::string path = tempPath("old.k00");
        writeFile(path, bytes);
        bool picture = false;
        ASSERT_EQ(readPresetFile(b.ctx(), path.c_str(), presetReadNormal, &picture), presetFileRead);
        const CloudSettings& s = *b.settings();
        EXPECT_EQ(s.density, 70) << version;  // inverted
        EXPECT_EQ(s.mottling, 57) << version;
        EXPECT_EQ(s.lumpiness, 0) << version;
        EXPECT_EQ(s.skyLight, 50) << version;
        EXPECT_EQ(s.word448, 0) << version;
        EXPECT_EQ(s.harshness, 30) << version;  // 9 x 10/3
        EXPECT_EQ(s.backlighting, 0) << version;
        // Not in these versions: kept as they were.
        EXPECT_EQ(s.seed, before.seed) << version;
        EXPECT_EQ(std::memcmp(&s.color4, &before.color4, 6), 0) << version;
        EXPECT_EQ(std::memcmp(&s.color7, &before.color7, 6), 0) << version;
        EXPECT_EQ(std::memcmp(&s.skyColor, &before.skyColor, 6), 0) << version;
        EXPECT_EQ(s.centreU, before.centreU) << version;
        EXPECT_EQ(s.centreV, before.centreV) << version;
        EXPECT_FALSE(picture);
        if (version == 10) {
            EXPECT_EQ(s.word408, 6);
            EXPECT_EQ(s.word468, 80);
            EXPECT_EQ(s.brightness, 44);
            EXPECT_EQ(s.dispersion, 66);
            EXPECT_EQ(s.lightX, inFile.lightX);
        } else {
            EXPECT_EQ(s.word408, 6);
            EXPECT_EQ(s.word468, 80);
            EXPECT_EQ(s.brightness, 100);
            EXPECT_EQ(s.dispersion, 50);
            EXPECT_EQ(std::memcmp(&s.color6, &s.cloudColor, 6), 0);
            EXPECT_EQ(s.lightX, before.lightX);  // the floats came with version 8
        }
    }
}

TEST(PresetFile, PreviewChangesNoSetting)
{
    CloudSettings inFile = testhost::defaultSettings();
    fillDistinct(&inFile);
    std::vector<uint8_t> picture(thumbnailBytes, 0x77);
    for (int32_t version : {-5, 0, 1, 2, 6, 7, 10, 15, 21, 22, 23, 25, 26, 188, 100000}) {
        Block b;
        std::vector<uint8_t> full(presetBytesWithThumbnail);
        full.resize(encodePreset(&inFile, picture.data(), full.data()));
        setWord(full, 0, version);
        std::string path = tempPath("preview.k00");
        writeFile(path, full);
        CloudSettings before = *b.settings();
        b.rig.ctx.thumbnail = b.thumbnail.data();
        bool read = false;
        ASSERT_EQ(readPresetFile(b.ctx(), path.c_str(), presetReadPreview, &read), presetFileRead);
        EXPECT_EQ(std::memcmp(b.settings(), &before, sizeof before), 0) << version;
        EXPECT_EQ(read, version >= 22) << version;
        if (read) {
            EXPECT_EQ(b.thumbnail, picture) << version;
        }
    }
}

TEST(PresetFile, MissingFileChangesNothing)
{
    Block b;
    CloudSettings before = *b.settings();
    bool picture = true;
    EXPECT_EQ(readPresetFile(b.ctx(), tempPath("no such file.k00").c_str(), presetReadNormal, &picture),
              presetFileCannotOpen);
    EXPECT_FALSE(picture);
    EXPECT_EQ(std::memcmp(b.settings(), &before, sizeof before), 0);
}

TEST(PresetFile, WritingOverALongerFileKeepsItsTail)
{
    Block b;
    std::string path = tempPath("over.k00");
    std::remove(path.c_str());
    b.rig.ctx.thumbnail = b.thumbnail.data();
    writePresetFile(b.ctx(), path.c_str());
    b.settings()->density = 5;
    b.rig.ctx.thumbnail = nullptr;
    writePresetFile(b.ctx(), path.c_str());
    EXPECT_EQ(testhost::readBytes(path).size(), 12580u);  // not shortened
    b.settings()->density = 50;
    bool picture = false;
    readPresetFile(b.ctx(), path.c_str(), presetReadNormal, &picture);
    EXPECT_EQ(b.settings()->density, 5);
    EXPECT_FALSE(picture);
}

TEST(PresetFile, ShortFilesLeaveTheRestAlone)
{
    CloudSettings inFile = testhost::defaultSettings();
    fillDistinct(&inFile);
    std::vector<uint8_t> picture(thumbnailBytes, 9);
    std::vector<uint8_t> full(presetBytesWithThumbnail);
    full.resize(encodePreset(&inFile, picture.data(), full.data()));
    // Density is word 24, bytes 96 to 99: cut before its end, it and all after keep their values.
    for (size_t cut : {size_t(0), size_t(3), size_t(97), size_t(99), size_t(100), size_t(272 + 100), full.size() - 1}) {
        CloudSettings s = testhost::defaultSettings();
        std::vector<uint8_t> thumb(thumbnailBytes, 0);
        bool read = false;
        decodePreset(full.data(), cut, &s, thumb.data(), &read);
        EXPECT_EQ(read, cut >= size_t(272 + thumbnailBytes)) << cut;
        EXPECT_EQ(s.density, cut >= 100 ? inFile.density : 66) << cut;
        EXPECT_EQ(s.seed, cut >= 224 ? inFile.seed : 21) << cut;
        if (cut == full.size() - 1) {
            EXPECT_EQ(s.centreU, inFile.centreU);
            EXPECT_EQ(s.centreV, 0.5f);  // its last byte is missing
        }
    }
}

TEST(PresetFile, RandomAndDamagedFilesAreReadSafely)
{
    // Bounded: a fixed seed, a few thousand inputs. Run under AddressSanitizer
    // in the sanitizer build, where any read past a buffer fails the test.
    std::mt19937 random(20261208);
    CloudSettings inFile = testhost::defaultSettings();
    fillDistinct(&inFile);
    std::vector<uint8_t> valid(presetBytesWithThumbnail);
    valid.resize(encodePreset(&inFile, std::vector<uint8_t>(thumbnailBytes, 3).data(), valid.data()));
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> bytes;
        if (round % 2 == 0) {
            bytes.assign(valid.begin(), valid.begin() + random() % (valid.size() + 1));
            for (int k = random() % 4; k > 0 && !bytes.empty(); --k) bytes[random() % bytes.size()] = uint8_t(random());
            if (!bytes.empty() && round % 4 == 0) setWord(bytes, 0, int32_t(random() % 40));
        } else {
            bytes.resize(random() % 13000);
            for (uint8_t& v : bytes) v = uint8_t(random());
        }
        // An exactly sized heap copy, so a read past the end is caught.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() + 1]);
        std::memcpy(exact.get(), bytes.data(), bytes.size());
        CloudSettings s = testhost::defaultSettings();
        std::unique_ptr<uint8_t[]> thumb(new uint8_t[thumbnailBytes]);
        bool read = false;
        decodePreset(exact.get(), bytes.size(), &s, thumb.get(), &read);
        decodePreset(exact.get(), bytes.size(), nullptr, thumb.get(), &read);
        if (read) {
            ASSERT_GE(bytes.size(), size_t(272 + thumbnailBytes));
        }
    }
}
