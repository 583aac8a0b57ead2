// The parts of the system interface that standard C++ covers on every platform.
#include "cli/System.h"

#include <chrono>
#include <csignal>

static volatile std::sig_atomic_t interruptFlag = 0;
static void onInterrupt(int) { interruptFlag = 1; }

void catchInterrupts() { std::signal(SIGINT, onInterrupt); }
bool interruptRequested() { return interruptFlag != 0; }

double nowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
