// Libraries bound by name.
#pragma once

#include "platform/Types.h"

extern "C" {
// A bare file name is looked for in the program's own folder, then in the system
// directory; a path (platform form, '\' separators) is taken as it is. The names
// kernel32, user32, shell32 and ole32 (any case, with or without ".dll") are the
// platform itself. nullptr when the file is missing or not a library.
ZPAPI HMODULE LoadLibraryA(const char* fileName);
ZPAPI FARPROC GetProcAddress(HMODULE module, const char* procName);
ZPAPI BOOL FreeLibrary(HMODULE module);
// The file of module (nullptr: the running program) in the platform's form.
// Returns the length written without the NUL; a too-small buffer gets the truncated,
// NUL-terminated text and the result is bufferSize. 0 on failure.
ZPAPI DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD bufferSize);
}

namespace platform {
// The export that a call bound by name reaches: the name itself.
inline const char* EntryPointName(const char* function) {
    return function;
}
} // namespace platform
