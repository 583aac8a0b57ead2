// The library entry routine: records the module's instance handle.
#include "ui/Resources.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) setModuleInstance(instance);
    return TRUE;
}
