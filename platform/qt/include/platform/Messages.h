// Windows, window procedures and messages.
//
// Every top-level window has a handle (nonzero, never reused while the window lives)
// and a current window procedure. Messages reach that procedure on the window's
// thread (Qt's GUI thread): at once through SendMessageA, or later, in posting order,
// through PostMessageA, which any thread may call.
#pragma once

#include "platform/Types.h"

// The messages of the platform. Qt events of a window become these messages
// (see the table in Window.cpp); numbers above WM_USER are free for libraries.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;        // window attached; sent once
inline constexpr UINT WM_DESTROY = 0x0002;       // sent by DestroyWindow
inline constexpr UINT WM_MOVE = 0x0003;          // lParam = MAKELPARAM(x, y) of the client area
inline constexpr UINT WM_SIZE = 0x0005;          // wParam = SIZE_*, lParam = MAKELPARAM(w, h)
inline constexpr UINT WM_ACTIVATE = 0x0006;      // wParam = WA_ACTIVE or WA_INACTIVE
inline constexpr UINT WM_SETFOCUS = 0x0007;      // the window got the keyboard focus
inline constexpr UINT WM_KILLFOCUS = 0x0008;     // the window lost the keyboard focus
inline constexpr UINT WM_SETTEXT = 0x000C;       // lParam = const char* (8-bit code page)
inline constexpr UINT WM_GETTEXT = 0x000D;       // wParam = buffer size, lParam = char*
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E; // result = length without the NUL
inline constexpr UINT WM_PAINT = 0x000F;         // the window is being painted
inline constexpr UINT WM_CLOSE = 0x0010;         // the close box; DefWindowProcA destroys
inline constexpr UINT WM_SHOWWINDOW = 0x0018;    // wParam = TRUE shown, FALSE hidden
inline constexpr UINT WM_COMMAND = 0x0111;       // wParam = MAKEWPARAM(id, BN_CLICKED)
inline constexpr UINT WM_SYSCOMMAND = 0x0112;    // wParam = SC_*
inline constexpr UINT WM_MOUSEMOVE = 0x0200;     // lParam = MAKELPARAM(x, y)
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;   // lParam = MAKELPARAM(x, y)
inline constexpr UINT WM_LBUTTONUP = 0x0202;     // lParam = MAKELPARAM(x, y)
inline constexpr UINT WM_USER = 0x0400;

inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;
inline constexpr WPARAM WA_INACTIVE = 0;
inline constexpr WPARAM WA_ACTIVE = 1;
inline constexpr unsigned BN_CLICKED = 0;
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_RESTORE = 0xF120;
inline constexpr WPARAM SC_CLOSE = 0xF060;

inline constexpr int GWL_WNDPROC = -4;
inline constexpr int GWL_USERDATA = -21;

// ShowWindow states.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWDEFAULT = 10;

extern "C" {
// Installs a new value and returns the previous one. GWL_WNDPROC: the window
// procedure (a WNDPROC cast to LONG_PTR; 0 is refused and returns 0);
// GWL_USERDATA: a value for the window's owner. Unknown window or index: 0.
ZPAPI LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value);
ZPAPI LONG_PTR GetWindowLongA(HWND hwnd, int index);
// Runs proc for one message; a null proc gives 0.
ZPAPI LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The platform's default handling: the window text messages, WM_CLOSE destroys.
ZPAPI LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Runs the window's current procedure at once and returns its result. From another
// thread it waits until the window's thread has run it. Unknown window: 0.
ZPAPI LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues a message for the window's thread; any thread may call it. Messages are
// delivered in posting order after the running handler returns, also while a modal
// dialog runs. FALSE for an unknown or destroyed window or once the event loop is gone.
ZPAPI BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Sends WM_DESTROY, then hides the window and retires its handle.
ZPAPI BOOL DestroyWindow(HWND hwnd);
ZPAPI BOOL IsWindow(HWND hwnd);
ZPAPI BOOL ShowWindow(HWND hwnd, int cmdShow);
ZPAPI BOOL IsIconic(HWND hwnd);
ZPAPI BOOL SetWindowTextA(HWND hwnd, const char* text);            // sends WM_SETTEXT
ZPAPI int GetWindowTextA(HWND hwnd, char* buffer, int bufferSize); // sends WM_GETTEXT
ZPAPI int GetWindowTextLengthA(HWND hwnd);                         // sends WM_GETTEXTLENGTH
}
