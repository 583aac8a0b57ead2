// The undo history, the commands that replace settings, random settings, the
// control binding, and the cache between runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "host/EngineHarness.h"
#include "host/TestHost.h"
#include "render/Random.h"
#include "settings/ControlBinding.h"
#include "settings/Persistence.h"
#include "settings/PresetFile.h"

using testhost::RenderRig;

namespace {

// A dialog session: the settings block, the work block with the undo slots,
// the controls showing the settings, and the start state recorded.
struct Dialog {
    testhost::Picture picture = testhost::gradientPicture(8, 8, 3, false);
    RenderRig rig{testhost::defaultSettings(), picture};
    std::vector<uint8_t> thumbnail = std::vector<uint8_t>(thumbnailBytes, 0);
    uint8_t changed = 0;

    Dialog()
    {
        rig.ctx.thumbnail = thumbnail.data();
        resetUndo(&rig.ctx);
        pushUndo(&rig.ctx, true);
        settingsToControls(nullptr, &rig.ctx);
    }
    CloudSettings* s() { return settingsOf(&rig.ctx); }
    // A drag on a slider or a click on a button, as the dialog reports it.
    void slide(int control, int32_t value)
    {
        controlValue[control] = value;
        noteChange(&rig.ctx, control, nullptr);
    }
    void command(int id)
    {
        changed = 0;
        undoCommand(&rig.ctx, nullptr, id, &changed);
        cloudsCommand(&rig.ctx, nullptr, id, &changed);
        diceCommand(&rig.ctx, nullptr, id, &changed);
        ecceCommand(&rig.ctx, nullptr, id, &changed);
        noteChange(&rig.ctx, id, nullptr);
    }
};

}  // namespace

TEST(Undo, UndoAndRedoAlternate)
{
    Dialog d;
    d.slide(IDC_DENSITY_TRACK, 10);
    EXPECT_EQ(d.s()->density, 10);
    d.command(IDC_UNDO);
    EXPECT_EQ(d.s()->density, 66);
    EXPECT_EQ(controlValue[IDC_DENSITY_TRACK], 66);
    EXPECT_EQ(d.changed, 1);
    d.command(IDC_UNDO);
    EXPECT_EQ(d.s()->density, 10);
    d.command(IDC_UNDO);
    EXPECT_EQ(d.s()->density, 66);
}

TEST(Undo, UndoGoesBackOneChangeOnly)
{
    Dialog d;
    d.slide(IDC_DENSITY_TRACK, 10);
    d.slide(IDC_PUFFS_TRACK, 90);
    d.command(IDC_UNDO);
    EXPECT_EQ(d.s()->density, 10);
    EXPECT_EQ(d.s()->puffs, 45);
}

TEST(Undo, UndoOnAFreshDialogRestoresNothingButRefreshes)
{
    Dialog d;
    controlValue[IDC_DENSITY_TRACK] = 3;  // a control out of step with the settings
    d.s()->density = 40;
    d.changed = 0;
    undoCommand(&d.rig.ctx, nullptr, IDC_UNDO, &d.changed);
    EXPECT_EQ(d.s()->density, 40);
    EXPECT_EQ(controlValue[IDC_DENSITY_TRACK], 40);
    EXPECT_EQ(d.changed, 1);
}

TEST(Undo, EcceChangesOnlyTheSeedAndUndoBringsItBack)
{
    Dialog d;
    seedRandom(77);
    CloudSettings before = *d.s();
    d.command(IDC_ECCE);
    EXPECT_STREQ(d.s()->presetName, "random settings");
    CloudSettings after = *d.s();
    after.seed = before.seed;
    std::memcpy(after.presetName, before.presetName, sizeof after.presetName);
    EXPECT_EQ(std::memcmp(&after, &before, sizeof before), 0);
    d.command(IDC_UNDO);
    EXPECT_EQ(d.s()->seed, before.seed);
}

TEST(Undo, LoadThenChangeThenUndoBringsBackTheLoadedCentre)
{
    Dialog d;
    // A presets file with its own centre, loaded as the Load command does.
    CloudSettings inFile = testhost::defaultSettings();
    inFile.centreU = 0.25f;
    inFile.density = 20;
    std::vector<uint8_t> bytes(presetBytesWithThumbnail);
    bytes.resize(encodePreset(&inFile, nullptr, bytes.data()));
    char path[300];
    temporaryFilePath("loaded.k00", path, sizeof path);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    resetSettings(&d.rig.ctx);
    bool picture = false;
    readPresetFile(&d.rig.ctx, path, presetReadNormal, &picture);
    settingsToControls(nullptr, &d.rig.ctx);
    noteChange(&d.rig.ctx, IDC_LOAD, nullptr);

    // A click in the preview moves the centre, which snapshots do not hold.
    d.s()->centreU = 0.9f;
    noteChange(&d.rig.ctx, gesturePlaceCentre, nullptr);
    d.slide(IDC_DENSITY_TRACK, 80);
    d.command(IDC_UNDO);
    EXPECT_EQ(d.s()->density, 20);
    EXPECT_EQ(d.s()->centreU, 0.9f);  // the click's state: no file, the centre stays
    d.command(IDC_UNDO);
    EXPECT_EQ(d.s()->density, 80);

    // Load, click, Undo: the load's undo file brings its centre back.
    Dialog e;
    resetSettings(&e.rig.ctx);
    readPresetFile(&e.rig.ctx, path, presetReadNormal, &picture);
    settingsToControls(nullptr, &e.rig.ctx);
    noteChange(&e.rig.ctx, IDC_LOAD, nullptr);
    e.s()->centreU = 0.9f;
    noteChange(&e.rig.ctx, gesturePlaceCentre, nullptr);
    e.command(IDC_UNDO);
    EXPECT_EQ(e.s()->centreU, 0.25f);
    EXPECT_EQ(e.s()->density, 20);
}

TEST(Undo, ZoomAndAutoPreviewAreNotRecorded)
{
    Dialog d;
    d.slide(IDC_DENSITY_TRACK, 10);
    int index = d.rig.ctx.undoIndex;
    for (int id : {IDC_ZOOM_IN, IDC_ZOOM_OUT, IDC_ZOOM_READOUT, IDC_AUTO_PREVIEW, IDC_SAVE, IDC_OK, IDC_CANCEL, 76, 99,
                   22, 150}) {
        noteChange(&d.rig.ctx, id, nullptr);
        EXPECT_EQ(d.rig.ctx.undoIndex, index) << id;
    }
    d.command(IDC_UNDO);
    EXPECT_EQ(d.s()->density, 66);
}

TEST(Undo, CloudsRestoresThePlainDefaults)
{
    Dialog d;
    d.slide(IDC_DENSITY_TRACK, 10);
    d.s()->seed = 5;
    d.command(IDC_CLOUDS);
    EXPECT_EQ(d.s()->density, 66);
    EXPECT_EQ(d.s()->seed, 21);
    EXPECT_STREQ(d.s()->presetName, "plain");
    d.command(IDC_UNDO);
    EXPECT_EQ(d.s()->density, 10);
}

TEST(Random, DiceKeepsEveryValueInItsRange)
{
    const struct {
        int32_t CloudSettings::*field;
        int32_t lo, hi;
    } ranges[] = {
        {&CloudSettings::seed, 0, 2047},      {&CloudSettings::puffs, 0, 100},     {&CloudSettings::lumpScale, 35, 38},
        {&CloudSettings::flatness, 20, 100},  {&CloudSettings::lumpiness, 14, 60}, {&CloudSettings::detail, 35, 100},
        {&CloudSettings::dispersion, 40, 70}, {&CloudSettings::density, 34, 80},   {&CloudSettings::skyLight, 0, 100},
        {&CloudSettings::brightness, 0, 100}, {&CloudSettings::smokiness, 5, 40},  {&CloudSettings::harshness, 5, 40},
        {&CloudSettings::mottling, 40, 100}};
    seedRandom(1);
    for (int round = 0; round < 2000; ++round) {
        CloudSettings s = testhost::defaultSettings();
        s.zoom = 13;
        s.backlighting = 1;
        CloudSettings before = s;
        RandomizeSettings(&s);
        for (const auto& r : ranges) ASSERT_TRUE(s.*r.field >= r.lo && s.*r.field <= r.hi) << round;
        ASSERT_EQ(s.zoom, 13);
        ASSERT_EQ(s.backlighting, 1);
        ASSERT_EQ(std::memcmp(&s.cloudColor, &before.cloudColor, 6), 0);
        ASSERT_EQ(std::memcmp(&s.skyColor, &before.skyColor, 6), 0);
        ASSERT_EQ(std::memcmp(&s.lightX, &before.lightX, 12), 0);
        ASSERT_EQ(s.centreU, before.centreU);
    }
}

TEST(Random, RangesInEitherOrder)
{
    for (uint32_t state : {0u, 1u, 99u, 123456u}) {
        seedRandom(state);
        int32_t a = RandomInRange(40, 5);
        int32_t a2 = RandomInRange(40, 5);
        seedRandom(state);
        EXPECT_EQ(RandomInRange(5, 40), a);
        EXPECT_EQ(RandomInRange(5, 40), a2);
        EXPECT_EQ(RandomInRange(7, 7), 7);
    }
    // The whole span is reachable.
    seedRandom(3);
    bool seen[4] = {false, false, false, false};
    for (int k = 0; k < 200; ++k) seen[RandomInRange(35, 38) - 35] = true;
    EXPECT_TRUE(seen[0] && seen[1] && seen[2] && seen[3]);
}

TEST(Binding, SettingsAndControlsRoundTrip)
{
    Dialog d;
    resetSettings(&d.rig.ctx);
    settingsToControls(nullptr, &d.rig.ctx);
    EXPECT_EQ(controlValue[IDC_HARSHNESS_TRACK], 31);
    EXPECT_EQ(controlValue[IDC_ZOOM_TRACK], 44);
    EXPECT_EQ(controlColour[IDC_CLOUD_COLOUR].red, 0xEC00);
    EXPECT_EQ(controlColour[IDC_SKY_COLOUR].blue, 0xB600);
    EXPECT_EQ(controlVector[IDC_LIGHT_PAD][0], -0.54f);
    CloudSettings before = *d.s();
    controlsToSettings(nullptr, &d.rig.ctx);
    EXPECT_EQ(std::memcmp(d.s(), &before, sizeof before), 0);
    controlValue[IDC_AUTO_PREVIEW] = 0;
    EXPECT_FALSE(readAutoPreview(nullptr, &d.rig.ctx));
    EXPECT_EQ(d.s()->autoPreview, 0);
}

TEST(ControlTable, LookupsAndKinds)
{
    for (int id : {-1, 200, 0, 18, 29}) {
        ControlInfo info = lookupControl(id);
        EXPECT_EQ(info.kind, -1) << id;
        EXPECT_EQ(info.valueId, -1);
        EXPECT_EQ(info.trackId, -1);
        EXPECT_EQ(info.bitmap[0], -1);
        EXPECT_EQ(info.nameIndex, 0);
        EXPECT_EQ(info.low, 0);
        EXPECT_EQ(info.high, 100);
    }
    ControlInfo pair = lookupControl(IDC_PUFFS_VALUE);
    EXPECT_EQ(pair.trackId, IDC_PUFFS_TRACK);
    EXPECT_EQ(pair.valueId, IDC_PUFFS_VALUE);
    const struct {
        int id, kind;
    } kinds[] = {{IDC_PUFFS_TRACK, SliderTrack},  {IDC_PUFFS_VALUE, SliderValue}, {IDC_PUFFS_LABEL, Label},
                 {IDC_AUTO_PREVIEW, CheckToggle}, {IDC_DICE, BitmapButton},       {IDC_CLOUD_COLOUR, ColourButton},
                 {IDC_LIGHT_PAD, DirectionPad},   {IDC_ABOUT, ClickIcon},         {IDC_STATUS_LINE, Label},
                 {IDC_SEAMLESS, ChoiceStrip},     {IDC_CANCEL, kindNone}};
    for (const auto& k : kinds) EXPECT_EQ(controlKind(k.id), k.kind) << k.id;
    EXPECT_STREQ(controlName(NAME_SEAMLESS + 1), "-undef string-");
    EXPECT_STREQ(controlName(0), "-undef string-");
    EXPECT_STREQ(controlName(NAME_RANDOM_SETTINGS), "random settings");
    EXPECT_EQ(lookupControl(IDC_AUTO_PREVIEW_LABEL).low, alignLeft);
}

TEST(Cache, AcceptedSettingsComeBackOnTheNextRun)
{
    std::vector<uint8_t> saved;
    {
        testhost::TestHost editor(32, 20, 3);
        ASSERT_EQ(editor.call(filterSelectorParameters), noErr);
        editor.settings()->density = 12;
        editor.settings()->seed = 600;
        ASSERT_EQ(editor.run(false), noErr);  // the dialog runs and is accepted
        std::ifstream in(testhost::cachedSettingsPath(), std::ios::binary);
        saved.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    ASSERT_EQ(saved.size(), size_t(presetBytesWithThumbnail));

    // A new editor session repeats the filter without the dialog.
    testhost::TestHost next(32, 20, 3);
    std::ofstream(testhost::cachedSettingsPath(), std::ios::binary)
        .write(reinterpret_cast<const char*>(saved.data()), std::streamsize(saved.size()));
    testhost::Picture picture{32, 20, 3, false, next.source};
    ASSERT_EQ(next.run(false), noErr);
    CloudSettings expected = testhost::defaultSettings();
    expected.density = 12;
    expected.seed = 600;
    bringToFilePrecision(&expected);
    EXPECT_EQ(next.settings()->density, 12);
    EXPECT_EQ(next.output, testhost::renderInProcess(expected, picture).pixels);
}

TEST(Cache, MissingOrUnreadableCacheLeavesTheBlock)
{
    for (bool unreadable : {false, true}) {
        testhost::TestHost host(16, 8, 3);
        if (unreadable) {
            // A file of that name that cannot be opened for reading.
            std::ofstream(testhost::cachedSettingsPath(), std::ios::binary) << "";
        }
        ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
        host.settings()->density = 12;
        ASSERT_EQ(host.call(filterSelectorStart), noErr);
        EXPECT_EQ(host.settings()->density, 12) << unreadable;
    }
}

TEST(Cache, CancelWritesNoCache)
{
    testhost::TestHost host(16, 8, 3);
    std::remove(testhost::cachedSettingsPath().c_str());
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    ASSERT_EQ(host.call(filterSelectorStart), noErr);  // no dialog: nothing accepted
    std::ifstream in(testhost::cachedSettingsPath());
    EXPECT_FALSE(in.good());
}
