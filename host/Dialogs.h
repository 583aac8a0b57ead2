// The boundary to the plug-in's windows. The Windows module implements these
// with real dialogs; a build without windows answers as a user who accepts.
#pragma once

struct FilterContext;

// Runs the main dialog modally. Writes userCanceledErr to the result word on
// Cancel and leaves it 0 on OK.
void showMainDialog(FilterContext* ctx);

// The about box, modal, with no owner window.
void showAboutBox();

// Clears the module's guards against a second about box or file dialog.
void clearAboutBoxFlag();
void clearFileDialogFlag();

// One of the plug-in's own message dialogs, by template name; modal, no owner.
void showMessage(const char* templateName);

// Draws the preview rows rendered so far into the dialog's preview item.
void showPreviewRows(FilterContext* ctx);

// The system's wait cursor while a preview renders, the arrow afterwards.
void showWaitCursor(bool waiting);

// Marks a control of the dialog `window` for repainting (without erasing), or
// repaints it at once. Nothing happens without a window.
void invalidateControl(void* window, int control);
void repaintControl(void* window, int control);
