// The decoder library's interface, shared by MP3.DLL and the player that binds it
// by name at run time.
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>

// The 8-bit request record handed to mp3play and mp3gettime. The caller owns it and
// its text; both stay valid only until the call returns.
struct MP3REQUEST {
    const char* FileName;   // full path, platform form, NUL-terminated, 8-bit code page
    std::int32_t Reserved1; // 0
    HWND WindowHandle;      // receives MP3_MSG_PROGRESS, MP3_MSG_STARTED, MP3_MSG_ENDED
    std::int32_t Reserved2; // 0, or what mp3gettime left there: its stop stamp, so that
                            // an mp3play of the record ends on any mp3stop after it
};

static_assert(offsetof(MP3REQUEST, FileName) == 0);
static_assert(offsetof(MP3REQUEST, Reserved1) == sizeof(void*));
static_assert(offsetof(MP3REQUEST, WindowHandle) == 2 * sizeof(void*));
static_assert(offsetof(MP3REQUEST, Reserved2) == 3 * sizeof(void*));
static_assert(sizeof(MP3REQUEST) == 4 * sizeof(void*));
static_assert(sizeof(HWND) == sizeof(void*));
// On 32-bit Windows, the record of four 32-bit fields the library was made for.
static_assert(sizeof(void*) != 4 || (sizeof(MP3REQUEST) == 16 && sizeof(HWND) == 4));

// Posted to WindowHandle; lParam is always 0.
inline constexpr UINT MP3_MSG_PROGRESS = 12000; // every MP3_PROGRESS_FRAMES; wParam = frames heard
inline constexpr UINT MP3_MSG_STARTED = 12001;  // once, when sound starts
inline constexpr UINT MP3_MSG_ENDED = 12002;    // once per mp3play, as it returns
// Position units (frames) between two progress messages.
inline constexpr int MP3_PROGRESS_FRAMES = 16;

// The exports, C linkage. mp3play runs on a thread of its own and returns when the
// song has ended or was stopped; mp3stop and mp3gettime run on the window's thread
// and return at once. mp3gettime writes the length and the length of one position
// unit (one MPEG frame), both in ms; 0 and 0 for a file it cannot read. All use the
// calling convention of system libraries (WINAPI: __stdcall on 32-bit Windows).
using MP3PLAY = void(WINAPI*)(MP3REQUEST* request);
using MP3STOP = void(WINAPI*)();
using MP3GETTIME = void(WINAPI*)(MP3REQUEST* request, double* lengthMs, double* unitMs);
// For the platform's registration tool: nothing to register, 0 is success.
using MP3DLLREGISTER = LONG(WINAPI*)();

inline constexpr const char* MP3_DLL_NAME = "MP3.DLL";
