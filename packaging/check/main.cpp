// nimbulo-check-windows: checks the shipped Windows files without running
// them (scripts/test on the builds, scripts/package --check on the archive).
//   nimbulo-check-windows --i386 FILE... --x86-64 FILE...
// A file ending in .8bf is a module, any other a program. The property lists
// of all modules given must agree apart from their entry-point property.
//   nimbulo-check-windows --same-pixels A B
// Whether two image files hold the same picture, whatever wrote them (the
// Windows programs write through the system's codecs).
// Exit code 0 when every file passes, 1 when any does not, 2 on bad usage.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Version.h"
#include "cli/ImageFile.h"
#include "packaging/check/PeImage.h"
#include "packaging/check/WindowsFileCheck.h"

static int samePixels(const char* a, const char* b)
{
    Image first, second;
    std::string error;
    if (readImage(a, 0, 300000, &first, &error) != imageOk || readImage(b, 0, 300000, &second, &error) != imageOk) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (first.width == second.width && first.height == second.height && first.channels == second.channels &&
        first.bytesPerSample == second.bytesPerSample && first.pixels == second.pixels)
        return 0;
    std::fprintf(stderr, "%s and %s hold different pictures\n", a, b);
    return 1;
}

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--same-pixels") return samePixels(argv[2], argv[3]);
    uint16_t machine = 0;
    int failures = 0, files = 0;
    std::string firstModule;
    std::vector<PiplProperty> firstPipl;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--i386" || arg == "--x86-64") {
            machine = arg == "--i386" ? peMachineI386 : peMachineAmd64;
            continue;
        }
        if (!machine) {
            std::fprintf(stderr, "usage: nimbulo-check-windows --i386 FILE... --x86-64 FILE...\n");
            return 2;
        }
        std::ifstream in(arg, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        bool module = arg.size() > 4 && arg.compare(arg.size() - 4, 4, ".8bf") == 0;
        WindowsFileReport report =
            in ? checkWindowsFile(bytes, machine, module ? windowsModule : windowsProgram, NIMBULO_VERSION_TEXT)
               : WindowsFileReport{{"cannot be read"}, {}, {}};
        if (module && report.problems.empty()) {
            if (firstModule.empty()) {
                firstModule = arg;
                firstPipl = report.pipl;
            }
            for (const std::string& d : piplDifferences(firstPipl, report.pipl))
                report.problems.push_back("its property list differs from " + firstModule + "'s: " + d);
        }
        ++files;
        for (const std::string& problem : report.problems)
            std::fprintf(stderr, "%s: %s\n", arg.c_str(), problem.c_str());
        if (!report.problems.empty()) ++failures;
        if (report.problems.empty()) std::printf("%s: %s\n", arg.c_str(), report.summary.c_str());
    }
    if (!files) {
        std::fprintf(stderr, "usage: nimbulo-check-windows --i386 FILE... --x86-64 FILE...\n");
        return 2;
    }
    return failures ? 1 : 0;
}
