// The about box, opened by the host's About request and by the dialog's
// about icon, and the plug-in's two message dialogs.
#pragma once

#include <windows.h>

// Address opened by the about box's button.
extern const char* const makerWebAddress;

// True while the about box is up.
bool aboutBoxOpen();

// Asks an open about box to close (the main dialog ends while it is up).
void closeAboutBox();
