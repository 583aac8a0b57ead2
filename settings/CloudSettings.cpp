#include "settings/CloudSettings.h"

#include <cmath>
#include <cstring>

#include "host/Context.h"
#include "resources/ResourceIds.h"

// Every setting a parameter word holds, with its control and default.
const SettingWord kSettingWords[] = {
    {"Harshness", IDC_HARSHNESS_TRACK, &CloudSettings::harshness, 31},
    {"Lump scale", IDC_LUMP_SCALE_TRACK, &CloudSettings::lumpScale, 33},
    {"Mottling", IDC_MOTTLING_TRACK, &CloudSettings::mottling, 62},
    {"Dispersion", IDC_DISPERSION_TRACK, &CloudSettings::dispersion, 61},
    {"Flatness", IDC_FLATNESS_TRACK, &CloudSettings::flatness, 77},
    {"Density", IDC_DENSITY_TRACK, &CloudSettings::density, 66},
    {"Lumpiness", IDC_LUMPINESS_TRACK, &CloudSettings::lumpiness, 29},
    {"Smokiness", IDC_SMOKINESS_TRACK, &CloudSettings::smokiness, 11},
    {"Detail", IDC_DETAIL_TRACK, &CloudSettings::detail, 70},
    {"Sky light", IDC_SKY_LIGHT_TRACK, &CloudSettings::skyLight, 59},
    {"Puffs", IDC_PUFFS_TRACK, &CloudSettings::puffs, 45},
    {"Zoom", IDC_ZOOM_TRACK, &CloudSettings::zoom, 44},
    {"Backlighting", IDC_BACKLIGHTING, &CloudSettings::backlighting, 0},
    {"Brightness", IDC_BRIGHTNESS_TRACK, &CloudSettings::brightness, 29},
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

CloudSettings* settingsOf(FilterContext* ctx) { return reinterpret_cast<CloudSettings*>(*ctx->filter->parameters); }

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

int32 CloudSettings::*const kParameterWords[parameterWordCount] = {
    &CloudSettings::harshness, &CloudSettings::word360,   &CloudSettings::wrap,         &CloudSettings::word368,
    &CloudSettings::lumpScale, &CloudSettings::mottling,  &CloudSettings::word380,      &CloudSettings::word384,
    &CloudSettings::word388,   &CloudSettings::word392,   &CloudSettings::dispersion,   &CloudSettings::word400,
    &CloudSettings::word404,   &CloudSettings::word408,   &CloudSettings::flatness,     &CloudSettings::density,
    &CloudSettings::lumpiness, &CloudSettings::smokiness, &CloudSettings::detail,       &CloudSettings::skyLight,
    &CloudSettings::puffs,     &CloudSettings::zoom,      &CloudSettings::word444,      &CloudSettings::word448,
    &CloudSettings::word452,   &CloudSettings::word456,   &CloudSettings::backlighting, &CloudSettings::brightness,
    &CloudSettings::word468,   &CloudSettings::word472,
};

RGB48 CloudSettings::*const kColours[colourCount] = {
    &CloudSettings::cloudColor, &CloudSettings::color2, &CloudSettings::color3, &CloudSettings::color4,
    &CloudSettings::skyColor,   &CloudSettings::color6, &CloudSettings::color7, &CloudSettings::color8,
};

float CloudSettings::*const kLightFloats[lightFloatCount] = {
    &CloudSettings::lightX, &CloudSettings::lightY, &CloudSettings::lightZ,
    &CloudSettings::auxX,   &CloudSettings::auxY,   &CloudSettings::auxZ,
};

void copyLook(CloudSettings* to, const CloudSettings* from)
{
    for (auto word : kParameterWords) to->*word = from->*word;
    for (auto colour : kColours) to->*colour = from->*colour;
    for (auto f : kLightFloats) to->*f = from->*f;
    to->seed = from->seed;
    to->blendMode = from->blendMode;
    to->centreU = from->centreU;
    to->centreV = from->centreV;
}

void copySnapshotFields(CloudSettings* to, const CloudSettings* from)
{
    std::memcpy(to->presetName, from->presetName, sizeof to->presetName);
    const float centreU = to->centreU, centreV = to->centreV;
    const int32 word472 = to->word472;
    copyLook(to, from);
    to->centreU = centreU;
    to->centreV = centreV;
    to->word472 = word472;
}

void copySnapshot(CloudSettings* snapshot, FilterContext* ctx, SnapshotDirection direction)
{
    CloudSettings* live = settingsOf(ctx);
    if (direction == snapshotSave)
        copySnapshotFields(snapshot, live);
    else
        copySnapshotFields(live, snapshot);
}
