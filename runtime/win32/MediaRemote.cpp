// Media remotes on Windows: the keyboard's media keys arrive at the focused window as
// WM_APPCOMMAND, which the form's procedure hands here.
#include "runtime/MediaRemote.h"

#include "Native.h"

namespace runtime {
namespace {
MediaRemote& Remote() {
    static MediaRemote remote;
    return remote;
}
} // namespace

bool OfferMediaRemote(MediaRemote remote) {
    Remote() = std::move(remote);
    return true;
}

// Windows shows no player status outside the program's own window.
void AnnounceMedia(const MediaStatus&) {}

bool detail::MediaAppCommand(int command) {
    const MediaRemote& remote = Remote();
    if (!remote.Received) return false;
    MediaCommand taken;
    switch (command) {
    case APPCOMMAND_MEDIA_PLAY:
        taken = MediaCommand::Play;
        break;
    case APPCOMMAND_MEDIA_PLAY_PAUSE:
        taken = MediaCommand::PlayPause;
        break;
    case APPCOMMAND_MEDIA_STOP:
        taken = MediaCommand::Stop;
        break;
    case APPCOMMAND_MEDIA_NEXTTRACK:
        taken = MediaCommand::Next;
        break;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK:
        taken = MediaCommand::Previous;
        break;
    default:
        return false;
    }
    // While a message box is up the program waits for it; the key is taken and dropped.
    if (modalBoxes == 0) RunEvent([&] { remote.Received(taken); });
    return true;
}
} // namespace runtime
