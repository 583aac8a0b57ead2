// What the command line needs from the operating system. SystemPosix.cpp and
// SystemWin.cpp implement it.
#pragma once

#include <cstddef>
#include <string>

#include "host/HostAbi.h"

// Creates a new empty folder for this process's temporary files and points the
// process's temporary-folder variables at it (TMPDIR; on Windows TMP and TEMP),
// so that the plug-in's cache never meets a user's own. Empty on failure.
std::string makePrivateTempFolder();

// Deletes the folder made above, with the files in it.
void removePrivateTempFolder(const std::string& folder);

// The plug-in's entry point: built in, or on Windows loaded from `modulePath`
// (empty: Nimbulo.8bf beside the program). Null with a reason on failure.
PluginEntryProc loadPlugin(const std::string& modulePath, std::string* error);

// Tells the filter, through its environment, how many threads to render with.
void setRenderThreads(int threads);

// Sets an environment variable of this process (the filter reads some at every pass).
void setEnvironmentValue(const char* name, const char* value);

// Ctrl-C asks the render to stop instead of killing the process.
void catchInterrupts();
bool interruptRequested();

bool stderrIsTerminal();

// Moves `from` over `to`, replacing it.
bool replaceFile(const std::string& from, const std::string& to);

// The process's peak resident memory so far, in bytes (0 when unknown).
size_t peakMemoryBytes();

// The processor's name when it is a software emulation (QEMU's TCG, as qemu's
// user-mode emulation runs 32-bit programs on a kernel without 32-bit
// support), whose times say nothing of the machine's; empty otherwise.
std::string emulatedProcessorName();

// Seconds from an arbitrary start, for timing.
double nowSeconds();

// The processor time this process has used so far, every thread's, and the
// calling thread's alone, in seconds.
double processCpuSeconds();
double threadCpuSeconds();

// Busy loops on threads of their own, as a user's other programs keep the
// processors busy; each also ends by itself after `seconds`. Null when none
// could be started.
struct BusyLoops;
BusyLoops* startBusyLoops(int count, double seconds);
// The processor time the loops have used so far, in seconds.
double busyLoopsCpuSeconds(const BusyLoops* loops);
void stopBusyLoops(BusyLoops* loops);
