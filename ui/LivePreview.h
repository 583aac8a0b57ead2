// The preview while the mouse is held: the clouds follow a dragged slider
// knob, the light pad's sun and the pan, as long as a render is quick (the
// last one took at most the budget, about 40 ms); slower ones wait for the
// release, as the dialog did before. Every preview render of the dialog goes
// through here, timed, with a note of what the pane then shows, so that a
// release that changes nothing more does not render again.
#pragma once

#include <windows.h>

struct FilterContext;

// What the pane shows is no longer known (a new view, a new dialog). The
// pane's state lives in the dialog's own object (DialogWindow.h).
void forgetPaneContent(FilterContext* ctx);

// Renders the preview for the settings as they stand, timed; `live` during a
// drag (nothing drawn until it is done), else the rows are drawn as they come.
void renderPaneTimed(FilterContext* ctx, bool live);

// True when a drag should render: Auto preview on, a preview to show, and the
// last render within the budget (NIMBULO_LIVE_BUDGET_MS sets it, for tests).
bool liveRenderWanted(FilterContext* ctx, HWND dialog);

// True when a newer mouse message waits for the dialog: rendering for this
// position would only delay the one the pointer has reached.
bool newerMouseMessageWaiting(HWND dialog);

// Renders the preview for the controls as they stand, without touching the
// settings (they change at the release, as the gestures have it), and shows
// the finished pane once.
void renderLive(FilterContext* ctx, HWND dialog);

// True when the pane already shows the settings as they are now.
bool paneShowsSettings(FilterContext* ctx);

// The time a render's rows spend on screen as they come (the host's display,
// not the render) is not counted against the budget: a live render shows its
// pane once.
double previewClockMs();
void noteRowsShownMs(FilterContext* ctx, double ms);
