#include "cli/ImageMetadata.h"

#include <cstring>

namespace {

uint32_t big16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t big32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

const char iccSignature[] = "ICC_PROFILE";                   // with its terminating zero: 12 bytes
const char xmpSignature[] = "http://ns.adobe.com/xap/1.0/";  // with its zero: 29 bytes
const char photoshopSignature[] = "Photoshop 3.0";           // with its zero: 14 bytes

// An EXIF block: a TIFF structure of directories of 12-byte entries, every
// offset from the block's start, in the byte order its first two bytes name.
struct ExifBlock {
    const uint8_t* tiff;
    size_t size;
    bool little;
    uint32_t u16(size_t at) const
    {
        return little ? uint32_t(tiff[at]) | uint32_t(tiff[at + 1]) << 8 : big16(tiff + at);
    }
    uint32_t u32(size_t at) const
    {
        return little ? uint32_t(tiff[at]) | uint32_t(tiff[at + 1]) << 8 | uint32_t(tiff[at + 2]) << 16 |
                            uint32_t(tiff[at + 3]) << 24
                      : big32(tiff + at);
    }
    // The entry count of the directory at `directory`, checked against the block.
    bool entries(uint32_t directory, uint32_t* count, std::string* problem) const
    {
        if (directory > size || size - directory < 2) {
            *problem = "EXIF directory offset points outside the EXIF block";
            return false;
        }
        *count = u16(directory);
        if ((size - directory - 2) / 12 < *count) {
            *problem = "EXIF directory runs past the EXIF block";
            return false;
        }
        return true;
    }
    // The offset of the entry for `tag` in the directory, 0 for none.
    size_t find(uint32_t directory, uint32_t tag) const
    {
        uint32_t count = 0;
        std::string ignored;
        if (!entries(directory, &count, &ignored)) return 0;
        for (uint32_t k = 0; k < count; ++k)
            if (u16(directory + 2 + size_t(k) * 12) == tag) return directory + 2 + size_t(k) * 12;
        return 0;
    }
};

bool openExif(const uint8_t* tiff, size_t size, ExifBlock* block, std::string* problem)
{
    if (size < 8) {
        *problem = "EXIF block too short";
        return false;
    }
    bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) {
        *problem = "EXIF block without a byte order";
        return false;
    }
    *block = ExifBlock{tiff, size, little};
    if (block->u16(2) != 42) {
        *problem = "EXIF block is not TIFF";
        return false;
    }
    return true;
}

// The IIM records of resource 0x0404 among Photoshop's image resources
// ("8BIM", id, a padded Pascal name, a size, the data padded to even).
std::vector<uint8_t> iptcOfResources(const uint8_t* data, size_t size)
{
    size_t at = 0;
    while (size - at >= 12 && std::memcmp(data + at, "8BIM", 4) == 0) {
        uint32_t id = big16(data + at + 4);
        size_t name = data[at + 6];
        size_t sizeAt = at + 6 + ((name + 2) & ~size_t(1));
        if (sizeAt > size || size - sizeAt < 4) break;
        size_t length = big32(data + sizeAt);
        if (length > size - sizeAt - 4) break;
        if (id == 0x0404) return std::vector<uint8_t>(data + sizeAt + 4, data + sizeAt + 4 + length);
        at = sizeAt + 4 + ((length + 1) & ~size_t(1));
        if (at > size) break;
    }
    return {};
}

}  // namespace

// The orientation tag of a TIFF-laid-out block (an EXIF block, or a TIFF file).
static bool orientationOf(const uint8_t* tiff, size_t size, int* orientation, std::string* problem)
{
    ExifBlock block;
    uint32_t count = 0;
    *orientation = 1;
    if (!openExif(tiff, size, &block, problem) || !block.entries(block.u32(4), &count, problem)) return false;
    size_t entry = block.find(block.u32(4), 0x0112);
    // A value that names no orientation (some cameras write 0) leaves the picture as stored.
    uint32_t value = entry ? block.u16(entry + 8) : 1;
    if (entry && block.u16(entry + 2) == 3 && value >= 1 && value <= 8) *orientation = int(value);
    return true;
}

bool exifOrientation(const std::vector<uint8_t>& exif, int* orientation, std::string* problem)
{
    return orientationOf(exif.data(), exif.size(), orientation, problem);
}

void resetExifOrientation(std::vector<uint8_t>* exif)
{
    ExifBlock block;
    std::string problem;
    if (!openExif(exif->data(), exif->size(), &block, &problem)) return;
    size_t entry = block.find(block.u32(4), 0x0112);
    if (!entry || block.u16(entry + 2) != 3) return;
    (*exif)[entry + 8] = uint8_t(block.little ? 1 : 0);
    (*exif)[entry + 9] = uint8_t(block.little ? 0 : 1);
}

std::string exifText(const std::vector<uint8_t>& exif, uint16_t tag)
{
    ExifBlock block;
    std::string problem;
    if (!openExif(exif.data(), exif.size(), &block, &problem)) return "";
    uint32_t directory = block.u32(4);
    size_t entry = block.find(directory, tag);
    if (!entry) {
        size_t exifDirectory = block.find(directory, 0x8769);
        if (exifDirectory) entry = block.find(block.u32(exifDirectory + 8), tag);
    }
    if (!entry || block.u16(entry + 2) != 2) return "";
    size_t count = block.u32(entry + 4);
    size_t at = count <= 4 ? entry + 8 : block.u32(entry + 8);
    if (at > exif.size() || count > exif.size() - at) return "";
    std::string text(reinterpret_cast<const char*>(exif.data() + at), count);
    return text.substr(0, text.find('\0'));
}

std::vector<uint8_t> exifOfTexts(const std::vector<std::pair<uint16_t, std::string>>& tags,
                                 const std::vector<std::pair<uint16_t, std::string>>& exifTags)
{
    if (tags.empty() && exifTags.empty()) return {};
    // Big-endian: the header, the first directory (with a pointer to the
    // EXIF directory when there is one), the EXIF directory, then the texts
    // longer than four bytes.
    const size_t first = tags.size() + (exifTags.empty() ? 0 : 1);
    const size_t exifAt = 8 + 2 + first * 12 + 4;
    size_t textAt = exifAt + (exifTags.empty() ? 0 : 2 + exifTags.size() * 12 + 4);
    std::vector<uint8_t> block = {'M', 'M', 0, 42, 0, 0, 0, 8}, texts;
    auto directory = [&](const std::vector<std::pair<uint16_t, std::string>>& entries, bool pointer) {
        const size_t count = entries.size() + (pointer ? 1 : 0);
        block.insert(block.end(), {uint8_t(count >> 8), uint8_t(count)});
        for (const auto& tag : entries) {
            std::vector<uint8_t> text(tag.second.begin(), tag.second.end());
            text.push_back(0);
            block.insert(block.end(), {uint8_t(tag.first >> 8), uint8_t(tag.first), 0, 2});  // ASCII
            appendBig32(uint32_t(text.size()), &block);
            if (text.size() <= 4) {
                text.resize(4, 0);
                block.insert(block.end(), text.begin(), text.end());
            } else {
                appendBig32(uint32_t(textAt + texts.size()), &block);
                texts.insert(texts.end(), text.begin(), text.end());
                if (texts.size() % 2) texts.push_back(0);
            }
        }
        if (pointer) {  // ExifIFD, a LONG: the last tag of the first directory's text tags
            block.insert(block.end(), {0x87, 0x69, 0, 4, 0, 0, 0, 1});
            appendBig32(uint32_t(exifAt), &block);
        }
        appendBig32(0, &block);  // no next directory
    };
    directory(tags, !exifTags.empty());
    if (!exifTags.empty()) directory(exifTags, false);
    block.insert(block.end(), texts.begin(), texts.end());
    return block;
}

// A segment body of `signature` (with its zero) then `data`, when it fits.
static std::vector<uint8_t> segmentBody(const char* signature, size_t signatureSize, const uint8_t* data, size_t size)
{
    if (size == 0 || size + signatureSize > 65533) return {};
    std::vector<uint8_t> body(signature, signature + signatureSize);
    body.insert(body.end(), data, data + size);
    return body;
}

std::vector<uint8_t> jpegExifBody(const std::vector<uint8_t>& exif)
{
    return segmentBody("Exif\0", 6, exif.data(), exif.size());
}

std::vector<uint8_t> jpegXmpBody(const std::vector<uint8_t>& xmp)
{
    return segmentBody(xmpSignature, sizeof xmpSignature, xmp.data(), xmp.size());
}

std::vector<uint8_t> jpegIptcBody(const std::vector<uint8_t>& iptc)
{
    if (iptc.empty()) return {};
    std::vector<uint8_t> resource = {'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0};  // no name
    appendBig32(uint32_t(iptc.size()), &resource);
    resource.insert(resource.end(), iptc.begin(), iptc.end());
    if (iptc.size() % 2) resource.push_back(0);
    return segmentBody(photoshopSignature, sizeof photoshopSignature, resource.data(), resource.size());
}

bool scanJpeg(const uint8_t* bytes, size_t size, JpegFacts* facts, std::string* problem)
{
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        *problem = "not a JPEG file";
        return false;
    }
    // ICC chunks: "ICC_PROFILE\0", sequence number, count, then the bytes.
    std::vector<std::vector<uint8_t>> chunks;
    size_t at = 2;
    while (at + 2 <= size) {
        if (bytes[at] != 0xFF) {
            *problem = "damaged JPEG (a marker is missing)";
            return false;
        }
        uint8_t marker = bytes[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        if (marker == 0xD9) {
            facts->complete = true;
            break;
        }
        if (at + 4 > size) break;
        size_t length = big16(bytes + at + 2);
        if (length < 2 || length > size - at - 2) {
            *problem = "truncated or damaged JPEG (a segment runs past the end)";
            return false;
        }
        const uint8_t* data = bytes + at + 4;
        size_t dataSize = length - 2;
        bool frame = (marker >= 0xC0 && marker <= 0xCF) && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && facts->components == 0) {  // the first frame is the one decoded
            if (dataSize < 6) {
                *problem = "damaged JPEG (frame header)";
                return false;
            }
            facts->height = int(big16(data + 1));
            facts->width = int(big16(data + 3));
            facts->components = data[5];
        } else if (marker == 0xC4) {
            // Huffman tables: a class and id, 16 counts, then that many symbols each.
            // The image library trusts the counts; a table of more than 256 codes
            // would run past its arrays.
            size_t k = 0;
            while (k < dataSize) {
                if (dataSize - k < 17) {
                    *problem = "damaged JPEG (Huffman table)";
                    return false;
                }
                size_t codes = 0;
                for (int n = 1; n <= 16; ++n) codes += data[k + size_t(n)];
                if (codes > 256 || codes > dataSize - k - 17) {
                    *problem = "damaged JPEG (Huffman table)";
                    return false;
                }
                k += 17 + codes;
            }
        } else if (marker == 0xE1 && dataSize >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0) {
            facts->metadata.exif.assign(data + 6, data + dataSize);
            if (!exifOrientation(facts->metadata.exif, &facts->metadata.orientation, problem)) return false;
        } else if (marker == 0xE1 && dataSize > sizeof xmpSignature &&
                   std::memcmp(data, xmpSignature, sizeof xmpSignature) == 0) {
            facts->metadata.xmp.assign(data + sizeof xmpSignature, data + dataSize);
        } else if (marker == 0xED && dataSize > sizeof photoshopSignature &&
                   std::memcmp(data, photoshopSignature, sizeof photoshopSignature) == 0) {
            facts->metadata.iptc =
                iptcOfResources(data + sizeof photoshopSignature, dataSize - sizeof photoshopSignature);
        } else if (marker == 0xE2 && dataSize >= 14 && std::memcmp(data, iccSignature, 12) == 0) {
            size_t sequence = data[12];
            if (sequence == 0) {
                *problem = "damaged ICC profile chunks";
                return false;
            }
            if (chunks.size() < sequence) chunks.resize(sequence);
            chunks[sequence - 1].assign(data + 14, data + dataSize);
        }
        at += 2 + length;
        if (marker == 0xDA) {
            // Entropy-coded data up to the next marker (FF 00 is a stuffed FF,
            // FF D0 to D7 a restart): the markers between the scans of a
            // progressive JPEG are checked as well.
            while (at + 1 < size && !(bytes[at] == 0xFF && bytes[at + 1] != 0x00 && bytes[at + 1] != 0xFF &&
                                      (bytes[at + 1] < 0xD0 || bytes[at + 1] > 0xD7)))
                ++at;
        }
    }
    for (const std::vector<uint8_t>& chunk : chunks)
        facts->metadata.iccProfile.insert(facts->metadata.iccProfile.end(), chunk.begin(), chunk.end());
    return true;
}

bool scanTiff(const uint8_t* bytes, size_t size, ImageMetadata* metadata, std::string* problem)
{
    // A TIFF file is laid out as an EXIF block is.
    std::string why;
    if (orientationOf(bytes, size, &metadata->orientation, &why)) return true;
    *problem = "truncated or damaged TIFF (its first directory lies outside the file)";
    return false;
}

bool scanBmp(const uint8_t* bytes, size_t size, std::string* problem)
{
    auto little = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int k = n - 1; k >= 0; --k) v = v << 8 | bytes[at + size_t(k)];
        return v;
    };
    if (size < 26) {
        *problem = "truncated BMP (its header is cut short)";
        return false;
    }
    const uint32_t headerSize = little(14, 4);
    const bool old = headerSize == 12;  // the OS/2 header: 16-bit sides
    if (size < (old ? 26u : 34u)) {
        *problem = "truncated BMP (its header is cut short)";
        return false;
    }
    const int64_t w = old ? int64_t(little(18, 2)) : int64_t(int32_t(little(18, 4)));
    int64_t h = old ? int64_t(little(20, 2)) : int64_t(int32_t(little(22, 4)));
    const uint32_t bits = little(old ? 24 : 28, 2), compression = old ? 0 : little(30, 4);
    if (h < 0) h = -h;
    // Run-length and embedded JPEG or PNG pixels have no fixed size; absurd
    // sides are for the size checks that follow.
    if ((compression != 0 && compression != 3 && compression != 6) || w <= 0 || w > 1 << 24 || h > 1 << 24 ||
        bits == 0 || bits > 64)
        return true;
    const uint64_t rowBytes = (uint64_t(w) * bits + 31) / 32 * 4;
    if (little(10, 4) + rowBytes * uint64_t(h) > size) {
        *problem = "truncated BMP (its rows run past the end)";
        return false;
    }
    return true;
}

uint32_t pngCrc32(const uint8_t* data, size_t size)
{
    static const struct Table {
        uint32_t entry[256];
        Table()
        {
            for (uint32_t n = 0; n < 256; ++n) {
                uint32_t c = n;
                for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
                entry[n] = c;
            }
        }
    } table;
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) crc = table.entry[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void appendBig32(uint32_t v, std::vector<uint8_t>* out)
{
    out->insert(out->end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

void appendPngChunk(const char type[4], const uint8_t* data, size_t size, std::vector<uint8_t>* png)
{
    size_t at = png->size();
    appendBig32(uint32_t(size), png);
    png->insert(png->end(), type, type + 4);
    if (size) png->insert(png->end(), data, data + size);
    appendBig32(pngCrc32(png->data() + at + 4, size + 4), png);
}

void repairPngChecksums(std::vector<uint8_t>* png)
{
    size_t at = 8;
    while (at + 12 <= png->size()) {
        uint32_t length = big32(png->data() + at);
        if (length > png->size() - at - 12) return;
        uint32_t crc = pngCrc32(png->data() + at + 4, size_t(length) + 4);
        for (int k = 0; k < 4; ++k) (*png)[at + 8 + length + size_t(k)] = uint8_t(crc >> (24 - 8 * k));
        at += 12 + size_t(length);
    }
}

bool scanPng(const uint8_t* bytes, size_t size, ImageMetadata* metadata, std::string* problem)
{
    size_t at = 8;
    while (at + 12 <= size) {
        uint32_t length = big32(bytes + at);
        if (length > size - at - 12) {
            *problem = "truncated or damaged PNG (a chunk runs past the end)";
            return false;
        }
        const uint8_t* type = bytes + at + 4;
        const uint8_t* data = bytes + at + 8;
        // A chunk whose checksum is wrong is damaged, whatever it holds.
        if (pngCrc32(type, size_t(length) + 4) != big32(data + length)) {
            char name[5] = {0, 0, 0, 0, 0};
            for (int k = 0; k < 4; ++k) name[k] = type[k] >= 32 && type[k] < 127 ? char(type[k]) : '?';
            *problem = std::string("damaged PNG (the ") + name + " chunk's checksum is wrong)";
            return false;
        }
        if (std::memcmp(type, "iCCP", 4) == 0) {
            // A name of 1 to 79 bytes, its zero, the method 0, then the zlib stream.
            const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data, 0, length < 80 ? length : 80));
            size_t start = zero ? size_t(zero - data) + 2 : 0;
            if (!zero || start > length || !zlibDecompress(data + start, length - start, &metadata->iccProfile)) {
                *problem = "damaged ICC profile (iCCP chunk)";
                return false;
            }
            metadata->pngIccChunk.assign(data, data + length);
        } else if (std::memcmp(type, "eXIf", 4) == 0) {
            metadata->exif.assign(data, data + length);
        } else if (std::memcmp(type, "iTXt", 4) == 0 && length > 22 &&
                   std::memcmp(data, "XML:com.adobe.xmp", 18) == 0) {
            // Keyword, compressed or not, method, then a language and a translated keyword, each ending in a zero.
            const bool packed = data[18] != 0;
            size_t text = 20;
            for (int zeros = 0; zeros < 2 && text < length; ++text)
                if (data[text] == 0) ++zeros;
            metadata->xmp.clear();
            if (packed ? !zlibDecompress(data + text, length - text, &metadata->xmp) : false) {
                *problem = "damaged XMP (iTXt chunk)";
                return false;
            }
            if (!packed) metadata->xmp.assign(data + text, data + length);
        }
        // Every chunk up to the end is checked: the image library sizes its
        // buffers by the lengths the chunks claim before it reads them.
        if (std::memcmp(type, "IEND", 4) == 0) break;
        at += 12 + length;
    }
    return true;
}

void applyOrientation(int orientation, int* width, int* height, int pixelBytes, std::vector<uint8_t>* pixels)
{
    if (orientation <= 1 || orientation > 8) return;
    const int w = *width, h = *height;
    const bool swaps = orientation >= 5;
    const int ow = swaps ? h : w, oh = swaps ? w : h;
    std::vector<uint8_t> upright(pixels->size());
    for (int y = 0; y < oh; ++y)
        for (int x = 0; x < ow; ++x) {
            int sx = x, sy = y;
            // clang-format off
            switch (orientation) {
            case 2: sx = w - 1 - x; break;
            case 3: sx = w - 1 - x; sy = h - 1 - y; break;
            case 4: sy = h - 1 - y; break;
            case 5: sx = y; sy = x; break;
            case 6: sx = y; sy = h - 1 - x; break;
            case 7: sx = w - 1 - y; sy = h - 1 - x; break;
            default: sx = w - 1 - y; sy = x; break;  // 8
            }
            // clang-format on
            std::memcpy(&upright[(size_t(y) * ow + x) * pixelBytes], &(*pixels)[(size_t(sy) * w + sx) * pixelBytes],
                        size_t(pixelBytes));
        }
    pixels->swap(upright);
    *width = ow;
    *height = oh;
}

std::vector<uint8_t> jpegWithProfile(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& profile)
{
    if (profile.empty() || jpeg.size() < 2) return jpeg;
    const size_t most = 65535 - 2 - 14;
    size_t chunks = (profile.size() + most - 1) / most;
    if (chunks > 255) return jpeg;  // no JPEG can hold it
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    for (size_t k = 0; k < chunks; ++k) {
        size_t from = k * most, n = profile.size() - from < most ? profile.size() - from : most;
        size_t length = n + 2 + 14;
        out.insert(out.end(), {0xFF, 0xE2, uint8_t(length >> 8), uint8_t(length)});
        out.insert(out.end(), iccSignature, iccSignature + 12);
        out.push_back(uint8_t(k + 1));
        out.push_back(uint8_t(chunks));
        out.insert(out.end(), profile.begin() + long(from), profile.begin() + long(from + n));
    }
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

std::vector<uint8_t> pngWithProfile(const std::vector<uint8_t>& png, const ImageMetadata& metadata)
{
    const size_t afterHeader = 8 + 12 + 13;  // signature, then the 13-byte IHDR chunk
    if (metadata.iccProfile.empty() || png.size() < afterHeader) return png;
    std::vector<uint8_t> chunk = metadata.pngIccChunk;
    if (chunk.empty()) {
        std::vector<uint8_t> packed;
        if (!zlibCompress(metadata.iccProfile, &packed)) return png;
        const char name[] = "ICC profile";
        chunk.assign(name, name + sizeof name);  // with its zero
        chunk.push_back(0);                      // compression method: deflate
        chunk.insert(chunk.end(), packed.begin(), packed.end());
    }
    std::vector<uint8_t> block;
    appendPngChunk("iCCP", chunk.data(), chunk.size(), &block);
    std::vector<uint8_t> out(png.begin(), png.begin() + long(afterHeader));
    out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), png.begin() + long(afterHeader), png.end());
    return out;
}
