// Message boxes and the folder chooser. Both are modal and run the window thread's
// event loop while open, so posted messages keep arriving.
#pragma once

#include "platform/Types.h"

inline constexpr UINT MB_OK = 0;
inline constexpr int IDOK = 1;
inline constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
inline constexpr int MAX_PATH = 260;

struct ITEMIDLIST;
using LPITEMIDLIST = ITEMIDLIST*;
using BFFCALLBACK = int(CALLBACK*)(HWND, UINT, LPARAM, LPARAM);

// The shell's browse-information record, fields in the shell's order.
struct BROWSEINFOA {
    HWND hwndOwner;
    LPITEMIDLIST pidlRoot; // must be null: the chooser starts at the desktop (the file system)
    char* pszDisplayName;  // when given, receives the chosen folder's name (MAX_PATH)
    const char* lpszTitle; // shown as the chooser's title
    UINT ulFlags;          // BIF_RETURNONLYFSDIRS
    BFFCALLBACK lpfn;      // not called
    LPARAM lParam;
    int iImage;
};

extern "C" {
// A modal box with the text, an OK button only and no icon; the caption or, when it is
// null, the application's title. Returns IDOK.
ZPAPI int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
ZPAPI int MessageBoxW(HWND owner, const WCHAR* text, const WCHAR* caption, UINT type);
// Shows the desktop's folder chooser modal to the owner; returns an item list for the
// chosen folder (release it with CoTaskMemFree) or nullptr on cancel.
ZPAPI LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info);
// Writes the folder's path (platform form, 8-bit, at most MAX_PATH with the NUL);
// TRUE on success. A null list or buffer gives FALSE.
ZPAPI BOOL SHGetPathFromIDListA(LPITEMIDLIST list, char* path);
ZPAPI void CoTaskMemFree(void* memory);
}
