// The desktop's media keys and media panel for the player's window. A remote's
// command presses the button it names, as a click does; after every message that may
// change them, the window's state and song are announced to the remotes.
#pragma once

#include "frmPlayer.h"

#include "runtime/MediaRemote.h"

#include "platform/Types.h"

#include <memory>

namespace zampoplay {
// The window the remotes steer, and what its messages told.
extern std::shared_ptr<frmPlayer> RemoteForm;
extern HWND RemoteWindow; // its handle, kept: reading hWnd would load the form again
extern LONG_PTR RemotePreviousWndProc;
extern Long SongStarts;   // caption changes so far: the player sets it at each song start
extern Long LastProgress; // wParam of the song's latest progress message (MP3_MSG_PROGRESS)

// Offers the loaded window to the remotes and watches its messages from above the
// window's hook. Without a session bus: nothing.
void StartMediaKeys(std::shared_ptr<frmPlayer> frm);
// A remote's command: the click of its button, and only while that button is enabled.
void MediaCommandReceived(runtime::MediaCommand Command);
// The window as the remotes see it.
runtime::MediaStatus PlayerStatus();
// The watching procedure; only the platform calls it.
LRESULT WINAPI MediaKeysWndProc(HWND hWnd, UINT Message, WPARAM wParam, LPARAM lParam);
} // namespace zampoplay
