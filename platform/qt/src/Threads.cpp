#include "platform/Threads.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <pthread.h>
#include <semaphore>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace {
struct ThreadTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, DWORD> handles; // handle -> thread id
    std::uintptr_t next = 0x1000;
};
ThreadTable& table() {
    static auto* t = new ThreadTable; // never destroyed: threads outlive main
    return *t;
}
std::atomic<int> failuresAsked{0};
} // namespace

void platform::FailThreadsForTesting(int count) {
    failuresAsked = count;
}

extern "C" {
DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(::syscall(SYS_gettid));
}

HANDLE CreateThread(void*, std::size_t, LPTHREAD_START_ROUTINE routine, void* parameter,
                    DWORD flags, DWORD* threadId) {
    if (!routine || flags != 0) return nullptr;
    for (int n = failuresAsked; n > 0;)
        if (failuresAsked.compare_exchange_weak(n, n - 1)) return nullptr;
    DWORD id = 0;
    std::binary_semaphore started(0);
    try {
        std::thread([routine, parameter, &id, &started] {
            id = GetCurrentThreadId();
            pthread_setname_np(pthread_self(), "zampolo-thread"); // for top and the benchmark
            started.release(); // id and started are gone after this
            try {
                routine(parameter);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "zampolo: uncaught exception in a thread: %s\n", e.what());
                std::_Exit(3);
            } catch (...) {
                std::fprintf(stderr, "zampolo: uncaught exception in a thread\n");
                std::_Exit(3);
            }
        }).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    started.acquire();
    if (threadId) *threadId = id;
    auto& t = table();
    std::lock_guard lock(t.mutex);
    const std::uintptr_t h = t.next;
    t.next += 4;
    t.handles.emplace(h, id);
    return reinterpret_cast<HANDLE>(h);
}

BOOL CloseHandle(HANDLE handle) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    return t.handles.erase(reinterpret_cast<std::uintptr_t>(handle)) ? TRUE : FALSE;
}
}
