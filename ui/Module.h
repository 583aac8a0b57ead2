// The module's own instance handle, through which dialogs and resources load.
#pragma once

#include <windows.h>

HINSTANCE moduleInstance();
