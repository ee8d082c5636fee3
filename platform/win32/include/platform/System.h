// The running program's folder; the system directory and program start are
// Windows' own (GetSystemDirectoryA, WinExec).
#pragma once

#include "platform/Types.h"

#include <string>

namespace platform {
// The running program's folder, without a trailing '\'.
std::u16string ProgramFolder();
// The system directory as a native path.
std::string NativeSystemDirectory();
} // namespace platform
