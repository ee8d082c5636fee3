// Folders handed to a program from outside it: its command line, a second start of
// the same program, the desktop's media remotes (Linux) and a drop on its window.
// Window thread only.
#pragma once

#include "runtime/Values.h"

#include "platform/Types.h"

#include <functional>

namespace runtime {
// The folder the command line names (its first argument, after a "--" if any), made
// absolute, platform form; empty text without one. An argument that names no folder is given all the same
// (a folder that has gone plays nothing); on Linux it is told on standard error.
String CommandFolder();

// One program at a time: hands Folder to the program of this Name that runs already
// (Linux: its media remote's OpenUri on the session bus; Windows: WM_COPYDATA to its
// window). True when one answered, taking or refusing it: this start has nothing left
// to do. False when none runs, or there is no session bus. On Linux the start first
// takes the remote's bus name itself, so that of several at once exactly one goes on
// (false: it keeps the name for OfferMediaRemote); one whose hand-over finds no answer
// in time says so on standard error and goes on too.
bool HandToRunningProgram(const String& Name, const String& Folder);

// From now on the folders handed to this program under Name (by another start, the
// media remotes, a drop of exactly one local folder on Window) go to Opened, once no
// event handler runs: a folder handed while a box or the chooser is open waits until it
// has closed and its handler has returned; a later folder takes the place of one that
// waits.
void AcceptFolders(const String& Name, HWND Window,
                   std::function<void(const String& Folder)> Opened);
} // namespace runtime
