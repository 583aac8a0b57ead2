#include "ui/Module.h"

static HINSTANCE instanceHandle = nullptr;

HINSTANCE moduleInstance() { return instanceHandle; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) instanceHandle = instance;
    return TRUE;
}
