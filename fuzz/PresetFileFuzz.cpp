// Presets, cache and undo files come from other users and a shared folder:
// the reader takes any bytes, in both modes, and as the Load button does.
#include <cstdint>
#include <cstdio>
#include <string>

#include "host/Context.h"
#include "host/Handles.h"
#include "platform/Platform.h"
#include "settings/PresetFile.h"

static const char* fuzzFile()
{
    static std::string path = [] {
        char folder[300];
        platformTempFolder(folder, sizeof folder);
        return std::string(folder) + "nimbulo-fuzz-" + std::to_string(reinterpret_cast<uintptr_t>(&folder) & 0xFFFFF) +
               ".k00";
    }();
    return path.c_str();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = fuzzFile();
    std::remove(path);  // a write does not shorten a longer file
    if (FILE* f = std::fopen(path, "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    FilterRecord record{};
    FilterContext ctx{};
    int16 result = 0;
    ctx.filter = &record;
    ctx.result = &result;
    record.parameters = newHandle(&record, int32(sizeof(CloudSettings)));
    if (!record.parameters) return 0;
    initSettingsBlock(&ctx);
    static uint8_t thumbnail[thumbnailBytes];
    ctx.thumbnail = size % 2 ? thumbnail : nullptr;  // with and without a thumbnail buffer
    bool picture = false;
    readPresetFile(&ctx, path, presetReadPreview, &picture);
    readPresetFile(&ctx, path, presetReadNormal, &picture);
    loadPresetFile(&ctx, path);
    disposeHandle(&record, record.parameters);
    return 0;
}
