#include "platform/Platform.h"

#include <windows.h>
#include <process.h>

#include <cstring>
#include <new>

// Moveable global memory, locked at once, as the host interface's own heap
// fallback expects; the lock pointer leads back to the block through GlobalHandle.
void* platformAllocZeroed(size_t size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block) return nullptr;
    void* data = GlobalLock(block);
    if (!data) GlobalFree(block);
    return data;
}

void platformFree(void* data)
{
    if (!data) return;
    HGLOBAL block = GlobalHandle(data);
    if (!block) return;
    GlobalUnlock(block);
    GlobalFree(block);
}

static PlatformFile fromHandle(HANDLE h)
{
    return h == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<PlatformFile>(h);
}

PlatformFile platformOpenForReading(const char* path)
{
    return fromHandle(
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

PlatformFile platformOpenForWriting(const char* path)
{
    return fromHandle(
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

size_t platformRead(PlatformFile file, void* data, size_t size)
{
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(file), data, DWORD(size), &got, nullptr)) return 0;
    return got;
}

size_t platformWrite(PlatformFile file, const void* data, size_t size)
{
    DWORD put = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(file), data, DWORD(size), &put, nullptr)) return 0;
    return put;
}

void platformClose(PlatformFile file)
{
    if (file) CloseHandle(reinterpret_cast<HANDLE>(file));
}

void platformRemoveFile(const char* path) { DeleteFileA(path); }

bool platformReplaceFile(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void platformTempFolder(char* path, size_t size)
{
    char found[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof found, found);
    const char* folder = (length > 0 && length <= MAX_PATH) ? found : "C:\\Windows\\Temp\\";
    if (std::strlen(folder) + 1 > size) folder = "C:\\Windows\\Temp\\";
    std::strncpy(path, folder, size - 1);
    path[size - 1] = '\0';
}

bool platformEnvironment(const char* name, char* value, size_t size)
{
    DWORD length = GetEnvironmentVariableA(name, value, DWORD(size));
    return length > 0 && length < size;
}

int platformProcessorCount()
{
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process) {
        int n = 0;
        for (; process; process &= process - 1) ++n;
        return n;
    }
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? int(info.dwNumberOfProcessors) : 1;
}

namespace {
struct ThreadStart {
    void (*run)(void*);
    void* argument;
    HANDLE thread;
};
unsigned __stdcall startThread(void* start)
{
    ThreadStart* s = static_cast<ThreadStart*>(start);
    s->run(s->argument);
    return 0;
}
}  // namespace

PlatformThread platformStartThread(void (*run)(void* argument), void* argument, size_t stackBytes)
{
    ThreadStart* start = new (std::nothrow) ThreadStart{run, argument, nullptr};
    if (!start) return nullptr;
    // Through the C runtime, which keeps its per-thread data right; the size
    // is a reservation, committed only as the stack grows.
    uintptr_t handle =
        _beginthreadex(nullptr, unsigned(stackBytes), startThread, start, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!handle) {
        delete start;
        return nullptr;
    }
    start->thread = reinterpret_cast<HANDLE>(handle);
    return reinterpret_cast<PlatformThread>(start);
}

void platformJoinThread(PlatformThread thread)
{
    ThreadStart* start = reinterpret_cast<ThreadStart*>(thread);
    if (!start) return;
    WaitForSingleObject(start->thread, INFINITE);
    CloseHandle(start->thread);
    delete start;
}

// WaitOnAddress and WakeByAddressAll (Windows 8 and later), found at run time
// so that the module still loads on older systems, which nap instead.
typedef BOOL(WINAPI* WaitOnAddressProc)(volatile void* address, void* compare, SIZE_T size, DWORD milliseconds);
typedef void(WINAPI* WakeByAddressProc)(void* address);

namespace {
struct AddressWaits {
    WaitOnAddressProc wait;
    WakeByAddressProc wake;
};
const AddressWaits& addressWaits()
{
    static const AddressWaits found = [] {
        AddressWaits w{nullptr, nullptr};
        HMODULE kernel = GetModuleHandleA("kernelbase.dll");
        if (!kernel) kernel = LoadLibraryA("api-ms-win-core-synch-l1-2-0.dll");
        if (kernel) {
            w.wait =
                reinterpret_cast<WaitOnAddressProc>(reinterpret_cast<void*>(GetProcAddress(kernel, "WaitOnAddress")));
            w.wake = reinterpret_cast<WakeByAddressProc>(
                reinterpret_cast<void*>(GetProcAddress(kernel, "WakeByAddressAll")));
        }
        if (!w.wait || !w.wake) w = AddressWaits{nullptr, nullptr};
        return w;
    }();
    return found;
}
}  // namespace

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "the address waited on is a plain 32-bit word");

void platformWaitWhileEqual(const std::atomic<uint32_t>* word, uint32_t value)
{
    const AddressWaits& w = addressWaits();
    if (w.wait) {
        w.wait(const_cast<std::atomic<uint32_t>*>(word), &value, sizeof value, INFINITE);
    } else if (word->load() == value) {
        Sleep(1);
    }
}

void platformWakeWaiters(const std::atomic<uint32_t>* word)
{
    const AddressWaits& w = addressWaits();
    if (w.wake) w.wake(const_cast<std::atomic<uint32_t>*>(word));
}
