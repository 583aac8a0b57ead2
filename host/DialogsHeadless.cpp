// Without windows there is nothing to show: the dialog accepts the settings
// as they stand, and messages, preview drawing and cursors are no-ops.
#include "host/Dialogs.h"

void showMainDialog(FilterContext*) {}
void showAboutBox() {}
void clearAboutBoxFlag() {}
void clearFileDialogFlag() {}
void showMessage(const char*) {}
void showPreviewRows(FilterContext*) {}
void showWaitCursor(bool) {}
void invalidateControl(void*, int) {}
void repaintControl(void*, int) {}
