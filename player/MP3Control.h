// The player's only route to the decoder library MP3.DLL: the one request record and
// the procedures that start, time and stop a song.
#pragma once

#include "runtime/Values.h"

#include "platform/Types.h"

namespace zampoplay {
using runtime::Boolean;
using runtime::Double;
using runtime::Long;
using runtime::String;

struct PlayRequest {
    String FileName;             // full path of the song to play
    Long Reserved1 = 0;          // not interpreted; what the library leaves there
    HWND WindowHandle = nullptr; // the hooked player window
    Long Reserved2 = 0;          // as Reserved1
};

// Written on the window's thread only, before each StartPlayback.
extern PlayRequest CurrentRequest;

// Window's thread: starts a playback thread for CurrentRequest and returns at once.
// Raises error 7 when no thread can be made (then no song plays and no end follows).
void StartPlayback();
// Window's thread, on each end message: false when it is the end of an older song
// while the song started last still plays (a stop, then a start before that stop's
// end message came); true for the end of the last song, or when none is known.
Boolean EndOfLastSong();
// A playback thread: plays its own 8-bit copy of the request through mp3play.
DWORD WINAPI PlaybackThread(void* parameter);
// Window's thread: mp3gettime writes the song's length and unit (ms) into the
// caller's variables; what it leaves in the record is carried back.
void QuerySongTime(Double& SongLengthMs, Double& UnitMs);
// Window's thread: mp3stop; the song's end message follows from the library.
void StopPlayback();
} // namespace zampoplay
