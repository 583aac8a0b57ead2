// Selector dispatch: keeps the plug-in's state alive between host calls and
// runs each step of a filter run in its fixed order.
#include "host/Entry.h"

#include <cstring>
#include <new>

#include "host/Apply.h"
#include "host/Buffers.h"
#include "host/Capabilities.h"
#include "host/Context.h"
#include "host/Coordinates.h"
#include "host/Dialogs.h"
#include "host/Handles.h"
#include "host/Modes.h"
#include "host/Scripting.h"
#include "render/Random.h"
#include "settings/CloudSettings.h"
#include "settings/Persistence.h"
#include "settings/PresetFile.h"

// Creates the parameter block on the first call that finds none. Writes
// memFullErr when the block cannot be had.
static void ensureSettingsBlock(FilterContext* ctx)
{
    FilterRecord* record = ctx->filter;
    if (record->parameters) return;
    record->parameters = newHandle(record, int32(sizeof(CloudSettings)));
    if (!record->parameters || !*record->parameters) {
        if (record->parameters) disposeHandle(record, record->parameters);
        record->parameters = nullptr;
        setResult(ctx, memFullErr);
        return;
    }
    ctx->work = nullptr;
    ctx->workBufferID = nullptr;
    ctx->thumbnail = nullptr;
    ctx->thumbnailBufferID = nullptr;
    initSettingsBlock(ctx);
}

static void finishRequests(FilterContext* ctx)
{
    releaseWorkingBuffers(ctx);
    clearRequestRects(ctx);
}

// Begins the final apply. A host that fails the first request ends the run
// with that error, and an empty filter rectangle has nothing to render: in
// both cases nothing is kept. Begun well, its settings are the step Finish
// records, unless a later row fails.
static void startApply(FilterContext* ctx)
{
    beginApply(ctx);
    ctx->stepToRecord = resultOf(ctx) == noErr;
    if (resultOf(ctx) != noErr || !ctx->moreRows) finishRequests(ctx);
}

static void doParameters(FilterContext* ctx)
{
    ensureSettingsBlock(ctx);
    if (resultOf(ctx) != noErr) return;
    settingsOf(ctx)->showDialog = 1;
}

static void doPrepare(FilterContext* ctx)
{
    FilterRecord* record = ctx->filter;
    record->bufferSpace = 0;
    ensureSettingsBlock(ctx);
    if (resultOf(ctx) != noErr) return;
    const VRect filterRect = filterRectOf(record);
    if (!rectWithinReach(filterRect)) {
        // Nothing to render should the host call Start all the same.
        ctx->savedFilterRect = VRect{0, 0, 0, 0};
        setResult(ctx, filterBadParameters);
        return;
    }
    ctx->savedFilterRect = filterRect;
    setRenderGeometry(ctx, filterRect, 1);

    // The host's budget for what it holds on the plug-in's behalf.
    int32 longerSide = ctx->renderWidth > ctx->renderHeight ? ctx->renderWidth : ctx->renderHeight;
    int32 span = 2 * (longerSide + 4);
    if (3 * ctx->renderWidth + 2184 > span) span = 3 * ctx->renderWidth + 2184;
    ctx->spanLength = span;
    record->bufferSpace = 2 * span * bytesPerSample(record) + 1128;  // 16-bit samples take two bytes

    clearAboutBoxFlag();
    clearFileDialogFlag();
    ctx->dialogWindow = nullptr;

    CloudSettings* s = settingsOf(ctx);
    s->centreX = (filterRect.right - filterRect.left) / 2;
    s->centreY = (filterRect.bottom - filterRect.top) / 2;
    seedRandomFromClock();
}

static void doStart(FilterContext* ctx)
{
    seedRandomFromClock();
    ensureSettingsBlock(ctx);
    if (resultOf(ctx) != noErr) return;
    settingsOf(ctx)->previewOn = canDisplay(ctx->filter);

    if (!acquireWorkingBuffers(ctx) || resultOf(ctx) != noErr) return;
    loadCachedSettings(ctx);
    resetUndo(ctx);
    ctx->dialogWindow = nullptr;
    ctx->stepToRecord = 0;
    if (resultOf(ctx) != noErr) {
        finishRequests(ctx);
        return;
    }
    // A recorded step (an Action, a Smart Filter) over the settings; it
    // decides whether the dialog shows.
    switch (playRecordedStep(ctx)) {
    case scriptFail: finishRequests(ctx); return;
    case scriptShowDialog: settingsOf(ctx)->showDialog = 1; break;
    case scriptApply: settingsOf(ctx)->showDialog = 0; break;
    case scriptAbsent: break;
    }

    if (settingsOf(ctx)->showDialog == 0) {
        settingsOf(ctx)->dialogActive = 0;
        startApply(ctx);
        return;
    }

    pushUndo(ctx, true);
    showMainDialog(ctx);
    clearFileDialogFlag();
    ctx->dialogWindow = nullptr;
    settingsOf(ctx)->showDialog = 0;

    // The dialog leaves its outcome in the result word: -128 on Cancel, 0 on OK.
    if (resultOf(ctx) != noErr) {
        finishRequests(ctx);
        return;
    }
    // What is accepted is what the cache keeps: the picture painted now is the
    // one a repeated run paints from the cache.
    bringToFilePrecision(settingsOf(ctx));
    saveCachedSettings(ctx);
    settingsOf(ctx)->dialogActive = 0;
    startApply(ctx);
}

static void doContinue(FilterContext* ctx)
{
    // After an error from the host the run is over too: the buffers go back.
    const ApplyOutcome outcome = applyRows(ctx);
    if (outcome == applyStopped || outcome == applyHostError) ctx->stepToRecord = 0;
    if (outcome != applyNeedsRow) finishRequests(ctx);
}

// Whatever a run left behind (a host that stopped calling Continue) goes
// back; after a successful apply the host gets the step to record.
static void doFinish(FilterContext* ctx)
{
    releaseWorkingBuffers(ctx);
    if (ctx->stepToRecord && resultOf(ctx) == noErr) recordStep(ctx);
    ctx->stepToRecord = 0;
}

typedef void (*SelectorHandler)(FilterContext* ctx);

// Indexed by selector; About is handled before a context exists.
static const SelectorHandler kSelectorHandlers[] = {
    nullptr,       // About
    doParameters,  // Parameters
    doPrepare,     // Prepare
    doStart,       // Start
    doContinue,    // Continue
    doFinish,      // Finish
};
static const int kSelectorCount = int(sizeof kSelectorHandlers / sizeof kSelectorHandlers[0]);

// Locks the context kept in the host's data word, creating it on the first call.
// Returns null when it cannot be had.
static FilterContext* obtainContext(FilterRecord* record, intptr_t* data, int16* result)
{
    Handle h = reinterpret_cast<Handle>(*data);
    bool created = false;
    if (!h) {
        h = newHandle(record, int32(sizeof(FilterContext)));
        if (!h) return nullptr;
        created = true;
    }
    auto* ctx = static_cast<FilterContext*>(lockHandle(record, h));
    if (!ctx) {
        if (created) disposeHandle(record, h);
        return nullptr;
    }
    ctx->result = result;
    ctx->filter = record;
    *result = noErr;
    if (created) *data = reinterpret_cast<intptr_t>(h);
    return ctx;
}

static void dispatch(int16 selector, void* filterRecord, intptr_t* data, int16* result)
{
    if (selector == filterSelectorAbout) {
        clearAboutBoxFlag();
        showAboutBox();
        return;
    }
    if (!result) return;
    auto* record = static_cast<FilterRecord*>(filterRecord);
    if (!record || !data) {
        *result = filterBadParameters;
        return;
    }

    // A mode the filter does not paint is refused before anything is made or
    // changed, also from a host that calls although the property list says no.
    if (selector >= filterSelectorParameters && selector <= filterSelectorContinue && !modeHandled(record)) {
        *result = filterBadMode;
        return;
    }

    FilterContext* ctx = obtainContext(record, data, result);
    if (!ctx) {
        *result = memFullErr;
        return;
    }

    // Every selector from Prepare on reads or writes rectangles.
    if (selector >= filterSelectorPrepare && selector <= filterSelectorFinish) announceBigCoordinates(record);
    ensureSettingsBlock(ctx);
    if (resultOf(ctx) == noErr) {
        if (selector > 0 && selector < kSelectorCount)
            kSelectorHandlers[selector](ctx);
        else
            setResult(ctx, filterBadParameters);
    }

    unlockHandle(record, reinterpret_cast<Handle>(*data));
}

// Nothing thrown may reach the host: an exception crossing into the editor's
// frames would end the editor with the user's work. The plug-in's own code
// allocates without throwing; this is the last guard for anything else. The
// context is unlocked as after any call (host handles do not count locks).
extern "C" void NIMBULO_CDECL ENTRYPOINT(int16 selector, void* filterRecord, intptr_t* data, int16* result)
{
    OSErr failure = noErr;
    try {
        dispatch(selector, filterRecord, data, result);
        return;
    } catch (const std::bad_alloc&) {
        failure = memFullErr;
    } catch (...) {
        failure = unexpectedErr;
    }
    if (result) *result = failure;
    if (selector != filterSelectorAbout && filterRecord && data && *data)
        unlockHandle(static_cast<FilterRecord*>(filterRecord), reinterpret_cast<Handle>(*data));
}
