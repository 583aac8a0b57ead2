// What a shipped Windows file must be, checked from its bytes alone (so on
// machines that cannot run it, as the 32-bit files on a 64-bit-only kernel):
// an image for its processor; a module exporting its entry point undecorated
// under the name hosts look for; imports only from DLLs that every supported
// Windows (7 and later) has, and no function newer than Windows 7; its
// property list well-formed and naming that entry point; a version resource
// of the project's version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packaging/check/Pipl.h"

enum WindowsFileKind { windowsModule, windowsProgram };

struct WindowsFileReport {
    std::vector<std::string> problems;  // empty when the file passes
    std::vector<PiplProperty> pipl;     // a module's property list, as read
    std::string summary;                // what was found, one line
};

// `machine` is peMachineI386 or peMachineAmd64; `version` is "major.minor.patch".
WindowsFileReport checkWindowsFile(const std::vector<uint8_t>& file, uint16_t machine, WindowsFileKind kind,
                                   const std::string& version);

// The differences between two modules' property lists, apart from the code
// property that names the entry point for each processor.
std::vector<std::string> piplDifferences(const std::vector<PiplProperty>& a, const std::vector<PiplProperty>& b);
