// The parameter block: defaults, the reset, and the snapshot field set.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "host/Context.h"
#include "host/Handles.h"
#include "resources/ResourceIds.h"
#include "settings/CloudSettings.h"

namespace {

// A context whose parameter block sits in an emulated handle, filled with junk
// first so that only what the code sets is trusted.
struct SettingsBlock {
    FilterRecord record{};
    FilterContext ctx{};
    int16 result = 0;

    SettingsBlock()
    {
        record.parameters = newHandle(&record, sizeof(CloudSettings));
        std::memset(*record.parameters, 0x3C, sizeof(CloudSettings));
        ctx.filter = &record;
        ctx.result = &result;
    }
    ~SettingsBlock() { disposeHandle(&record, record.parameters); }
    CloudSettings* operator->() { return settingsOf(&ctx); }
};

}  // namespace

TEST(Settings, FirstAllocationHoldsTheDefaults)
{
    SettingsBlock s;
    initSettingsBlock(&s.ctx);
    const struct {
        int32 CloudSettings::*field;
        int32 value;
    } words[] = {
        {&CloudSettings::harshness, 31},  {&CloudSettings::lumpScale, 33},   {&CloudSettings::mottling, 62},
        {&CloudSettings::dispersion, 61}, {&CloudSettings::flatness, 77},    {&CloudSettings::density, 66},
        {&CloudSettings::lumpiness, 29},  {&CloudSettings::smokiness, 11},   {&CloudSettings::detail, 70},
        {&CloudSettings::skyLight, 59},   {&CloudSettings::puffs, 45},       {&CloudSettings::zoom, 44},
        {&CloudSettings::brightness, 29}, {&CloudSettings::backlighting, 0}, {&CloudSettings::seed, 21},
        {&CloudSettings::blendMode, 1},   {&CloudSettings::zoomRate, 1},     {&CloudSettings::dialogActive, 0},
        {&CloudSettings::autoPreview, 1},
    };
    for (const auto& w : words) EXPECT_EQ(s.operator->()->*w.field, w.value);
    EXPECT_EQ(s->previewOn, 0);
    EXPECT_EQ(s->lightX, -0.54f);
    EXPECT_EQ(s->lightY, -0.54f);
    EXPECT_NEAR(s->lightZ, 0.6456004f, 1e-7f);
    EXPECT_EQ(s->centreU, 0.5f);
    EXPECT_EQ(s->centreV, 0.5f);
    EXPECT_EQ(s->cloudColor.red, 0xEC00);
    EXPECT_EQ(s->cloudColor.green, 0xE800);
    EXPECT_EQ(s->cloudColor.blue, 0xF700);
    EXPECT_EQ(s->skyColor.red, 0x8600);
    EXPECT_EQ(s->skyColor.green, 0x9900);
    EXPECT_EQ(s->skyColor.blue, 0xB600);
    EXPECT_STREQ(s->presetName, "");
    EXPECT_STREQ(s->presetFolder, "");
}

TEST(Settings, ResetKeepsViewStateNamesAndDormantFields)
{
    SettingsBlock s;
    initSettingsBlock(&s.ctx);
    s->autoPreview = 0;
    std::strcpy(s->presetName, "evening.k00");
    std::strcpy(s->presetFolder, "C:\\skies\\");
    s->word360 = 7;
    s->word472 = 8;
    s->color2 = {1, 2, 3};
    s->color8 = {4, 5, 6};
    s->auxY = 0.25f;
    s->zoomRate = 4;
    s->panX = 17;
    s->density = 3;
    s->seed = 999;
    s->centreU = 0.1f;

    resetSettings(&s.ctx);
    EXPECT_EQ(s->density, 66);
    EXPECT_EQ(s->seed, 21);
    EXPECT_EQ(s->centreU, 0.5f);
    EXPECT_EQ(s->autoPreview, 0);
    EXPECT_STREQ(s->presetName, "evening.k00");
    EXPECT_STREQ(s->presetFolder, "C:\\skies\\");
    EXPECT_EQ(s->word360, 7);
    EXPECT_EQ(s->word472, 8);
    EXPECT_EQ(s->color2.green, 2);
    EXPECT_EQ(s->color8.blue, 6);
    EXPECT_EQ(s->auxY, 0.25f);
    EXPECT_EQ(s->zoomRate, 4);
    EXPECT_EQ(s->panX, 17);
}

TEST(Settings, SnapshotRestoresExactlyItsFieldSet)
{
    SettingsBlock s;
    initSettingsBlock(&s.ctx);
    std::strcpy(s->presetName, "before");
    s->presetName[200] = 'z';  // all 256 bytes travel, not just the string
    s->word468 = 468;
    s->word472 = 472;
    s->auxZ = 0.75f;

    CloudSettings snapshot;
    std::memset(&snapshot, 0, sizeof snapshot);
    copySnapshot(&snapshot, &s.ctx, snapshotSave);
    CloudSettings before;
    std::memcpy(&before, s.operator->(), sizeof before);

    // Change every byte of the live block.
    std::memset(s.operator->(), 0x77, sizeof(CloudSettings));
    copySnapshot(&snapshot, &s.ctx, snapshotRestore);

    EXPECT_EQ(std::memcmp(s->presetName, before.presetName, sizeof before.presetName), 0);
    EXPECT_EQ(std::memcmp(&s->cloudColor, &before.cloudColor, 8 * sizeof(RGB48)), 0);
    EXPECT_EQ(std::memcmp(&s->harshness, &before.harshness, 29 * sizeof(int32)), 0);
    EXPECT_EQ(s->word468, 468);
    EXPECT_EQ(s->seed, 21);
    EXPECT_EQ(std::memcmp(&s->lightX, &before.lightX, 6 * sizeof(float)), 0);
    EXPECT_EQ(s->blendMode, 1);

    // Outside the set, the changed values stay.
    const CloudSettings* live = s.operator->();
    uint32 changed = 0x77777777u;
    EXPECT_EQ(std::memcmp(&live->centreU, &changed, 4), 0);
    EXPECT_EQ(std::memcmp(&live->centreV, &changed, 4), 0);
    EXPECT_EQ(live->word472, int32(changed));
    EXPECT_EQ(live->autoPreview, int32(changed));
    EXPECT_EQ(live->zoomRate, int32(changed));
    EXPECT_EQ(live->panX, int32(changed));
    EXPECT_EQ(live->showDialog, int32(changed));
    EXPECT_EQ(live->presetFolder[0], char(0x77));
}

TEST(Settings, NamesFindTheirWords)
{
    const struct {
        const char* name;
        int32 CloudSettings::*field;
        int control;
    } names[] = {
        {"Puffs", &CloudSettings::puffs, IDC_PUFFS_TRACK},
        {"lump scale", &CloudSettings::lumpScale, IDC_LUMP_SCALE_TRACK},
        {"SKY LIGHT", &CloudSettings::skyLight, IDC_SKY_LIGHT_TRACK},
        {"Backlighting", &CloudSettings::backlighting, IDC_BACKLIGHTING},
        {"Brightness", &CloudSettings::brightness, IDC_BRIGHTNESS_TRACK},
    };
    for (const auto& n : names) {
        const SettingWord* w = findSettingWord(n.name);
        ASSERT_NE(w, nullptr) << n.name;
        EXPECT_TRUE(w->field == n.field) << n.name;
        EXPECT_EQ(w->control, n.control) << n.name;
    }
    EXPECT_EQ(findSettingWord("Puff"), nullptr);
    EXPECT_EQ(findSettingWord("Puffss"), nullptr);
    EXPECT_EQ(findSettingWord(""), nullptr);
    EXPECT_EQ(kSettingWordCount, 14);
}
