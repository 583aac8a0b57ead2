// A Windows executable image read from its bytes, without loading it: the
// headers, the names it exports, the DLLs and functions it imports and its
// resources. Used to check the shipped modules and programs on any machine,
// including one that cannot run them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum { peMachineI386 = 0x014C, peMachineAmd64 = 0x8664 };
enum { peResourceVersion = 16 };

struct PeImport {
    std::string dll;
    std::vector<std::string> functions;  // by name; one imported by ordinal reads "#ordinal"
};

struct PeResource {
    std::string type;  // a numbered type as "#16", a named one by its name ("PIPL")
    uint32_t id;       // UINT32_MAX for a named one
    uint32_t language;
    size_t offset;  // of the data in the file
    size_t size;
};

struct PeImage {
    uint16_t machine = 0;
    bool pe32plus = false;  // the 64-bit optional header
    bool dll = false;
    uint16_t subsystem = 0;
    std::vector<std::string> exports;
    std::vector<PeImport> imports;
    std::vector<PeResource> resources;
};

// Reads the image in `file`. False, with `error` saying what is wrong, when
// the bytes are not a well-formed image; every offset is checked against the
// file's size.
bool readPeImage(const std::vector<uint8_t>& file, PeImage& image, std::string& error);

// The resource of `type` and `id` in any language; null when there is none.
const PeResource* findPeResource(const PeImage& image, const std::string& type, uint32_t id);
