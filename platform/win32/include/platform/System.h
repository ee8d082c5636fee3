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
// A GDI handle that OLE hands over in 32 bits (OLE_HANDLE): such handles are
// sign-extended to pointer size on 64-bit Windows.
inline HANDLE HandleFromOle(UINT handle) {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
}
} // namespace platform
