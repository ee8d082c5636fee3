// Threads.
#pragma once

#include "platform/Types.h"

#include <cstddef>

extern "C" {
// Starts routine(parameter) on a new thread at once (flags must be 0) and returns a
// handle to it; the id goes to *threadId when given. The thread is never joined: it
// ends when the routine returns. An exception that leaves the routine ends the
// process with a message. Returns nullptr when no thread can be made.
ZPAPI HANDLE CreateThread(void* securityAttributes, std::size_t stackSize,
                          LPTHREAD_START_ROUTINE routine, void* parameter, DWORD flags,
                          DWORD* threadId);
// Releases a handle; the thread goes on. FALSE for an unknown handle.
ZPAPI BOOL CloseHandle(HANDLE handle);
ZPAPI DWORD GetCurrentThreadId();
}

namespace platform {
// For tests: the next count calls of CreateThread fail as if no thread could be made.
ZPAPI void FailThreadsForTesting(int count);
} // namespace platform
