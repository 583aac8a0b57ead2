#include "packaging/check/PeImage.h"

#include <algorithm>

namespace {

// The file's bytes with little-endian reads that fail, instead of reading
// past the end, on any offset out of range.
struct Reader {
    const std::vector<uint8_t>& bytes;
    bool bad = false;

    bool has(size_t at, size_t n)
    {
        if (at > bytes.size() || n > bytes.size() - at) bad = true;
        return !bad;
    }
    uint32_t le(size_t at, int n)
    {
        if (!has(at, size_t(n))) return 0;
        uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | bytes[at + size_t(i)];
        return v;
    }
    uint16_t u16(size_t at) { return uint16_t(le(at, 2)); }
    uint32_t u32(size_t at) { return le(at, 4); }
    uint64_t u64(size_t at) { return uint64_t(u32(at)) | uint64_t(u32(at + 4)) << 32; }
};

struct Section {
    uint32_t address, virtualSize, fileOffset, fileSize;
};

// Data directories the checks read.
enum { directoryExport = 0, directoryImport = 1, directoryResource = 2 };
// Limits far above any real image, so a damaged count cannot make the reader spin.
enum { maxNames = 65536, maxDepth = 3 };

struct Image {
    Reader r;
    std::vector<Section> sections;

    // The file offset of a relative virtual address, or 0 (never a valid
    // place for data) when no section holds it.
    size_t offsetOf(uint32_t rva)
    {
        for (const Section& s : sections) {
            uint32_t extent = std::max(s.virtualSize, s.fileSize);
            if (rva >= s.address && rva - s.address < extent && rva - s.address < s.fileSize)
                return size_t(s.fileOffset) + (rva - s.address);
        }
        r.bad = true;
        return 0;
    }
    std::string text(size_t at)
    {
        std::string s;
        while (r.has(at, 1) && r.bytes[at] && s.size() < 4096) s += char(r.bytes[at++]);
        return s;
    }
};

void readExports(Image& im, uint32_t rva, PeImage& out)
{
    size_t dir = im.offsetOf(rva);
    uint32_t count = im.r.u32(dir + 24), names = im.r.u32(dir + 32);
    if (count > maxNames) im.r.bad = true;
    for (uint32_t i = 0; i < count && !im.r.bad; ++i) {
        uint32_t name = im.r.u32(im.offsetOf(names) + 4 * size_t(i));
        out.exports.push_back(im.text(im.offsetOf(name)));
    }
}

void readImports(Image& im, uint32_t rva, bool pe32plus, PeImage& out)
{
    size_t at = im.offsetOf(rva);
    for (int n = 0; n < maxNames && !im.r.bad; ++n, at += 20) {
        uint32_t lookup = im.r.u32(at), name = im.r.u32(at + 12), thunks = im.r.u32(at + 16);
        if (!lookup && !name && !thunks) return;
        PeImport dll{im.text(im.offsetOf(name)), {}};
        size_t entry = im.offsetOf(lookup ? lookup : thunks), step = pe32plus ? 8 : 4;
        for (int k = 0; k < maxNames && !im.r.bad; ++k, entry += step) {
            uint64_t thunk = pe32plus ? im.r.u64(entry) : im.r.u32(entry);
            if (!thunk) break;
            bool byOrdinal = thunk >> (pe32plus ? 63 : 31);
            dll.functions.push_back(byOrdinal ? "#" + std::to_string(thunk & 0xFFFF)
                                              : im.text(im.offsetOf(uint32_t(thunk)) + 2));
        }
        out.imports.push_back(dll);
    }
}

// Walks the three levels of the resource tree (type, id, language).
void readResources(Image& im, size_t base, size_t dir, int depth, PeResource path, PeImage& out)
{
    if (depth >= maxDepth) return;
    uint32_t entries = uint32_t(im.r.u16(dir + 12)) + im.r.u16(dir + 14);
    for (uint32_t i = 0; i < entries && !im.r.bad; ++i) {
        size_t entry = dir + 16 + 8 * size_t(i);
        uint32_t name = im.r.u32(entry), target = im.r.u32(entry + 4);
        if (depth == 0) {
            if (name & 0x80000000u) {
                size_t at = base + (name & 0x7FFFFFFFu);
                path.type.clear();
                for (uint32_t c = 0, n = im.r.u16(at); c < n && !im.r.bad; ++c)
                    path.type += char(im.r.u16(at + 2 + 2 * size_t(c)));
            } else {
                path.type = "#" + std::to_string(name);
            }
        } else if (depth == 1) {
            path.id = name & 0x80000000u ? UINT32_MAX : name;  // a named resource has no number
        } else {
            path.language = name;
        }
        if (target & 0x80000000u) {
            if (depth < 2) readResources(im, base, base + (target & 0x7FFFFFFFu), depth + 1, path, out);
        } else if (depth == 2) {
            size_t leaf = base + target;
            path.size = im.r.u32(leaf + 4);
            path.offset = im.offsetOf(im.r.u32(leaf));
            if (im.r.has(path.offset, path.size)) out.resources.push_back(path);
        }
    }
}

}  // namespace

bool readPeImage(const std::vector<uint8_t>& file, PeImage& image, std::string& error)
{
    image = PeImage{};
    Image im{Reader{file}, {}};
    Reader& r = im.r;
    if (r.u16(0) != 0x5A4D) return error = "not an executable image (no MZ header)", false;
    size_t pe = r.u32(0x3C);
    if (r.u32(pe) != 0x00004550) return error = "not a PE image (no PE signature)", false;
    size_t coff = pe + 4, optional = coff + 20;
    image.machine = r.u16(coff);
    uint16_t sectionCount = r.u16(coff + 2), optionalSize = r.u16(coff + 16);
    image.dll = r.u16(coff + 18) & 0x2000;
    uint16_t magic = r.u16(optional);
    if (magic != 0x10B && magic != 0x20B) return error = "unknown optional header", false;
    image.pe32plus = magic == 0x20B;
    image.subsystem = r.u16(optional + 68);
    size_t directories = optional + (image.pe32plus ? 112 : 96);
    uint32_t directoryCount = r.u32(directories - 4);
    for (size_t s = optional + optionalSize, i = 0; i < sectionCount; ++i, s += 40)
        im.sections.push_back({r.u32(s + 12), r.u32(s + 8), r.u32(s + 20), r.u32(s + 16)});
    if (r.bad) return error = "the headers run past the end of the file", false;

    auto directory = [&](uint32_t index) { return index < directoryCount ? r.u32(directories + 8 * index) : 0u; };
    if (uint32_t rva = directory(directoryExport)) readExports(im, rva, image);
    if (uint32_t rva = directory(directoryImport)) readImports(im, rva, image.pe32plus, image);
    if (uint32_t rva = directory(directoryResource)) {
        size_t base = im.offsetOf(rva);
        readResources(im, base, base, 0, PeResource{}, image);
    }
    if (r.bad) return error = "a table of the image points outside the file", false;
    return true;
}

const PeResource* findPeResource(const PeImage& image, const std::string& type, uint32_t id)
{
    for (const PeResource& resource : image.resources)
        if (resource.type == type && resource.id == id) return &resource;
    return nullptr;
}
