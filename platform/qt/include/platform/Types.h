// Basic types of the platform's C interface. Handles are opaque and pointer-sized;
// 0 (nullptr) is never a valid handle.
#pragma once

#include <cstdint>

#if defined(ZAMPOLO_PLATFORM_BUILD)
#define ZPAPI __attribute__((visibility("default")))
#else
#define ZPAPI
#endif

struct HWND__;
using HWND = HWND__*;
struct HANDLE__;
using HANDLE = HANDLE__*;
using HMODULE = void*;
using FARPROC = void (*)();

using BOOL = std::int32_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using LONG_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using WCHAR = char16_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// The calling convention of system libraries: __stdcall on 32-bit Windows, the only
// one on Linux. Every function bound by name, window procedure and thread routine
// carries it.
#define WINAPI
#define CALLBACK

using WNDPROC = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
using LPTHREAD_START_ROUTINE = DWORD(WINAPI*)(void*);

inline constexpr WPARAM MAKEWPARAM(unsigned lo, unsigned hi) {
    return static_cast<WPARAM>((lo & 0xFFFFu) | ((hi & 0xFFFFu) << 16));
}
inline constexpr LPARAM MAKELPARAM(int lo, int hi) {
    return static_cast<LPARAM>(static_cast<std::uint32_t>(
        (static_cast<unsigned>(lo) & 0xFFFFu) | ((static_cast<unsigned>(hi) & 0xFFFFu) << 16)));
}
inline constexpr unsigned LOWORD(std::uintptr_t v) {
    return static_cast<unsigned>(v & 0xFFFFu);
}
inline constexpr unsigned HIWORD(std::uintptr_t v) {
    return static_cast<unsigned>((v >> 16) & 0xFFFFu);
}
