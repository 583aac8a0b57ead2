#include "cli/System.h"

#include <string>

#include <windows.h>
#include <io.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>

std::string makePrivateTempFolder()
{
    char base[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length > MAX_PATH) return "";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string folder = std::string(base) + "nimbulo-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount() + attempt);
        if (!CreateDirectoryA(folder.c_str(), nullptr)) continue;
        // Both the Win32 environment and the C runtime's copy of it.
        SetEnvironmentVariableA("TMP", folder.c_str());
        SetEnvironmentVariableA("TEMP", folder.c_str());
        _putenv(("TMP=" + folder).c_str());
        _putenv(("TEMP=" + folder).c_str());
        return folder;
    }
    return "";
}

void removePrivateTempFolder(const std::string& folder)
{
    if (folder.empty()) return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((folder + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

PluginEntryProc loadPlugin(const std::string& modulePath, std::string* error)
{
    std::string path = modulePath;
    if (path.empty()) {
        char self[MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string program(self, length);
        path = program.substr(0, program.find_last_of("\\/") + 1) + "Nimbulo.8bf";
    }
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        *error = path + ": cannot be loaded as a plug-in module (Windows error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    auto entry = reinterpret_cast<PluginEntryProc>(reinterpret_cast<void*>(GetProcAddress(module, "ENTRYPOINT")));
    if (!entry) {
        *error = path + ": not a filter module (no ENTRYPOINT)";
        FreeLibrary(module);
    }
    return entry;
}

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void setRenderThreads(int threads) { SetEnvironmentVariableA("NIMBULO_THREADS", std::to_string(threads).c_str()); }

void setEnvironmentValue(const char* name, const char* value) { SetEnvironmentVariableA(name, value); }

bool replaceFile(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

size_t peakMemoryBytes()
{
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PeakWorkingSetSize;
}

static double fileTimeSeconds(const FILETIME& t)
{
    return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;  // 100 ns units
}

double processCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
    return fileTimeSeconds(kernel) + fileTimeSeconds(user);
}

double threadCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0.0;
    return fileTimeSeconds(kernel) + fileTimeSeconds(user);
}
