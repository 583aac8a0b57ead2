#include "cli/System.h"

#include <dirent.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/Entry.h"

std::string makePrivateTempFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/nimbulo-XXXXXX";
    if (!mkdtemp(&pattern[0])) return "";
    if (setenv("TMPDIR", pattern.c_str(), 1) != 0) return "";
    return pattern;
}

void setRenderThreads(int threads) { setenv("NIMBULO_THREADS", std::to_string(threads).c_str(), 1); }

void setEnvironmentValue(const char* name, const char* value) { setenv(name, value, 1); }

void removePrivateTempFolder(const std::string& folder)
{
    if (folder.empty()) return;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") unlink((folder + "/" + name).c_str());
        }
        closedir(dir);
    }
    rmdir(folder.c_str());
}

PluginEntryProc loadPlugin(const std::string& modulePath, std::string* error)
{
    if (!modulePath.empty()) {
        *error = modulePath + ": not loaded: this nimbulo has the filter built in (--plugin is for nimbulo.exe)";
        return nullptr;
    }
    return ENTRYPOINT;
}

bool stderrIsTerminal() { return isatty(fileno(stderr)) != 0; }

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

size_t peakMemoryBytes()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return size_t(usage.ru_maxrss) * 1024;  // kilobytes on Linux
}

double processCpuSeconds()
{
    timespec t{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t) != 0) return 0.0;
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double threadCpuSeconds()
{
    timespec t{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0.0;
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
