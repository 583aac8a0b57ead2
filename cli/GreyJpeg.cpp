// A baseline JPEG encoder for grey pictures: one component, the standard
// luminance tables every JPEG decoder knows (ITU T.81, annex K), scaled by quality
// as the IJG library does. The image library writes colour JPEGs only.
#include "cli/GreyJpeg.h"

#include <cmath>

namespace {

const uint8_t zigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
                            41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
                            30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

const uint8_t luminanceQuantisation[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                           14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                           18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                           49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

// Huffman tables: counts of codes of each length 1..16, then the symbols.
const uint8_t dcCounts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
const uint8_t dcSymbols[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
const uint8_t acCounts[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
const uint8_t acSymbols[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
    0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
    0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

struct Code {
    uint16_t bits;
    uint8_t length;
};

// The canonical codes of a table, indexed by symbol.
void buildCodes(const uint8_t counts[16], const uint8_t* symbols, Code codes[256])
{
    uint16_t code = 0;
    int k = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int n = 0; n < counts[length - 1]; ++n) codes[symbols[k++]] = Code{code++, uint8_t(length)};
        code = uint16_t(code << 1);
    }
}

struct BitWriter {
    std::vector<uint8_t>* out;
    uint32_t buffer = 0;
    int count = 0;
    void put(uint32_t bits, int length)
    {
        buffer = (buffer << length) | (bits & ((1u << length) - 1));
        count += length;
        while (count >= 8) {
            uint8_t byte = uint8_t(buffer >> (count - 8));
            out->push_back(byte);
            if (byte == 0xFF) out->push_back(0);  // stuffing
            count -= 8;
        }
    }
    void flush()
    {
        if (count > 0) put(0x7F, 8 - count);  // pad with ones
    }
};

// Magnitude category and the bits of a coefficient.
void encodeValue(int value, int* category, uint32_t* bits)
{
    int magnitude = value < 0 ? -value : value, c = 0;
    while (magnitude >> c) ++c;
    *category = c;
    *bits = uint32_t(value < 0 ? value + (1 << c) - 1 : value);
}

// The 8 x 8 DCT, separable: rows, then columns.
void forwardDct(float block[64])
{
    static double basis[8][8];  // basis[u][x] = c(u) cos((2x + 1) u pi / 16) / 2
    static bool ready = false;
    if (!ready) {
        for (int u = 0; u < 8; ++u)
            for (int x = 0; x < 8; ++x)
                basis[u][x] =
                    (u == 0 ? std::sqrt(0.5) : 1.0) * std::cos((2 * x + 1) * u * 3.14159265358979323846 / 16.0) / 2.0;
        ready = true;
    }
    double rows[64];
    for (int y = 0; y < 8; ++y)
        for (int u = 0; u < 8; ++u) {
            double sum = 0.0;
            for (int x = 0; x < 8; ++x) sum += block[y * 8 + x] * basis[u][x];
            rows[y * 8 + u] = sum;
        }
    for (int u = 0; u < 8; ++u)
        for (int v = 0; v < 8; ++v) {
            double sum = 0.0;
            for (int y = 0; y < 8; ++y) sum += rows[y * 8 + u] * basis[v][y];
            block[v * 8 + u] = float(sum);
        }
}

void segment(std::vector<uint8_t>& out, uint8_t marker, const std::vector<uint8_t>& data)
{
    size_t length = data.size() + 2;
    out.insert(out.end(), {0xFF, marker, uint8_t(length >> 8), uint8_t(length)});
    out.insert(out.end(), data.begin(), data.end());
}

}  // namespace

bool encodeGreyJpeg(int width, int height, const uint8_t* pixels, int step, int quality, std::vector<uint8_t>* out)
{
    if (width < 1 || height < 1 || width > 65535 || height > 65535) return false;
    quality = quality < 1 ? 1 : (quality > 100 ? 100 : quality);
    int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    uint8_t table[64];
    for (int k = 0; k < 64; ++k) {
        int q = (luminanceQuantisation[zigzag[k]] * scale + 50) / 100;
        table[k] = uint8_t(q < 1 ? 1 : (q > 255 ? 255 : q));  // in zigzag order
    }
    out->clear();
    out->insert(out->end(), {0xFF, 0xD8});
    std::vector<uint8_t> dqt = {0x00};
    dqt.insert(dqt.end(), table, table + 64);
    segment(*out, 0xDB, dqt);
    segment(*out, 0xC0, {8, uint8_t(height >> 8), uint8_t(height), uint8_t(width >> 8), uint8_t(width), 1, 1, 0x11, 0});
    std::vector<uint8_t> dht = {0x00};
    dht.insert(dht.end(), dcCounts, dcCounts + 16);
    dht.insert(dht.end(), dcSymbols, dcSymbols + 12);
    dht.push_back(0x10);
    dht.insert(dht.end(), acCounts, acCounts + 16);
    dht.insert(dht.end(), acSymbols, acSymbols + 162);
    segment(*out, 0xC4, dht);
    segment(*out, 0xDA, {1, 1, 0x00, 0, 63, 0});

    Code dc[256] = {}, ac[256] = {};
    buildCodes(dcCounts, dcSymbols, dc);
    buildCodes(acCounts, acSymbols, ac);
    BitWriter bits{out};
    int previous = 0;
    for (int by = 0; by < height; by += 8)
        for (int bx = 0; bx < width; bx += 8) {
            float block[64];
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    int sx = bx + x < width ? bx + x : width - 1, sy = by + y < height ? by + y : height - 1;
                    block[y * 8 + x] = float(pixels[(size_t(sy) * width + sx) * step]) - 128.0f;
                }
            forwardDct(block);
            int coefficients[64];
            for (int k = 0; k < 64; ++k) coefficients[k] = int(std::lround(block[zigzag[k]] / table[k]));
            int category;
            uint32_t value;
            encodeValue(coefficients[0] - previous, &category, &value);
            previous = coefficients[0];
            bits.put(dc[category].bits, dc[category].length);
            if (category) bits.put(value, category);
            int run = 0;
            for (int k = 1; k < 64; ++k) {
                if (coefficients[k] == 0) {
                    ++run;
                    continue;
                }
                for (; run >= 16; run -= 16) bits.put(ac[0xF0].bits, ac[0xF0].length);
                encodeValue(coefficients[k], &category, &value);
                int symbol = run << 4 | category;
                bits.put(ac[symbol].bits, ac[symbol].length);
                bits.put(value, category);
                run = 0;
            }
            if (run) bits.put(ac[0x00].bits, ac[0x00].length);  // end of block
        }
    bits.flush();
    out->insert(out->end(), {0xFF, 0xD9});
    return true;
}
