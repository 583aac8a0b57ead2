// Runs nimbulo as a user does, in the test's scratch folder, and the small
// file helpers the command-line suites share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/ImageFile.h"
#include "host/EngineHarness.h"
#include "host/TestHost.h"  // readBytes

namespace testhost {

// The folder of the test program (nimbulo is built beside it).
std::string programFolder();

struct Outcome {
    int code;
    std::string errors;
};

// Runs nimbulo with `arguments` (a shell command line after the program's
// name: redirections work), standard error captured.
Outcome run(const std::string& arguments);

bool exists(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void savePicture(const std::string& path, const Picture& p);
Image loadPicture(const std::string& path);

// A test picture as an image file's pixels (8 bits a sample).
Image imageOf(const Picture& p);

}  // namespace testhost
