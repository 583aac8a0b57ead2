#include "settings/PresetFile.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "host/Context.h"
#include "platform/Platform.h"
#include "settings/CloudSettings.h"

// ---- Writing. ----
namespace {

struct WordWriter {
    uint8_t* out;
    size_t length;

    void word(int32_t v)
    {
        uint32_t u = uint32_t(v);
        for (int shift = 24; shift >= 0; shift -= 8) out[length++] = uint8_t(u >> shift);
    }
    void colour(const RGB48& c)
    {
        word(c.red);
        word(c.green);
        word(c.blue);
    }
};

// A float as a whole number of 1/scale, limited so that a value no word can
// hold (or not a number) never reaches the conversion.
int32_t scaledWord(float f, double scale, bool nearest)
{
    double v = double(f) * scale;
    if (!(v == v)) return 0;
    if (nearest) v = std::round(v);  // halves away from zero
    if (v > 2147483647.0) return 2147483647;
    if (v < -2147483648.0) return -2147483647 - 1;
    return int32_t(v);
}

}  // namespace

int32_t hundredthsWord(float f) { return scaledWord(f, 100.0, true); }
int32_t originWord(float f) { return scaledWord(f, 65536.0, false); }
float fromHundredths(int32_t word) { return float(word * 0.01); }
float fromOriginWord(int32_t word) { return float(word * (1.0 / 65536.0)); }

void bringToFilePrecision(CloudSettings* s)
{
    for (auto f : kLightFloats) s->*f = fromHundredths(hundredthsWord(s->*f));
    for (float* f : {&s->centreU, &s->centreV}) *f = fromOriginWord(originWord(*f));
}

size_t encodePreset(const CloudSettings* s, const uint8_t* thumbnail, uint8_t* out)
{
    WordWriter w{out, 0};
    w.word(presetVersion);
    w.colour(s->cloudColor);
    w.colour(s->color2);
    w.colour(s->color3);
    for (int32_t v : {s->harshness, s->word360,   s->wrap,      s->word368,    s->lumpScale, s->mottling, s->word380,
                      s->word384,   s->word388,   s->word392,   s->dispersion, s->word400,   s->word404,  s->flatness,
                      s->density,   s->lumpiness, s->smokiness, s->detail,     s->zoom,      s->word444})
        w.word(v);
    w.colour(s->color6);  // written twice; readers use the second copy
    w.colour(s->color6);
    w.colour(s->color8);
    for (int32_t v : {s->skyLight, s->puffs, s->word408, s->blendMode, 1, s->word448, s->word452, s->backlighting,
                      s->brightness, s->word468})
        w.word(v);
    for (auto f : kLightFloats) w.word(hundredthsWord(s->*f));
    for (int32_t v : {s->seed, s->word456, 1, s->word472}) w.word(v);
    w.colour(s->color4);
    w.colour(s->skyColor);
    w.word(thumbnail ? 1 : 0);
    if (thumbnail) {
        w.word(thumbnailSide);
        w.word(thumbnailSide);
        std::memcpy(out + w.length, thumbnail, thumbnailBytes);
        w.length += thumbnailBytes;
    }
    w.colour(s->color7);
    w.word(originWord(s->centreU));
    w.word(originWord(s->centreV));
    return w.length;
}

void writePresetFile(FilterContext* ctx, const char* path)
{
    static uint8_t bytes[presetBytesWithThumbnail];
    size_t length = encodePreset(settingsOf(ctx), ctx->thumbnail, bytes);
    PlatformFile file = platformOpenForWriting(path);
    if (!file) return;
    platformWrite(file, bytes, length);
    platformClose(file);
}

bool savePresetFile(FilterContext* ctx, const char* path)
{
    static uint8_t bytes[presetBytesWithThumbnail];
    char beside[300];
    if (std::snprintf(beside, sizeof beside, "%s.saving", path) >= int(sizeof beside)) return false;
    size_t length = encodePreset(settingsOf(ctx), ctx->thumbnail, bytes);
    platformRemoveFile(beside);  // a stale one would not be shortened
    PlatformFile file = platformOpenForWriting(beside);
    if (!file) return false;
    bool written = platformWrite(file, bytes, length) == length;
    platformClose(file);
    if (written && platformReplaceFile(beside, path)) return true;
    platformRemoveFile(beside);
    return false;
}

// ---- Reading. ----
namespace {

// Words from the file, or nothing once the bytes run out. Every store goes
// through here, so a short file leaves the fields past its end untouched;
// in preview mode (store false) nothing is stored at all.
struct WordReader {
    const uint8_t* bytes;
    size_t size, at;
    bool store;

    // A word that steers the reading (the version, the thumbnail flag): read
    // in both modes. False past the end.
    bool control(int32_t* v)
    {
        if (size - at < 4) {
            at = size;
            return false;
        }
        *v = int32_t(uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 |
                     bytes[at + 3]);
        at += 4;
        return true;
    }
    bool word(int32_t* field)
    {
        int32_t v;
        if (!control(&v)) return false;
        if (store) *field = v;
        return true;
    }
    void skip(int count)
    {
        int32_t ignored;
        for (int k = 0; k < count; ++k) control(&ignored);
    }
    void words(std::initializer_list<int32_t*> fields)
    {
        for (int32_t* f : fields) word(f);
    }
    void colour(RGB48* c)
    {
        for (uint16_t* channel : {&c->red, &c->green, &c->blue}) {
            int32_t v;
            if (control(&v) && store) *channel = uint16_t(v & 0xFFFF);
        }
    }
    void scaled(float* f, float (*fromWord)(int32_t))
    {
        int32_t v;
        if (control(&v) && store) *f = fromWord(v);
    }
};

// 100 - v for any stored word, wrapping instead of overflowing.
int32_t invertedPercent(int32_t v) { return int32_t(uint32_t(100) - uint32_t(v)); }

// Harshness of the old scale, times 10/3, limited to what a word holds.
int32_t rescaledHarshness(int32_t v)
{
    double scaled = v * 3.3333333333333335;
    if (scaled >= 2147483647.0) return 2147483647;
    if (scaled <= -2147483648.0) return -2147483647 - 1;
    return int32_t(scaled);
}

}  // namespace

void decodePreset(const uint8_t* bytes, size_t size, CloudSettings* settings, uint8_t* thumbnail, bool* pictureRead)
{
    *pictureRead = false;
    CloudSettings scratch;  // preview reads go nowhere
    CloudSettings* s = settings ? settings : &scratch;
    const bool adjust = settings != nullptr;  // old-version adjustments change settings: never in preview
    WordReader r{bytes, size, 0, settings != nullptr};

    int32_t v = 0;
    if (!r.control(&v)) return;

    r.colour(&s->cloudColor);
    r.colour(&s->color2);
    r.colour(&s->color3);
    bool harshnessRead = r.word(&s->harshness);
    r.words({&s->word360, &s->wrap, &s->word368, &s->lumpScale, &s->mottling, &s->word380, &s->word384, &s->word388,
             &s->word392, &s->dispersion, &s->word400, &s->word404, &s->flatness});
    bool densityRead = r.word(&s->density);
    r.words({&s->lumpiness, &s->smokiness, &s->detail, &s->zoom, &s->word444});
    if (adjust && v < 15 && densityRead) s->density = invertedPercent(s->density);
    r.skip(3);  // the first copy of color6
    r.colour(&s->color6);

    if (v >= 2) {
        r.colour(&s->color8);
        r.words({&s->skyLight, &s->puffs});
        if (r.word(&s->word408) && adjust && v < 11) s->word408 = int32_t(uint32_t(s->word408) + 1u);
    }
    if (v >= 3) {
        r.word(&s->blendMode);
        r.skip(1);
    }
    if (v >= 4) r.words({&s->word448, &s->word452, &s->backlighting});
    if (v >= 5) {
        r.word(&s->brightness);
        if (r.word(&s->word468) && adjust && v <= 12) s->word468 = invertedPercent(s->word468);
    }
    if (adjust && v < 7) {
        s->color6 = s->cloudColor;
        s->brightness = 100;
        s->dispersion = 50;
    }
    if (v >= 8)
        for (auto f : kLightFloats) r.scaled(&(s->*f), fromHundredths);
    if (v >= 12) r.word(&s->seed);
    if (v >= 14) r.word(&s->word456);
    if (v >= 16) r.skip(1);
    if (v >= 17) r.word(&s->word472);
    if (v >= 18) {
        r.colour(&s->color4);
        r.colour(&s->skyColor);
    }
    int32_t flag = 0;
    if (v >= 22 && r.control(&flag) && flag != 0) {
        r.skip(2);  // width and height, always 64
        // The picture is taken only when all of it is there.
        if (r.size - r.at >= size_t(thumbnailBytes)) {
            if (thumbnail) {
                std::memcpy(thumbnail, bytes + r.at, thumbnailBytes);
                *pictureRead = true;
            }
            r.at += thumbnailBytes;
        } else {
            r.at = r.size;
        }
    }
    if (adjust) {
        if (v < 19) s->mottling = 57;
        if (v < 20) s->lumpiness = 0;
        if (v < 21) s->skyLight = 50;
        if (v < 24) {
            s->word448 = 0;
            if (harshnessRead) s->harshness = rescaledHarshness(s->harshness);
        }
        if (v < 25) s->backlighting = 0;
    }
    if (v >= 23) r.colour(&s->color7);
    if (v >= 26) {
        r.scaled(&s->centreU, fromOriginWord);
        r.scaled(&s->centreV, fromOriginWord);
    }
}

// The whole file, at most the longest layout; false when it cannot be opened.
static bool readFileBytes(const char* path, uint8_t* bytes, size_t capacity, size_t* size)
{
    PlatformFile file = platformOpenForReading(path);
    if (!file) return false;
    *size = platformRead(file, bytes, capacity);
    platformClose(file);
    return true;
}

bool loadPresetFile(FilterContext* ctx, const char* path)
{
    static uint8_t bytes[presetBytesWithThumbnail];
    size_t size = 0;
    if (!readFileBytes(path, bytes, sizeof bytes, &size) || size == 0) return false;
    resetSettings(ctx);
    bool pictureRead = false;
    decodePreset(bytes, size, settingsOf(ctx), ctx->thumbnail, &pictureRead);
    return true;
}

int readPresetFile(FilterContext* ctx, const char* path, PresetReadMode mode, bool* pictureRead)
{
    *pictureRead = false;
    // Nothing past the longest layout is ever read.
    static uint8_t bytes[presetBytesWithThumbnail];
    size_t size = 0;
    if (!readFileBytes(path, bytes, sizeof bytes, &size)) return presetFileCannotOpen;
    decodePreset(bytes, size, mode == presetReadNormal ? settingsOf(ctx) : nullptr, ctx->thumbnail, pictureRead);
    return presetFileRead;
}
