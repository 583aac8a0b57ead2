// The one seam between the portable code and the operating system: memory,
// files, the temporary folder, threads and sleeping. Win32 and POSIX each
// implement it in their own file.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Zero-filled memory from the system heap, ready to use; null when none is left.
void* platformAllocZeroed(size_t size);

// Gives back memory from platformAllocZeroed; null is ignored.
void platformFree(void* block);

// An open file; null when a file could not be opened.
typedef struct PlatformFileRecord* PlatformFile;

// Opens an existing file for reading, sharing it with other readers.
PlatformFile platformOpenForReading(const char* path);

// Opens a file for writing from its start, creating it when it does not exist.
// An existing file is not shortened. Other processes may still read it.
PlatformFile platformOpenForWriting(const char* path);

// Reads up to `size` bytes; returns how many were read (0 at the end or on error).
size_t platformRead(PlatformFile file, void* data, size_t size);

// Writes `size` bytes; returns how many were written.
size_t platformWrite(PlatformFile file, const void* data, size_t size);

void platformClose(PlatformFile file);

// Deletes a file; a missing file is not an error.
void platformRemoveFile(const char* path);

// Puts `from` in the place of `to`, replacing it in one step. False when it cannot.
bool platformReplaceFile(const char* from, const char* to);

// The system's temporary folder, ending in a separator, into `path` (at most
// `size` bytes with the terminating NUL). Falls back to the platform's
// standard folder when the system names none.
void platformTempFolder(char* path, size_t size);

// The value of environment variable `name` into `value`; false when unset.
bool platformEnvironment(const char* name, char* value, size_t size);

// The number of processors the system runs this process on (at least 1).
int platformProcessorCount();

// A thread of the plug-in's own, with a stack of `stackBytes`; null when it
// cannot be started. platformJoinThread waits for it to end and frees it.
typedef struct PlatformThreadRecord* PlatformThread;
PlatformThread platformStartThread(void (*run)(void* argument), void* argument, size_t stackBytes);
void platformJoinThread(PlatformThread thread);

// Sleeping until a word changes: returns when `*word` no longer holds `value`,
// when woken, or for no reason at all (callers check again). A thread that
// sleeps here takes no processor time. platformWakeWaiters wakes every thread
// sleeping on `word` and never waits itself.
void platformWaitWhileEqual(const std::atomic<uint32_t>* word, uint32_t value);
void platformWakeWaiters(const std::atomic<uint32_t>* word);
