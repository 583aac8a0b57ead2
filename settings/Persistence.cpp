#include "settings/Persistence.h"

#include <cstdio>
#include <cstring>

#include "host/Context.h"
#include "host/Dialogs.h"
#include "platform/Platform.h"
#include "render/Random.h"
#include "settings/CloudSettings.h"
#include "settings/ControlBinding.h"
#include "settings/PresetFile.h"

static const char* const cacheFileName = "Nimbulo cached settings";
static const char* const undoFileNames[2] = {"Nimbulo undo 0", "Nimbulo undo 1"};

void temporaryFilePath(const char* name, char* path, size_t size)
{
    platformTempFolder(path, size);
    size_t used = std::strlen(path);
    std::snprintf(path + used, size - used, "%s", name);
}

void loadCachedSettings(FilterContext* ctx)
{
    char path[300];
    temporaryFilePath(cacheFileName, path, sizeof path);
    bool pictureRead = false;
    readPresetFile(ctx, path, presetReadNormal, &pictureRead);
}

void saveCachedSettings(FilterContext* ctx)
{
    char path[300];
    temporaryFilePath(cacheFileName, path, sizeof path);
    writePresetFile(ctx, path);
}

void resetUndo(FilterContext* ctx)
{
    ctx->undoIndex = 0;
    if (!ctx->work) return;
    ctx->work->undoSlots[0].slotValid = 0;
    ctx->work->undoSlots[1].slotValid = 0;
}

void pushUndo(FilterContext* ctx, bool withFile)
{
    if (!ctx->work) return;
    ctx->undoIndex ^= 1;
    CloudSettings* slot = &ctx->work->undoSlots[ctx->undoIndex];
    copySnapshot(slot, ctx, snapshotSave);
    slot->slotHasFile = 0;
    if (withFile) {
        char path[300];
        temporaryFilePath(undoFileNames[ctx->undoIndex], path, sizeof path);
        writePresetFile(ctx, path);
        slot->slotHasFile = 1;
    }
    slot->slotValid = 1;
}

void noteChange(FilterContext* ctx, int id, void* window)
{
    controlsToSettings(window, ctx);
    switch (id) {
    case IDC_CANCEL:
    case IDC_OK:
    case IDC_SAVE:
    case IDC_AUTO_PREVIEW:
    case IDC_ZOOM_IN:
    case IDC_ZOOM_OUT:
    case IDC_ZOOM_READOUT:
    case IDC_UNDO: return;  // not changes of the look
    case IDC_LOAD:
        pushUndo(ctx, true);  // the file brings fields a snapshot does not hold
        return;
    case gesturePlaceCentre: pushUndo(ctx, false); return;
    default: break;
    }
    switch (controlKind(id)) {
    case SliderTrack:
    case CheckToggle:
    case ChoiceStrip:
    case BitmapButton:
    case ColourButton:
    case DirectionPad: pushUndo(ctx, false); break;
    default: break;
    }
}

// After a command replaced the settings: show them, re-render, rename.
static void showReplacedSettings(FilterContext* ctx, void* window, uint8_t* changed)
{
    settingsToControls(window, ctx);
    *changed = 1;
    repaintControl(window, IDC_STATUS_LINE);
}

void undoCommand(FilterContext* ctx, void* window, int id, uint8_t* changed)
{
    if (id != IDC_UNDO) return;
    int other = ctx->undoIndex ^ 1;
    CloudSettings* slot = ctx->work ? &ctx->work->undoSlots[other] : nullptr;
    if (slot && slot->slotValid) {
        copySnapshot(slot, ctx, snapshotRestore);
        if (slot->slotHasFile) {
            // The file also brings back the centre, word472 and the thumbnail.
            char path[300];
            temporaryFilePath(undoFileNames[other], path, sizeof path);
            bool pictureRead = false;
            readPresetFile(ctx, path, presetReadNormal, &pictureRead);
        }
        ctx->undoIndex = other;
    }
    showReplacedSettings(ctx, window, changed);
}

void cloudsCommand(FilterContext* ctx, void* window, int id, uint8_t* changed)
{
    if (id != IDC_CLOUDS) return;
    resetSettings(ctx);
    std::strcpy(settingsOf(ctx)->presetName, "plain");
    showReplacedSettings(ctx, window, changed);
}

void diceCommand(FilterContext* ctx, void* window, int id, uint8_t* changed)
{
    if (id != IDC_DICE) return;
    RandomizeSettings(settingsOf(ctx));
    settingsToControls(window, ctx);
    *changed = 1;
    NameRandomSettings(settingsOf(ctx));
    repaintControl(window, IDC_STATUS_LINE);
}

void ecceCommand(FilterContext* ctx, void* window, int id, uint8_t* changed)
{
    if (id != IDC_ECCE) return;
    settingsOf(ctx)->seed = DrawSeed();
    settingsToControls(window, ctx);
    *changed = 1;
    NameRandomSettings(settingsOf(ctx));
    repaintControl(window, IDC_STATUS_LINE);
}
