#include "ui/LivePreview.h"

#include <cstdlib>
#include <cstring>

#include "host/Capabilities.h"
#include "host/Context.h"
#include "host/Preview.h"
#include "platform/Platform.h"
#include "settings/CloudSettings.h"
#include "settings/ControlBinding.h"
#include "ui/DialogWindow.h"
#include "ui/PreviewPane.h"

namespace {

const double defaultBudgetMs = 40.0;

// The pane of the context's dialog; a scratch one while no dialog is open.
PaneState* paneOf(FilterContext* ctx)
{
    static PaneState noDialog;
    DialogWindow* window = dialogWindowOf(static_cast<HWND>(ctx->dialogWindow));
    return window ? &window->pane : &noDialog;
}

// The fields that decide the preview's pixels, in an otherwise empty block.
CloudSettings lookOf(FilterContext* ctx)
{
    CloudSettings look;
    std::memset(&look, 0, sizeof look);
    copySnapshot(&look, ctx, snapshotSave);
    const CloudSettings* s = settingsOf(ctx);
    look.centreU = s->centreU;
    look.centreV = s->centreV;
    look.panX = s->panX;
    look.panY = s->panY;
    look.zoomRate = s->zoomRate;
    return look;
}

double budgetMs()
{
    char text[32];
    return platformEnvironment("NIMBULO_LIVE_BUDGET_MS", text, sizeof text) ? std::atof(text) : defaultBudgetMs;
}

}  // namespace

double previewClockMs()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return double(count.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void noteRowsShownMs(FilterContext* ctx, double ms) { paneOf(ctx)->rowsShownMs += ms; }

void forgetPaneContent(FilterContext* ctx) { paneOf(ctx)->known = false; }

void renderPaneTimed(FilterContext* ctx, bool live)
{
    PaneState* pane = paneOf(ctx);
    pane->rowsShownMs = 0.0;
    double start = previewClockMs();
    renderPreview(ctx, live ? previewRenderLive : previewRenderShown);
    pane->lastRenderMs = previewClockMs() - start - pane->rowsShownMs;
    pane->known = resultOf(ctx) == noErr;
    if (pane->known) pane->look = lookOf(ctx);
}

bool liveRenderWanted(FilterContext* ctx, HWND dialog)
{
    return readAutoPreview(dialog, ctx) && settingsOf(ctx)->previewOn && canDisplay(ctx->filter) &&
           paneOf(ctx)->lastRenderMs <= budgetMs();
}

bool newerMouseMessageWaiting(HWND dialog)
{
    MSG waiting;
    return PeekMessageA(&waiting, dialog, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE) != 0;
}

void renderLive(FilterContext* ctx, HWND dialog)
{
    const CloudSettings held = *settingsOf(ctx);
    controlsToSettings(dialog, ctx);
    renderPaneTimed(ctx, true);
    *settingsOf(ctx) = held;
    displayPreview(ctx, dialog, false);
}

bool paneShowsSettings(FilterContext* ctx)
{
    const PaneState* pane = paneOf(ctx);
    if (!pane->known) return false;
    CloudSettings now = lookOf(ctx);
    return std::memcmp(&now, &pane->look, sizeof now) == 0;
}
