// The artwork's files: fonts read from disk, and the bitmaps, icons and
// cursors written as the resource compiler takes them (the generator's side).
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "resources/artwork/Canvas.h"

bool Font::load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return loadBytes(bytes.data(), bytes.size());
}

// ---- File formats. ----

static uint8_t toByte(float v) { return uint8_t(std::min(std::max(v, 0.0f), 1.0f) * 255.0f + 0.5f); }

namespace {
struct Bytes {
    std::vector<uint8_t> data;
    void u8(unsigned v) { data.push_back(uint8_t(v)); }
    void u16(unsigned v)
    {
        u8(v & 255);
        u8((v >> 8) & 255);
    }
    void u32(uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    bool save(const std::string& path) const
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return false;
        bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
        return std::fclose(f) == 0 && ok;
    }
};

// A device-independent bitmap header for `w` x `h` (h doubled for icons).
void bitmapInfoHeader(Bytes& b, int w, int h, int bits, uint32_t imageBytes)
{
    b.u32(40);
    b.u32(uint32_t(w));
    b.u32(uint32_t(h));
    b.u16(1);
    b.u16(unsigned(bits));
    b.u32(0);
    b.u32(imageBytes);
    b.u32(2835);
    b.u32(2835);
    b.u32(0);
    b.u32(0);
}
}  // namespace

bool writeBmp(const Canvas& c, const std::string& path)
{
    int stride = (c.width * 3 + 3) & ~3;
    uint32_t imageBytes = uint32_t(stride) * uint32_t(c.height);
    Bytes b;
    b.u8('B');
    b.u8('M');
    b.u32(14 + 40 + imageBytes);
    b.u32(0);
    b.u32(14 + 40);
    bitmapInfoHeader(b, c.width, c.height, 24, imageBytes);
    for (int y = c.height - 1; y >= 0; --y) {
        for (int x = 0; x < c.width; ++x) {
            const Colour& p = c.at(x, y);
            b.u8(toByte(p.b));
            b.u8(toByte(p.g));
            b.u8(toByte(p.r));
        }
        for (int pad = c.width * 3; pad < stride; ++pad) b.u8(0);
    }
    return b.save(path);
}

bool writeIcon(const Canvas& c, const std::string& path)
{
    int maskStride = ((c.width + 31) / 32) * 4;
    uint32_t imageBytes = uint32_t(c.width * c.height * 4 + maskStride * c.height);
    Bytes b;
    b.u16(0);
    b.u16(1);  // icon
    b.u16(1);  // one image
    b.u8(unsigned(c.width & 255));
    b.u8(unsigned(c.height & 255));
    b.u8(0);
    b.u8(0);
    b.u16(1);
    b.u16(32);
    b.u32(40 + imageBytes);
    b.u32(6 + 16);
    bitmapInfoHeader(b, c.width, c.height * 2, 32, imageBytes);
    for (int y = c.height - 1; y >= 0; --y)
        for (int x = 0; x < c.width; ++x) {
            const Colour& p = c.at(x, y);
            b.u8(toByte(p.b));
            b.u8(toByte(p.g));
            b.u8(toByte(p.r));
            b.u8(toByte(p.a));
        }
    for (int y = c.height - 1; y >= 0; --y)
        for (int byte = 0; byte < maskStride; ++byte) {
            unsigned bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                int x = byte * 8 + bit;
                bool transparent = x >= c.width || c.at(x, y).a < 0.5f;
                if (transparent) bits |= 0x80u >> bit;
            }
            b.u8(bits);
        }
    return b.save(path);
}

bool writeCursor(const std::vector<std::string>& rows, int hotX, int hotY, const std::string& path)
{
    const int side = 32, stride = 4;
    uint32_t imageBytes = uint32_t(8 + 2 * stride * side);  // palette, XOR mask, AND mask
    Bytes b;
    b.u16(0);
    b.u16(2);  // cursor
    b.u16(1);
    b.u8(side);
    b.u8(side);
    b.u8(2);
    b.u8(0);
    b.u16(unsigned(hotX));
    b.u16(unsigned(hotY));
    b.u32(40 + imageBytes);
    b.u32(6 + 16);
    bitmapInfoHeader(b, side, side * 2, 1, imageBytes);
    b.u32(0x000000);  // palette: black, white
    b.u32(0xFFFFFF);
    auto pixel = [&](int x, int y) {
        return y < int(rows.size()) && x < int(rows[size_t(y)].size()) ? rows[size_t(y)][size_t(x)] : ' ';
    };
    // XOR mask: 1 is white. AND mask: 1 keeps the screen (transparent).
    for (int pass = 0; pass < 2; ++pass)
        for (int y = side - 1; y >= 0; --y)
            for (int byte = 0; byte < stride; ++byte) {
                unsigned bits = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    char p = pixel(byte * 8 + bit, y);
                    bool set = pass == 0 ? p == '.' : p == ' ';
                    if (set) bits |= 0x80u >> bit;
                }
                b.u8(bits);
            }
    return b.save(path);
}
