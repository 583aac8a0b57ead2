// The built Windows module: what a host reads from it before calling it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "Version.h"
#include "host/HostAbi.h"
#include "host/TestHost.h"
#include "packaging/check/PeImage.h"
#include "packaging/check/WindowsFileCheck.h"
#include "resources/ResourceIds.h"
#include "settings/Terminology.h"

namespace {

struct Bytes {
    std::vector<uint8_t> data;
    void u16(uint16_t v)
    {
        for (int i = 0; i < 2; ++i) data.push_back(uint8_t(v >> (8 * i)));
    }
    void u32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i) data.push_back(uint8_t(v >> (8 * i)));
    }
    void raw(std::initializer_list<uint8_t> bytes) { data.insert(data.end(), bytes); }
    void text(const char* s)
    {
        for (; *s; ++s) data.push_back(uint8_t(*s));
    }
    void zeros(int n) { data.insert(data.end(), size_t(n), 0); }
    void property(const char (&key)[5], uint32_t length)
    {
        u32(fourCC("8BIM"));
        u32(fourCC(key));
        u32(0);
        u32(length);
    }
};

std::vector<uint8_t> expectedPipl()
{
    Bytes b;
    b.u16(1);
    b.u32(0);
    b.u32(11);
    b.property("kind", 4);
    b.u32(fourCC("8BFM"));
    b.property("name", 16);
    b.raw({11});
    b.text("Nimbulo...");
    b.zeros(5);
    b.property("catg", 16);
    b.raw({12});
    b.text("Nimbulo Labs");
    b.zeros(3);
    b.property("vers", 4);
    b.u32(0x00040000);
    b.property(sizeof(void*) == 8 ? "8664" : "wx86", 12);
    b.text("ENTRYPOINT");
    b.zeros(2);
    b.property("fici", 28);
    for (int filterCase = 1; filterCase <= 7; ++filterCase) b.raw({1, 1, uint8_t(filterCase >= 4 ? 2 : 0), 0});
    b.property("hstm", 48);
    b.u32(0);
    b.u32(fourCC("nimB"));
    b.u32(fourCC("nimB"));
    b.u16(16000);
    b.text("com.nimbulolabs.nimbulo.clouds");
    b.zeros(4);
    b.property("flly", 4);
    b.raw({0x80, 0, 0, 0});
    b.property("ms32", 8);
    b.u32(300000);
    b.u32(300000);
    b.property("mode", 4);
    b.raw({0x58, 0xFD, 0xC0,
           0x00});  // Gray, RGB, CMYK; Duotone, Lab, Gray16, RGB48, Lab48, CMYK64, Duotone16; RGB96, Gray32
    b.property("enbl", 164);
    b.text(
        "in (PSHOP_ImageMode, GrayScaleMode, RGBMode, CMYKMode, DuotoneMode, LabMode, Gray16Mode, RGB48Mode, "
        "Lab48Mode, CMYK64Mode, Duotone16Mode, RGB96Mode, Gray32Mode)");
    b.zeros(4);
    return b.data;
}

std::wstring modulePath() { return testhost::moduleUnderTest(); }

// A text of the version resource of `path`; empty when there is none.
std::string versionText(const std::wstring& path, const char* name)
{
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<uint8_t> block(size);
    if (!size || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return "";
    char* text = nullptr;
    UINT length = 0;
    std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) || !length) return "";
    return std::string(text);
}

}  // namespace

TEST(Module, PiplIsByteExact)
{
    HMODULE module = LoadLibraryExW(modulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found =
        FindResourceExW(module, L"PIPL", MAKEINTRESOURCEW(IDR_PIPL), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(found, nullptr);
    DWORD size = SizeofResource(module, found);
    auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(bytes, nullptr);
    std::vector<uint8_t> actual(bytes, bytes + size);
    std::vector<uint8_t> expected = expectedPipl();
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(actual[i], expected[i]) << "byte " << i;
    FreeLibrary(module);
}

namespace {

// A resource of the module under test, as a host reads it.
std::vector<uint8_t> moduleResource(const wchar_t* type, int id)
{
    std::vector<uint8_t> bytes;
    HMODULE module = LoadLibraryExW(modulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return bytes;
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type)) {
        auto* at = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
        if (at) bytes.assign(at, at + SizeofResource(module, found));
    }
    FreeLibrary(module);
    return bytes;
}

// Reads the terminology resource's fields in order, as a host's parser does:
// little-endian words, Pascal strings without padding.
struct AeteReader {
    const std::vector<uint8_t>& b;
    size_t at = 0;
    bool failed = false;
    uint32_t take(int n)
    {
        uint32_t v = 0;
        if (at + size_t(n) > b.size()) failed = true;
        for (int i = 0; i < n && !failed; ++i) v |= uint32_t(b[at + size_t(i)]) << (8 * i);
        at += size_t(n);
        return v;
    }
    std::string text()
    {
        size_t n = take(1);
        if (failed || at + n > b.size()) return failed = true, std::string();
        std::string s(b.begin() + long(at), b.begin() + long(at + n));
        at += n;
        return s;
    }
};

struct AeteParameter {
    std::string name;
    uint32_t key, type, flags;
};

}  // namespace

TEST(Module, TerminologyNamesEverySettingForTheActionsPanel)
{
    const std::vector<uint8_t> pipl = moduleResource(L"PIPL", IDR_PIPL), aete = moduleResource(L"AETE", 16000);
    ASSERT_FALSE(aete.empty());
    // The property list's terminology: class, event and the resource it names.
    const uint8_t hstm[] = {'m', 't', 's', 'h'};
    auto found = std::search(pipl.begin(), pipl.end(), std::begin(hstm), std::end(hstm));
    ASSERT_NE(found, pipl.end());
    const size_t data = size_t(found - pipl.begin()) + 12;
    auto u32 = [&](size_t at) {
        return uint32_t(pipl[at]) | uint32_t(pipl[at + 1]) << 8 | uint32_t(pipl[at + 2]) << 16 |
               uint32_t(pipl[at + 3]) << 24;
    };
    const uint32_t piplClass = u32(data + 4), piplEvent = u32(data + 8);
    EXPECT_EQ(uint32_t(pipl[data + 12] | pipl[data + 13] << 8), 16000u);

    AeteReader r{aete};
    EXPECT_EQ(r.take(2), 1u);  // reserved
    EXPECT_EQ(r.take(1), 1u);  // version 1.0
    EXPECT_EQ(r.take(1), 0u);
    r.take(4);                 // language, script
    ASSERT_EQ(r.take(2), 1u);  // one suite
    EXPECT_EQ(r.text(), "Nimbulo");
    r.text();
    EXPECT_EQ(r.take(4), fourCC("nimB"));
    EXPECT_EQ(r.take(2), 1u);  // level and version: hosts take no other
    EXPECT_EQ(r.take(2), 1u);
    ASSERT_EQ(r.take(2), 1u);  // one event
    EXPECT_EQ(r.text(), "Nimbulo clouds");
    r.text();
    EXPECT_EQ(r.take(4), piplClass);
    EXPECT_EQ(r.take(4), piplEvent);
    EXPECT_EQ(r.take(4), fourCC("null"));  // no reply
    r.text();
    r.take(2);
    EXPECT_EQ(r.take(4), fourCC("#ImR"));  // the image
    r.text();
    EXPECT_EQ(r.take(2), 0xB000u);
    std::vector<AeteParameter> parameters(r.take(2));
    for (AeteParameter& p : parameters) {
        p.name = r.text();
        p.key = r.take(4);
        p.type = r.take(4);
        r.text();
        p.flags = r.take(2);
    }
    EXPECT_EQ(r.take(2), 0u);  // classes
    EXPECT_EQ(r.take(2), 0u);  // comparisons
    ASSERT_EQ(r.take(2), 1u);  // the seamless values
    EXPECT_EQ(r.take(4), wrapEnumeration);
    ASSERT_EQ(r.take(2), 3u);
    for (uint32_t id : kWrapValueIds) {
        EXPECT_FALSE(r.text().empty());
        EXPECT_EQ(r.take(4), id);
        r.text();
    }
    ASSERT_FALSE(r.failed);
    EXPECT_EQ(r.at, aete.size());

    // Every term the plug-in reads and writes, in order, of the type it uses.
    ASSERT_EQ(parameters.size(), size_t(kScriptTermCount));
    const uint32_t typeOfKind[] = {fourCC("long"), fourCC("bool"), fourCC("RGBC"), fourCC("doub"),
                                   fourCC("UntF"), fourCC("long"), wrapEnumeration};
    for (int k = 0; k < kScriptTermCount; ++k) {
        const ScriptTerm& t = kScriptTerms[k];
        EXPECT_EQ(parameters[size_t(k)].name, t.name);
        EXPECT_EQ(parameters[size_t(k)].key, t.key) << t.name;
        EXPECT_EQ(parameters[size_t(k)].type, typeOfKind[t.kind]) << t.name;
        const uint32_t flags = (t.optional ? 0x8000u : 0u) | (t.kind == scriptWrap ? 0x2000u : 0u);
        EXPECT_EQ(parameters[size_t(k)].flags, flags) << t.name;
        // Our own keys: lower case first, a capital in them, each once.
        const char first = char(t.key >> 24);
        EXPECT_TRUE(first >= 'a' && first <= 'z') << t.name;
        EXPECT_EQ(findScriptTerm(t.key), &t) << t.name;
    }
}

TEST(Module, ExportsTheUndecoratedEntryPoint)
{
    HMODULE module = LoadLibraryW(modulePath().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "ENTRYPOINT"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "_ENTRYPOINT"), nullptr);
    EXPECT_NE(GetProcAddress(module, "DissolveProc"), nullptr);  // the dialog procedure
    FreeLibrary(module);
}

TEST(Module, ImportsOnlyTheSystemsOwnLibraries)
{
    HMODULE module = LoadLibraryW(modulePath().c_str());
    ASSERT_NE(module, nullptr);
    auto* base = reinterpret_cast<const uint8_t*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> names;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
        std::string name = reinterpret_cast<const char*>(base + d->Name);
        for (char& c : name) c = char(toupper(static_cast<unsigned char>(c)));
        names.push_back(name);
    }
    const std::vector<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL",  "GDI32.DLL",
                                              "COMDLG32.DLL", "SHELL32.DLL", "MSVCRT.DLL"};
    EXPECT_GE(names.size(), 5u);
    for (const std::string& name : names)
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), name), allowed.end()) << name;
    FreeLibrary(module);
}

TEST(Module, CarriesTheVersionAUserSees)
{
    // The module and nimbulo.exe beside the test program, as Explorer reads them.
    std::wstring folder = modulePath().substr(0, modulePath().find_last_of(L"\\/") + 1);
    for (const std::wstring& path : {modulePath(), folder + L"nimbulo.exe"}) {
        EXPECT_EQ(versionText(path, "ProductName"), "Nimbulo");
        EXPECT_EQ(versionText(path, "CompanyName"), "Nimbulo Labs");
        EXPECT_EQ(versionText(path, "ProductVersion"), NIMBULO_VERSION_TEXT);
        EXPECT_EQ(versionText(path, "FileVersion"), NIMBULO_VERSION_TEXT);
        EXPECT_NE(versionText(path, "LegalCopyright").find("Nimbulo Labs"), std::string::npos);
        EXPECT_FALSE(versionText(path, "FileDescription").empty());
    }
}

namespace {

// A string literal's bytes, zeros included.
template <size_t N> std::string literal(const char (&text)[N]) { return std::string(text, N - 1); }

// Overwrites the first `from` in `bytes` with `to` (of the same length).
bool patch(std::vector<uint8_t>& bytes, const std::string& from, const std::string& to)
{
    std::vector<uint8_t> pattern(from.begin(), from.end());
    auto at = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
    if (at == bytes.end()) return false;
    std::copy(to.begin(), to.end(), at);
    return true;
}

}  // namespace

TEST(Module, FileCheckPassesTheModuleAndCatchesBrokenCopies)
{
    std::wstring wide = modulePath();
    std::vector<uint8_t> module = testhost::readBytes(std::string(wide.begin(), wide.end()));
    ASSERT_FALSE(module.empty());
    const uint16_t machine = sizeof(void*) == 8 ? peMachineAmd64 : peMachineI386;
    auto problems = [&](const std::vector<uint8_t>& bytes) {
        return checkWindowsFile(bytes, machine, windowsModule, NIMBULO_VERSION_TEXT).problems.size();
    };
    EXPECT_EQ(problems(module), 0u);
    EXPECT_GT(checkWindowsFile(module, machine ^ peMachineI386 ^ peMachineAmd64, windowsModule, NIMBULO_VERSION_TEXT)
                  .problems.size(),
              0u);
    // The export renamed; a runtime DLL imported instead of a system one; the
    // property list's entry point misspelt; the version resource's signature
    // gone; EnableInfo naming another mode than 'mode', or no mode at all.
    const std::pair<std::string, std::string> breakages[] = {
        {literal("Gray32Mode)"), literal("Gray16Mode)")},
        {literal("CMYK64Mode,"), literal("CMYK65Mode,")},
        {literal("DissolveProc\0ENTRYPOINT\0"), literal("DissolveProc\0ENTRYPOINX\0")},
        {literal("SHELL32.dll"), literal("libgcc1.dll")},
        {literal("ENTRYPOINT\0\0MIB8"), literal("ENTRYPOINY\0\0MIB8")},
        {literal("\xBD\x04\xEF\xFE"), literal("\0\0\0\0")},
    };
    for (const auto& [from, to] : breakages) {
        std::vector<uint8_t> broken = module;
        ASSERT_TRUE(patch(broken, from, to)) << to;
        EXPECT_GT(problems(broken), 0u) << to;
    }
}

TEST(Module, ModeAndEnableInfoNameTheSameModes)
{
    std::wstring wide = modulePath();
    const std::vector<uint8_t> module = testhost::readBytes(std::string(wide.begin(), wide.end()));
    const uint16_t machine = sizeof(void*) == 8 ? peMachineAmd64 : peMachineI386;
    const WindowsFileReport report = checkWindowsFile(module, machine, windowsModule, NIMBULO_VERSION_TEXT);
    const PiplProperty *mode = nullptr, *enbl = nullptr;
    for (const PiplProperty& p : report.pipl) {
        if (p.key == "mode") mode = &p;
        if (p.key == "enbl") enbl = &p;
    }
    ASSERT_NE(mode, nullptr);
    ASSERT_NE(enbl, nullptr);
    // Grayscale, RGB, CMYK, Duotone, Lab, their 16-bit modes, RGB96 and Gray32:
    // not Bitmap (0), Indexed (2), HSL (5), HSB (6) or the multichannel modes (7, 14).
    const std::vector<int> painted = {1, 3, 4, 8, 9, 10, 11, 12, 13, 15, 16, 17};
    std::vector<int> listed;
    std::string error;
    ASSERT_TRUE(enableInfoModes(*enbl, listed, error)) << error;
    EXPECT_EQ(listed, painted);
    EXPECT_EQ(piplModes(*mode), painted);
    EXPECT_EQ(piplModeDisagreement(report.pipl), "");
}

TEST(Module, NeedsNoMinGWRuntime)
{
    // Loaded alone, the module must not drag in the compiler's runtime DLLs.
    HMODULE module = LoadLibraryW(modulePath().c_str());
    ASSERT_NE(module, nullptr);
    for (const wchar_t* runtime :
         {L"libstdc++-6.dll", L"libgcc_s_dw2-1.dll", L"libgcc_s_seh-1.dll", L"libwinpthread-1.dll"})
        EXPECT_EQ(GetModuleHandleW(runtime), nullptr) << "runtime DLL loaded";
    FreeLibrary(module);
}
#endif
