#include "cli/System.h"

#include <dirent.h>
#include <pthread.h>
#include <time.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

struct BusyLoops {
    std::vector<pthread_t> threads;
    std::atomic<bool> stop{false};
    double until = 0.0;
};

static void* spin(void* argument)
{
    const BusyLoops* loops = static_cast<const BusyLoops*>(argument);
    while (!loops->stop.load(std::memory_order_relaxed) && nowSeconds() < loops->until) {
        for (volatile int k = 0; k < 10000; k = k + 1) {
        }
    }
    return nullptr;
}

BusyLoops* startBusyLoops(int count, double seconds)
{
    BusyLoops* loops = new BusyLoops;
    loops->until = nowSeconds() + seconds;
    for (int k = 0; k < count; ++k) {
        pthread_t thread;
        if (pthread_create(&thread, nullptr, spin, loops) == 0) loops->threads.push_back(thread);
    }
    if (loops->threads.empty()) {
        delete loops;
        return nullptr;
    }
    return loops;
}

double busyLoopsCpuSeconds(const BusyLoops* loops)
{
    double total = 0.0;
    for (pthread_t thread : loops->threads) {
        clockid_t clock;
        timespec t{};
        if (pthread_getcpuclockid(thread, &clock) == 0 && clock_gettime(clock, &t) == 0)
            total += double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
    }
    return total;
}

void stopBusyLoops(BusyLoops* loops)
{
    if (!loops) return;
    loops->stop.store(true);
    for (pthread_t thread : loops->threads) pthread_join(thread, nullptr);
    delete loops;
}
