#include "platform/Platform.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/futex.h>
#include <sys/syscall.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

void* platformAllocZeroed(size_t size) { return std::calloc(1, size ? size : 1); }

void platformFree(void* block) { std::free(block); }

// The descriptor is kept one above its value, so that descriptor 0 is not null.
static PlatformFile fromDescriptor(int fd)
{
    return fd < 0 ? nullptr : reinterpret_cast<PlatformFile>(intptr_t(fd) + 1);
}

static int descriptorOf(PlatformFile file) { return int(reinterpret_cast<intptr_t>(file) - 1); }

PlatformFile platformOpenForReading(const char* path) { return fromDescriptor(open(path, O_RDONLY)); }

PlatformFile platformOpenForWriting(const char* path) { return fromDescriptor(open(path, O_WRONLY | O_CREAT, 0644)); }

size_t platformRead(PlatformFile file, void* data, size_t size)
{
    size_t total = 0;
    while (total < size) {
        ssize_t got = read(descriptorOf(file), static_cast<char*>(data) + total, size - total);
        if (got <= 0) break;
        total += size_t(got);
    }
    return total;
}

size_t platformWrite(PlatformFile file, const void* data, size_t size)
{
    size_t total = 0;
    while (total < size) {
        ssize_t put = write(descriptorOf(file), static_cast<const char*>(data) + total, size - total);
        if (put <= 0) break;
        total += size_t(put);
    }
    return total;
}

void platformClose(PlatformFile file)
{
    if (file) close(descriptorOf(file));
}

void platformRemoveFile(const char* path) { unlink(path); }

bool platformReplaceFile(const char* from, const char* to) { return std::rename(from, to) == 0; }

void platformTempFolder(char* path, size_t size)
{
    const char* folder = std::getenv("TMPDIR");
    if (!folder || !*folder) folder = "/tmp/";
    size_t length = std::strlen(folder);
    bool needsSeparator = folder[length - 1] != '/';
    if (length + (needsSeparator ? 1 : 0) + 1 > size) {
        folder = "/tmp/";
        length = 5;
        needsSeparator = false;
    }
    std::memcpy(path, folder, length);
    if (needsSeparator) path[length++] = '/';
    path[length] = '\0';
}

bool platformEnvironment(const char* name, char* value, size_t size)
{
    const char* found = std::getenv(name);
    if (!found || size == 0) return false;
    std::strncpy(value, found, size - 1);
    value[size - 1] = '\0';
    return true;
}

int platformProcessorCount()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        int n = CPU_COUNT(&set);
        if (n > 0) return n;
    }
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? int(n) : 1;
}

namespace {
struct ThreadStart {
    void (*run)(void*);
    void* argument;
    pthread_t thread;
};
void* startThread(void* start)
{
    ThreadStart* s = static_cast<ThreadStart*>(start);
    s->run(s->argument);
    return nullptr;
}
}  // namespace

PlatformThread platformStartThread(void (*run)(void* argument), void* argument, size_t stackBytes)
{
    ThreadStart* start = new (std::nothrow) ThreadStart{run, argument, pthread_t()};
    if (!start) return nullptr;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackBytes < size_t(PTHREAD_STACK_MIN)) stackBytes = PTHREAD_STACK_MIN;
    pthread_attr_setstacksize(&attributes, stackBytes);
    int failed = pthread_create(&start->thread, &attributes, startThread, start);
    pthread_attr_destroy(&attributes);
    if (failed) {
        delete start;
        return nullptr;
    }
    return reinterpret_cast<PlatformThread>(start);
}

void platformJoinThread(PlatformThread thread)
{
    ThreadStart* start = reinterpret_cast<ThreadStart*>(thread);
    if (!start) return;
    pthread_join(start->thread, nullptr);
    delete start;
}

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "a futex is a plain 32-bit word");

void platformWaitWhileEqual(const std::atomic<uint32_t>* word, uint32_t value)
{
#if defined(__linux__)
    syscall(SYS_futex, reinterpret_cast<const uint32_t*>(word), FUTEX_WAIT_PRIVATE, value, nullptr, nullptr, 0);
#else
    // Without futexes: a millisecond's nap, then the caller looks again.
    if (word->load() == value) {
        timespec nap{0, 1000000};
        nanosleep(&nap, nullptr);
    }
#endif
}

void platformWakeWaiters(const std::atomic<uint32_t>* word)
{
#if defined(__linux__)
    syscall(SYS_futex, reinterpret_cast<const uint32_t*>(word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
#else
    (void)word;
#endif
}
