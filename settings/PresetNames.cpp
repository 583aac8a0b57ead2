#include "settings/PresetNames.h"

#include <cstring>

#include "settings/CloudSettings.h"

void proposedPresetName(const char* presetName, char* out, size_t size)
{
    if (size == 0) return;
    size_t length = strnlen(presetName, sizeof(CloudSettings::presetName) - 1);
    if (length >= 4 && presetName[length - 4] == '.') length -= 4;
    if (length >= size) length = size - 1;
    std::memcpy(out, presetName, length);
    out[length] = '\0';
}

void notePresetPath(CloudSettings* s, const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    size_t folderLength = size_t(name - path), nameLength = std::strlen(name);
    if (nameLength < sizeof s->presetName) std::memcpy(s->presetName, name, nameLength + 1);
    if (folderLength < sizeof s->presetFolder) {
        std::memcpy(s->presetFolder, path, folderLength);
        s->presetFolder[folderLength] = '\0';
    }
}
