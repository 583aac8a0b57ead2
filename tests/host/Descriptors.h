// The test host's scripting: descriptors as a dictionary of typed values
// (nested objects too), kept in the host's handles in a small byte form of
// its own, and the read and write procedure tables a plug-in reads a played
// step with and writes a recorded one with. Attach it to a TestHost to give
// the plug-in descriptor parameters.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/DescriptorAbi.h"
#include "host/TestHost.h"

namespace testhost {

struct DescriptorValue;
using DescriptorItems = std::vector<std::pair<DescriptorKeyID, DescriptorValue>>;

struct DescriptorValue {
    DescriptorTypeID type = 0;  // typeInteger, typeFloat, typeUnitFloat, typeBoolean, typeEnumerated, typeObject
    int32 integer = 0;          // integers and booleans
    double real = 0.0;          // floats and unit floats
    uint32 unit = 0;            // unit floats: the unit; enumerated: the enumeration; objects: the class
    uint32 enumValue = 0;
    DescriptorItems items;  // objects
};

DescriptorValue integerValue(int32 v);
DescriptorValue floatValue(double v);
DescriptorValue unitFloatValue(uint32 unit, double v);
DescriptorValue booleanValue(bool v);
DescriptorValue enumeratedValue(uint32 enumeration, uint32 v);
DescriptorValue objectValue(uint32 objectClass, DescriptorItems items);

class DescriptorSuite {
public:
    // Gives `host`'s record descriptor parameters with both procedure tables.
    explicit DescriptorSuite(TestHost& host);
    ~DescriptorSuite();
    DescriptorSuite(const DescriptorSuite&) = delete;
    DescriptorSuite& operator=(const DescriptorSuite&) = delete;

    PIDescriptorParameters params{};
    Str255 errorText{};  // the record's error string: a Pascal string
    ReadDescriptorProcs readProcs{};
    WriteDescriptorProcs writeProcs{};

    // A host handle holding `items`, less its last `cut` bytes (a damaged step).
    Handle makeHandle(const DescriptorItems& items, size_t cut = 0);
    // The items a handle holds (as far as they can be read; *whole false
    // when it stops inside one).
    DescriptorItems itemsOf(Handle h, bool* whole = nullptr) const;
    // The step the plug-in recorded (params.descriptor), and the host's
    // taking of it: its items, the handle disposed, the field cleared.
    DescriptorItems takeRecorded();

    int readsOpen = 0, writesOpen = 0;  // tokens not closed
    std::string error() const { return std::string(reinterpret_cast<const char*>(errorText + 1), errorText[0]); }

    static DescriptorSuite* current;

private:
    TestHost& host;
    DescriptorSuite* previous;
};

}  // namespace testhost
