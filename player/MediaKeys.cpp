#include "MediaKeys.h"

#include "MP3Control.h"
#include "MP3Request.h"

#include "runtime/Declare.h"

#include "platform/Messages.h"

namespace zampoplay {
std::shared_ptr<frmPlayer> RemoteForm;
HWND RemoteWindow = nullptr;
LONG_PTR RemotePreviousWndProc = 0;
Long SongStarts = 0;
Long LastProgress = 0;

namespace {
using runtime::MediaCommand;

const runtime::Declare<LONG_PTR(HWND, int, LONG_PTR)> SetWindowLongA{"user32", "SetWindowLongA"};
const runtime::Declare<LONG_PTR(HWND, int)> GetWindowLongA{"user32", "GetWindowLongA"};
const runtime::Declare<LRESULT(WNDPROC, HWND, UINT, WPARAM, LPARAM)> CallWindowProcA{
    "user32", "CallWindowProcA"};
const runtime::Declare<LRESULT(HWND, UINT, WPARAM, LPARAM)> SendMessageA{"user32", "SendMessageA"};
const runtime::Declare<BOOL(HWND)> IsWindow{"user32", "IsWindow"};

void WatchWindow(HWND hWnd) {
    RemotePreviousWndProc =
        SetWindowLongA(hWnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&MediaKeysWndProc));
}
} // namespace

void StartMediaKeys(std::shared_ptr<frmPlayer> frm) {
    RemoteForm = frm;
    RemoteWindow = frm->hWnd;
    const bool Offered = runtime::OfferMediaRemote(
        {.Name = u"zampoplay",
         .Identity = u"Zampolo",
         .Window = RemoteWindow,
         .Received = [](MediaCommand Command) { MediaCommandReceived(Command); },
         .PositionMs = [] { return RemoteForm->UnitMs * Double(LastProgress); }});
    if (!Offered) return;
    WatchWindow(RemoteWindow);
    runtime::AnnounceMedia(PlayerStatus());
}

void MediaCommandReceived(MediaCommand Command) {
    frmPlayer& frm = *RemoteForm;
    switch (Command) {
    case MediaCommand::Play:
        frm.Command1.Value = true;
        break;
    case MediaCommand::PlayPause:
        // There is no pause: stop while a list plays, else play.
        if (frm.IsPlaying)
            frm.Command7.Value = true;
        else
            frm.Command1.Value = true;
        break;
    case MediaCommand::Stop:
        frm.Command7.Value = true;
        break;
    case MediaCommand::Next:
        frm.Command2.Value = true;
        break;
    case MediaCommand::Previous:
        frm.Command4.Value = true;
        break;
    case MediaCommand::Quit:
        // Two closes: the first stops a list that plays, the second ends the program.
        // (A window already gone takes neither.)
        SendMessageA(RemoteWindow, WM_CLOSE, 0, 0);
        SendMessageA(RemoteWindow, WM_CLOSE, 0, 0);
        break;
    }
}

runtime::MediaStatus PlayerStatus() {
    frmPlayer& frm = *RemoteForm;
    runtime::MediaStatus Status;
    Status.Playing = frm.IsPlaying;
    // While a list plays there is a song to show: remotes show it only while they may
    // play, so they may then, though a Play does nothing while the button is disabled.
    Status.CanPlay = frm.Command1.Enabled || frm.IsPlaying;
    Status.CanGoNext = frm.Command2.Enabled;
    Status.CanGoPrevious = frm.Command4.Enabled;
    Status.Track = SongStarts;
    if (SongStarts > 0) {
        Status.Title = frm.Caption;
        Status.Path = CurrentRequest.FileName;
        Status.LengthMs = frm.SongLengthMs;
    }
    return Status;
}

LRESULT WINAPI MediaKeysWndProc(HWND hWnd, UINT Message, WPARAM wParam, LPARAM lParam) {
    const LRESULT Result = CallWindowProcA(reinterpret_cast<WNDPROC>(RemotePreviousWndProc), hWnd,
                                           Message, wParam, lParam);
    if (Message == WM_SETTEXT) {
        SongStarts += 1;
        LastProgress = 0;
    } else if (Message == MP3_MSG_PROGRESS) {
        LastProgress = static_cast<Long>(wParam);
    } else if (Message == WM_COMMAND || Message == WM_CLOSE || Message == MP3_MSG_ENDED) {
        // Clicks, closes and song ends are what change the player's state. A caption
        // change comes in the middle of a song's start sequence: the song is announced
        // once the click or end message that started it has been handled.
        if (!IsWindow(hWnd)) return Result;
        // A close takes the window's hook away, and this procedure above it too, and may
        // put the hook back: come back above the procedure that is there.
        if (Message == WM_CLOSE &&
            GetWindowLongA(hWnd, GWL_WNDPROC) != reinterpret_cast<LONG_PTR>(&MediaKeysWndProc))
            WatchWindow(hWnd);
        runtime::AnnounceMedia(PlayerStatus());
    }
    return Result;
}
} // namespace zampoplay
