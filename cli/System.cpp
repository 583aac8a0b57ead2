// The parts of the system interface that standard C++ covers on every platform.
#include "cli/System.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

static volatile std::sig_atomic_t interruptFlag = 0;
static void onInterrupt(int) { interruptFlag = 1; }

void catchInterrupts() { std::signal(SIGINT, onInterrupt); }
bool interruptRequested() { return interruptFlag != 0; }

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>

std::string emulatedProcessorName()
{
    unsigned words[12] = {};
    unsigned highest = __get_cpuid_max(0x80000000u, nullptr);
    if (highest < 0x80000004u) return std::string();
    for (unsigned k = 0; k < 3; ++k)
        __get_cpuid(0x80000002u + k, &words[4 * k], &words[4 * k + 1], &words[4 * k + 2], &words[4 * k + 3]);
    char brand[sizeof words + 1] = {};
    std::memcpy(brand, words, sizeof words);
    // A virtual machine's processor may be named QEMU too; only TCG translates every instruction.
    return std::strstr(brand, "QEMU TCG") ? std::string(brand) : std::string();
}
#else
std::string emulatedProcessorName() { return std::string(); }
#endif

double nowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct BusyLoops {
    std::vector<std::thread> threads;
    std::unique_ptr<std::atomic<double>[]> cpu;  // each loop's processor time, kept up to date
    std::atomic<bool> stop{false};
    double until = 0.0;
};

BusyLoops* startBusyLoops(int count, double seconds)
{
    BusyLoops* loops = new BusyLoops;
    loops->until = nowSeconds() + seconds;
    loops->cpu.reset(new std::atomic<double>[size_t(count)]);
    for (int k = 0; k < count; ++k) {
        loops->cpu[k].store(0.0);
        try {
            loops->threads.emplace_back([loops, k] {
                while (!loops->stop.load(std::memory_order_relaxed) && nowSeconds() < loops->until) {
                    for (volatile int spin = 0; spin < 10000; spin = spin + 1) {}
                    loops->cpu[k].store(threadCpuSeconds(), std::memory_order_relaxed);
                }
            });
        } catch (...) {
            break;  // fewer loops
        }
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
    for (size_t k = 0; k < loops->threads.size(); ++k) total += loops->cpu[k].load();
    return total;
}

void stopBusyLoops(BusyLoops* loops)
{
    if (!loops) return;
    loops->stop.store(true);
    for (std::thread& t : loops->threads) t.join();
    delete loops;
}
