// The system directory and program start.
#pragma once

#include "platform/Types.h"

#include <string>

extern "C" {
// Writes the system directory (platform form, no trailing '\') and returns its length
// without the NUL; when the buffer is too small it writes nothing and returns the size
// needed, NUL included. The directory is fixed at build time; the environment setting
// ZAMPOLO_SYSTEM_DIR (a native path) moves it.
ZPAPI UINT GetSystemDirectoryA(char* buffer, UINT size);
// Starts a program from a command line ("NAME arg arg", NAME quoted when it holds
// blanks) with a show state for its first window. The program is looked for as given
// when it holds a '\', else in the program's own folder, the system directory, then
// PATH. It runs detached; the call returns at once. Result > 31 on success, else
// ERROR_FILE_NOT_FOUND (2), ERROR_PATH_NOT_FOUND (3) or ERROR_BAD_FORMAT (11).
ZPAPI UINT WinExec(const char* commandLine, UINT cmdShow);
}

inline constexpr UINT ERROR_FILE_NOT_FOUND = 2;
inline constexpr UINT ERROR_PATH_NOT_FOUND = 3;
inline constexpr UINT ERROR_BAD_FORMAT = 11;

namespace platform {
// The show state this process was started with by WinExec (SW_SHOWDEFAULT otherwise);
// the first top-level window shown with SW_SHOWDEFAULT takes it.
ZPAPI int StartupShowState();
// The running program's folder in the platform's form, without a trailing '\'.
ZPAPI std::u16string ProgramFolder();
// The system directory as a native path.
ZPAPI std::string NativeSystemDirectory();
} // namespace platform
