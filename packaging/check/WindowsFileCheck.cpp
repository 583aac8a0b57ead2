#include "packaging/check/WindowsFileCheck.h"

#include <algorithm>
#include <cctype>

#include "packaging/check/PeImage.h"
#include "resources/ResourceIds.h"

namespace {

// DLLs that every supported Windows has. The MinGW runtime (libgcc, libstdc++,
// winpthread) is linked in, and the api-ms-win-* sets are missing on Windows 7.
// The command-line program reads and writes images through the Windows
// Imaging Component (windowscodecs.dll, with COM from ole32.dll).
constexpr const char* systemDlls[] = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll",
                                      "kernel32.dll", "msvcrt.dll",   "ole32.dll",    "psapi.dll",
                                      "shell32.dll",  "user32.dll",   "version.dll",  "windowscodecs.dll"};

// Functions that Windows 7 lacks. Code that uses them looks them up at run
// time; a static import would keep the file from loading there at all.
constexpr const char* newerThanWindows7[] = {"AdjustWindowRectExForDpi",
                                             "AreDpiAwarenessContextsEqual",
                                             "EnableNonClientDpiScaling",
                                             "GetAwarenessFromDpiAwarenessContext",
                                             "GetDpiForMonitor",
                                             "GetDpiForSystem",
                                             "GetDpiForWindow",
                                             "GetSystemMetricsForDpi",
                                             "GetSystemTimePreciseAsFileTime",
                                             "GetThreadDpiAwarenessContext",
                                             "GetWindowDpiAwarenessContext",
                                             "SetDialogControlDpiChangeBehavior",
                                             "SetDialogDpiChangeBehavior",
                                             "SetProcessDpiAwarenessContext",
                                             "SetThreadDpiAwarenessContext",
                                             "SetThreadDpiHostingBehavior",
                                             "SystemParametersInfoForDpi",
                                             "WaitOnAddress",
                                             "WakeByAddressAll",
                                             "WakeByAddressSingle"};

// A module exports these and nothing else, by their plain names.
constexpr const char* moduleExports[] = {"DissolveProc", "ENTRYPOINT"};
constexpr const char* entryPointName = "ENTRYPOINT";

std::string lower(std::string s)
{
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

template <size_t N> bool listed(const char* const (&list)[N], const std::string& name)
{
    return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

uint32_t le32(const std::vector<uint8_t>& f, size_t at)
{
    return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24;
}

// The file version of the version resource ("1.2.3.4"), or empty when its
// fixed part (signature 0xFEEF04BD on a four-byte boundary) is not found.
std::string fileVersion(const std::vector<uint8_t>& file, const PeResource& resource)
{
    for (size_t at = resource.offset; at + 16 <= resource.offset + resource.size; at += 4) {
        if (le32(file, at) != 0xFEEF04BDu) continue;
        uint32_t high = le32(file, at + 8), low = le32(file, at + 12);
        return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." + std::to_string(low >> 16) +
               "." + std::to_string(low & 0xFFFF);
    }
    return "";
}

void checkImports(const PeImage& image, WindowsFileReport& report)
{
    for (const PeImport& dll : image.imports) {
        if (!listed(systemDlls, lower(dll.dll)))
            report.problems.push_back("imports from " + dll.dll + ", which is not a DLL every Windows has");
        for (const std::string& function : dll.functions)
            if (listed(newerThanWindows7, function))
                report.problems.push_back("imports " + function + " from " + dll.dll +
                                          ", which Windows 7 lacks (look it up at run time)");
    }
}

void checkModule(const std::vector<uint8_t>& file, const PeImage& image, uint16_t machine, WindowsFileReport& report)
{
    if (!image.dll) report.problems.push_back("is not a DLL");
    std::vector<std::string> exports = image.exports;
    std::sort(exports.begin(), exports.end());
    if (!std::equal(exports.begin(), exports.end(), std::begin(moduleExports), std::end(moduleExports))) {
        std::string found;
        for (const std::string& name : exports) found += (found.empty() ? "" : ", ") + name;
        report.problems.push_back("exports [" + found + "], not exactly DissolveProc and ENTRYPOINT undecorated");
    }
    const PeResource* pipl = findPeResource(image, "PIPL", IDR_PIPL);
    if (!pipl) return report.problems.push_back("has no PIPL resource " + std::to_string(IDR_PIPL));
    std::string error;
    if (!readPipl(file.data() + pipl->offset, pipl->size, report.pipl, error))
        return report.problems.push_back("has a damaged property list: " + error);
    const char* own = machine == peMachineI386 ? piplCodeKeyX86 : piplCodeKeyX64;
    const char* other = machine == peMachineI386 ? piplCodeKeyX64 : piplCodeKeyX86;
    bool kind = false, code = false;
    for (const PiplProperty& p : report.pipl) {
        if (p.vendor != "8BIM") report.problems.push_back("property " + p.key + " has the vendor " + p.vendor);
        kind |= p.key == "kind" && p.data == std::vector<uint8_t>{'M', 'F', 'B', '8'};
        if (p.key == other)
            report.problems.push_back(std::string("names an entry point for the other processor (") + other + ")");
        if (p.key != own) continue;
        code = true;
        if (piplCodeName(p) != entryPointName)
            report.problems.push_back("its property list names the entry point \"" + piplCodeName(p) + "\"");
    }
    if (!kind) report.problems.push_back("its property list does not say it is a filter (kind 8BFM)");
    const std::string modes = piplModeDisagreement(report.pipl);
    if (!modes.empty()) report.problems.push_back("its property list's image modes: " + modes);
    if (!code)
        report.problems.push_back(std::string("its property list names no entry point for its processor (") + own +
                                  ")");
}

}  // namespace

WindowsFileReport checkWindowsFile(const std::vector<uint8_t>& file, uint16_t machine, WindowsFileKind kind,
                                   const std::string& version)
{
    WindowsFileReport report;
    PeImage image;
    std::string error;
    if (!readPeImage(file, image, error)) {
        report.problems.push_back(error);
        return report;
    }
    bool x86 = machine == peMachineI386;
    if (image.machine != machine || image.pe32plus == x86)
        report.problems.push_back(std::string("is not a ") + (x86 ? "PE32 image for i386" : "PE32+ image for x86-64"));
    checkImports(image, report);
    if (kind == windowsModule) checkModule(file, image, machine, report);
    if (kind == windowsProgram && image.dll) report.problems.push_back("is a DLL, not a program");
    if (kind == windowsProgram && image.subsystem != 3) report.problems.push_back("is not a console program");
    const PeResource* versionInfo = findPeResource(image, "#" + std::to_string(peResourceVersion), 1);
    std::string found = versionInfo ? fileVersion(file, *versionInfo) : "";
    if (found != version + ".0")
        report.problems.push_back(versionInfo ? "has the version " + found + ", not " + version
                                              : "has no version resource");

    std::string dlls;
    for (const PeImport& dll : image.imports) dlls += (dlls.empty() ? "" : " ") + dll.dll;
    report.summary = std::string(x86 ? "PE32 i386" : "PE32+ x86-64") +
                     (kind == windowsModule ? " module" : " program") + ", version " + found + ", imports " + dlls;
    if (kind == windowsModule) report.summary += ", " + std::to_string(report.pipl.size()) + " PiPL properties";
    return report;
}

std::vector<std::string> piplDifferences(const std::vector<PiplProperty>& a, const std::vector<PiplProperty>& b)
{
    auto withoutCode = [](const std::vector<PiplProperty>& list) {
        std::vector<PiplProperty> kept;
        for (const PiplProperty& p : list)
            if (p.key != piplCodeKeyX86 && p.key != piplCodeKeyX64) kept.push_back(p);
        return kept;
    };
    std::vector<PiplProperty> x = withoutCode(a), y = withoutCode(b);
    std::vector<std::string> differences;
    if (x.size() != y.size()) differences.push_back("the property lists hold different numbers of properties");
    for (size_t i = 0; i < std::min(x.size(), y.size()); ++i)
        if (x[i].vendor != y[i].vendor || x[i].key != y[i].key || x[i].id != y[i].id || x[i].data != y[i].data)
            differences.push_back("property " + std::to_string(i + 1) + " (" + x[i].key + ") differs");
    return differences;
}
