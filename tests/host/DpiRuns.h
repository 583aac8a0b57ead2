// Tests at a screen scale: Wine reads the DPI when a process starts, so a
// test program sets it and runs itself once per DPI, one process at a time
// (the programs that do so run serially). Windows test programs only.
#pragma once

#ifdef _WIN32
#include <windows.h>

namespace testhost {

// The DPI this run was started for; 0 in the run that starts the others.
int runDpi();

// Sets Wine's DPI for the processes started from now on (0: back to the default).
void setSystemDpi(int dpi);

// Runs this program's tests matching `filter` in a process of its own at
// `dpi`; its exit code.
DWORD runSelfAtDpi(int dpi, const char* filter);

// Runs the tests matching `filter` at 96, 120, 144 and 192 DPI in turn, each
// in a process of its own; a failure names the DPI that failed.
void expectEachDpiPasses(const char* filter);

}  // namespace testhost
#endif
