#include "packaging/check/Pipl.h"

#include <algorithm>

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

std::vector<int> piplModes(const PiplProperty& mode)
{
    std::vector<int> modes;
    for (size_t n = 0; n < mode.data.size() * 8; ++n)
        if (mode.data[n / 8] & (0x80 >> (n % 8))) modes.push_back(int(n));
    return modes;
}

bool enableInfoModes(const PiplProperty& enbl, std::vector<int>& modes, std::string& error)
{
    // The EnableInfo names of modes 0 to 17, in mode order.
    static const char* const names[] = {
        "BitmapMode", "GrayScaleMode",    "IndexedMode",          "RGBMode",       "CMYKMode",   "HSLMode",
        "HSBMode",    "MultichannelMode", "DuotoneMode",          "LabMode",       "Gray16Mode", "RGB48Mode",
        "Lab48Mode",  "CMYK64Mode",       "DeepMultichannelMode", "Duotone16Mode", "RGB96Mode",  "Gray32Mode"};
    modes.clear();
    std::string text;
    for (uint8_t c : enbl.data) {
        if (!c) break;
        if (c != ' ') text += char(c);
    }
    const std::string head = "in(PSHOP_ImageMode,";
    if (text.compare(0, head.size(), head) != 0 || text.back() != ')')
        return error = "EnableInfo is not of the form in (PSHOP_ImageMode, ...)", false;
    std::string list = text.substr(head.size(), text.size() - head.size() - 1) + ",";
    for (size_t at = 0, comma; (comma = list.find(',', at)) != std::string::npos; at = comma + 1) {
        const std::string name = list.substr(at, comma - at);
        auto found = std::find(std::begin(names), std::end(names), name);
        if (found == std::end(names)) return error = "EnableInfo names no mode \"" + name + "\"", false;
        modes.push_back(int(found - std::begin(names)));
    }
    std::sort(modes.begin(), modes.end());
    return true;
}

std::string piplModeDisagreement(const std::vector<PiplProperty>& properties)
{
    const PiplProperty *mode = nullptr, *enbl = nullptr;
    for (const PiplProperty& p : properties) {
        if (p.key == "mode") mode = &p;
        if (p.key == "enbl") enbl = &p;
    }
    if (!mode && !enbl) return "";
    if (!mode || !enbl) return "it has one of 'mode' and 'enbl' without the other";
    std::vector<int> listed;
    std::string error;
    if (!enableInfoModes(*enbl, listed, error)) return error;
    if (listed != piplModes(*mode)) return "its 'mode' and 'enbl' name different image modes";
    return "";
}
