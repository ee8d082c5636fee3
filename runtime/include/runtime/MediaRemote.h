// The desktop's remote control of a player: the keyboard's media keys, the shell's
// media panel and lock screen (MPRIS 2 on the session bus). Window thread only.
#pragma once

#include "runtime/Values.h"

#include "platform/Types.h"

#include <functional>

namespace runtime {
// What a remote asks of the program. Raising the window the runtime does itself.
enum class MediaCommand { Play, PlayPause, Stop, Next, Previous, Quit };

// What the remotes show of the program.
struct MediaStatus {
    bool Playing = false;
    bool CanPlay = false, CanGoNext = false, CanGoPrevious = false;
    Long Track = 0;      // 0 before the first song; a new number at every song start
    String Title;        // the song's title
    String Path;         // the song's path, platform form
    Double LengthMs = 0; // the song's length
};

struct MediaRemote {
    String Name;     // the bus name's last part, also the desktop entry's name
    String Identity; // the name the remotes show
    HWND Window = nullptr;
    std::function<void(MediaCommand)> Received;
    std::function<Double()> PositionMs; // read on request, never announced
};

// Offers the program to the remotes as org.mpris.MediaPlayer2.<Name>, or as
// <Name>.instance<pid> while another process holds that name. Commands arrive on the
// window thread, never while a modal box is open. Without a session bus it returns
// false and nothing else happens; when the bus goes away the program goes on alone.
bool OfferMediaRemote(MediaRemote remote);
// Tells the remotes what differs from the status announced last, once per change.
void AnnounceMedia(const MediaStatus& status);
} // namespace runtime
