// Without windows there is nothing to show: the dialog accepts the settings
// as they stand, and the about box is a no-op.
#include "host/Dialogs.h"

void showMainDialog(FilterContext*) {}
void showAboutBox() {}
void clearAboutBoxFlag() {}
void clearFileDialogFlag() {}
