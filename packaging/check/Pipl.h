// The plug-in property list (the PIPL resource) read back from its bytes:
// a version word, a property-list version, a count, then each property as
// vendor, key, id and length (little-endian words, the codes read big-endian)
// with its data padded to a multiple of four bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PiplProperty {
    std::string vendor, key;  // four characters each, "8BIM", "kind"
    uint32_t id;
    std::vector<uint8_t> data;  // exactly `length` bytes, without the padding
};

// The keys that name the entry point, one per processor: a module carries
// the one of its own processor.
constexpr const char* piplCodeKeyX86 = "wx86";
constexpr const char* piplCodeKeyX64 = "8664";

// Reads the list. False, with `error` saying what is wrong, when the bytes are
// not a well-formed list (short, a property past the end, bytes left over).
bool readPipl(const uint8_t* bytes, size_t size, std::vector<PiplProperty>& properties, std::string& error);

// The zero-terminated entry-point name of a code property ("ENTRYPOINT").
std::string piplCodeName(const PiplProperty& code);

// The image modes a 'mode' flag set names: mode n is bit 0x80 >> (n % 8) of
// byte n / 8. In increasing order.
std::vector<int> piplModes(const PiplProperty& mode);

// The image modes an EnableInfo ('enbl') expression of the form
// "in (PSHOP_ImageMode, RGBMode, ...)" names, in increasing order. False,
// with `error` saying why, for any other form or a name no mode has.
bool enableInfoModes(const PiplProperty& enbl, std::vector<int>& modes, std::string& error);

// Where a list's 'mode' and 'enbl' disagree: empty when they agree (or the
// list has neither).
std::string piplModeDisagreement(const std::vector<PiplProperty>& properties);
