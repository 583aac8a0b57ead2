#include "settings/CloudSettings.h"

#include <cmath>
#include <cstring>

#include "host/Context.h"

// Every setting a parameter word holds, with its control and default.
const SettingWord kSettingWords[] = {
    {"Harshness", 12, &CloudSettings::harshness, 31},
    {"Lump scale", 37, &CloudSettings::lumpScale, 33},
    {"Mottling", 39, &CloudSettings::mottling, 62},
    {"Dispersion", 51, &CloudSettings::dispersion, 61},
    {"Flatness", 55, &CloudSettings::flatness, 77},
    {"Density", 57, &CloudSettings::density, 66},
    {"Lumpiness", 59, &CloudSettings::lumpiness, 29},
    {"Smokiness", 61, &CloudSettings::smokiness, 11},
    {"Detail", 63, &CloudSettings::detail, 70},
    {"Sky light", 103, &CloudSettings::skyLight, 59},
    {"Puffs", 98, &CloudSettings::puffs, 45},
    {"Zoom", 69, &CloudSettings::zoom, 44},
    {"Backlighting", 105, &CloudSettings::backlighting, 0},
    {"Brightness", 65, &CloudSettings::brightness, 29},
};
const int kSettingWordCount = int(sizeof kSettingWords / sizeof kSettingWords[0]);

static const RGB48 kDefaultCloudColor = {0xEC00, 0xE800, 0xF700};
static const RGB48 kDefaultSkyColor = {0x8600, 0x9900, 0xB600};
static const float kDefaultLight = -0.54f;

static bool sameNameIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        char ca = (*a >= 'A' && *a <= 'Z') ? char(*a - 'A' + 'a') : *a;
        char cb = (*b >= 'A' && *b <= 'Z') ? char(*b - 'A' + 'a') : *b;
        if (ca != cb) return false;
    }
    return *a == *b;
}

const SettingWord* findSettingWord(const char* name)
{
    for (int i = 0; i < kSettingWordCount; ++i)
        if (sameNameIgnoringCase(kSettingWords[i].name, name)) return &kSettingWords[i];
    return nullptr;
}

CloudSettings* settingsOf(FilterContext* ctx)
{
    return reinterpret_cast<CloudSettings*>(*ctx->filter->parameters);
}

void initSettingsBlock(FilterContext* ctx)
{
    CloudSettings* s = settingsOf(ctx);
    s->previewOn = 0;
    s->zoomRate = 1;
    s->dialogActive = 0;
    s->autoPreview = 1;
    s->presetFolder[0] = '\0';
    s->presetName[0] = '\0';
    resetSettings(ctx);
}

void resetSettings(FilterContext* ctx) { applyDefaults(settingsOf(ctx)); }

void applyDefaults(CloudSettings* s)
{
    for (int i = 0; i < kSettingWordCount; ++i) s->*kSettingWords[i].field = kSettingWords[i].defaultValue;
    s->cloudColor = kDefaultCloudColor;
    s->skyColor = kDefaultSkyColor;
    s->seed = 21;
    s->lightY = kDefaultLight;
    s->lightX = kDefaultLight;
    // The light's height is derived from the stored floats, in double precision.
    s->lightZ = float(std::sqrt(1.0 - double(s->lightX) * s->lightX - double(s->lightY) * s->lightY));
    s->blendMode = 1;
    s->centreU = 0.5f;
    s->centreV = 0.5f;
}

// Copies the snapshot field set from `from` to `to`.
static void copySnapshotFields(CloudSettings* to, const CloudSettings* from)
{
    std::memcpy(to->presetName, from->presetName, sizeof to->presetName);
    std::memcpy(&to->cloudColor, &from->cloudColor, 8 * sizeof(RGB48));
    std::memcpy(&to->harshness, &from->harshness, 29 * sizeof(int32));  // harshness .. word468
    to->seed = from->seed;
    std::memcpy(&to->lightX, &from->lightX, 6 * sizeof(float));          // lightX .. auxZ
    to->blendMode = from->blendMode;
}

void copySnapshot(CloudSettings* snapshot, FilterContext* ctx, SnapshotDirection direction)
{
    CloudSettings* live = settingsOf(ctx);
    if (direction == snapshotSave)
        copySnapshotFields(snapshot, live);
    else
        copySnapshotFields(live, snapshot);
}
