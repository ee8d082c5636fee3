#include "MP3Control.h"

#include "MP3Request.h"
#include "runtime/Declare.h"

#include "platform/CodePage.h"

#include <cstddef>
#include <memory>
#include <string>

namespace zampoplay {
PlayRequest CurrentRequest;

namespace {
using runtime::Declare;

// Songs started for CountedWindow whose end message has not come yet (each mp3play
// posts exactly one). A request for another window starts a new count.
HWND CountedWindow = nullptr;
Long SongsPlaying = 0;

const Declare<void(MP3REQUEST*)> mp3play{"MP3.DLL", "mp3play"};
const Declare<void()> mp3stop{"MP3.DLL", "mp3stop"};
const Declare<void(MP3REQUEST*, Double*, Double*)> mp3gettime{"MP3.DLL", "mp3gettime"};
const Declare<HANDLE(void*, std::size_t, LPTHREAD_START_ROUTINE, void*, DWORD, DWORD*)>
    CreateThread{"kernel32", "CreateThread"};
const Declare<BOOL(HANDLE)> CloseHandle{"kernel32", "CloseHandle"};

// The 8-bit form of a request: the record and the text it points to, owned together.
struct AnsiRequest {
    explicit AnsiRequest(const PlayRequest& request)
        : FileName(platform::ToAnsi(request.FileName)), Record{FileName.c_str(), request.Reserved1,
                                                               request.WindowHandle,
                                                               request.Reserved2} {}
    AnsiRequest(const AnsiRequest&) = delete;
    AnsiRequest& operator=(const AnsiRequest&) = delete;
    std::string FileName;
    MP3REQUEST Record;
};
} // namespace

void StartPlayback() {
    // The thread gets its own copy made here, so the window's thread may rewrite
    // CurrentRequest for the next song while this one is still starting.
    auto request = std::make_unique<AnsiRequest>(CurrentRequest);
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, PlaybackThread, request.get(), 0, &threadId);
    // No song plays and no end message will follow: the caller must know.
    if (!thread) runtime::Raise(runtime::err::kOutOfMemory);
    request.release(); // the thread owns it now
    if (CurrentRequest.WindowHandle != CountedWindow) {
        CountedWindow = CurrentRequest.WindowHandle;
        SongsPlaying = 0;
    }
    SongsPlaying += 1;
    CloseHandle(thread);
}

Boolean EndOfLastSong() {
    if (SongsPlaying > 0) SongsPlaying -= 1;
    return SongsPlaying == 0;
}

DWORD WINAPI PlaybackThread(void* parameter) {
    std::unique_ptr<AnsiRequest> request(static_cast<AnsiRequest*>(parameter));
    // Nobody could receive an error here: without mp3play the thread just ends.
    runtime::Try([&] { mp3play(&request->Record); });
    return 0;
}

void QuerySongTime(Double& SongLengthMs, Double& UnitMs) {
    AnsiRequest request(CurrentRequest);
    mp3gettime(&request.Record, &SongLengthMs, &UnitMs);
    CurrentRequest.FileName =
        request.Record.FileName ? platform::FromAnsi(request.Record.FileName) : String();
    CurrentRequest.Reserved1 = request.Record.Reserved1;
    CurrentRequest.WindowHandle = request.Record.WindowHandle;
    CurrentRequest.Reserved2 = request.Record.Reserved2;
}

void StopPlayback() {
    mp3stop();
}
} // namespace zampoplay
