#include "packaging/check/Pipl.h"

namespace {

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A four-character code stored as a little-endian word whose value reads the code big-endian.
std::string code(const uint8_t* p) { return {char(p[3]), char(p[2]), char(p[1]), char(p[0])}; }

}  // namespace

bool readPipl(const uint8_t* bytes, size_t size, std::vector<PiplProperty>& properties, std::string& error)
{
    properties.clear();
    if (size < 10) return error = "the property list is shorter than its header", false;
    if (bytes[0] != 1 || bytes[1] != 0) return error = "the property list's resource version is not 1", false;
    uint32_t count = le32(bytes + 6);
    size_t at = 10;
    for (uint32_t i = 0; i < count; ++i) {
        if (size - at < 16) return error = "property " + std::to_string(i + 1) + " runs past the end", false;
        uint32_t length = le32(bytes + at + 12);
        size_t padded = (size_t(length) + 3) & ~size_t(3);
        if (length > size || size - at - 16 < padded)
            return error = "the data of property " + std::to_string(i + 1) + " runs past the end", false;
        properties.push_back({code(bytes + at),
                              code(bytes + at + 4),
                              le32(bytes + at + 8),
                              {bytes + at + 16, bytes + at + 16 + length}});
        at += 16 + padded;
    }
    if (at != size) return error = std::to_string(size - at) + " bytes follow the last property", false;
    return true;
}

std::string piplCodeName(const PiplProperty& code)
{
    std::string name;
    for (uint8_t c : code.data) {
        if (!c) break;
        name += char(c);
    }
    return name;
}
