// Inner side of handed folders: what each system's part hands in and gets.
#pragma once

#include "runtime/Values.h"

#include "platform/Types.h"

namespace runtime::detail {
// Posted to the receiving window when a handed folder may go to the program; its
// procedure calls DeliverFolder.
inline constexpr UINT kDeliverFolder = 0x8000 + 0x5A; // WM_APP + 'Z'
// A folder for the program (platform form), from another start, a remote or a drop:
// false when the program takes none.
bool HandFolder(const String& folder);
void DeliverFolder();
// The system's part: drops of one folder on the window, and what finds it from another
// start (qt/HandedFolders.cpp, win32/HandedFolders.cpp).
void AcceptDrops(const String& name, HWND window);
} // namespace runtime::detail
