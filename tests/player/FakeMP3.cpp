// A stand-in MP3.DLL for the player's tests: it records what it is asked to play and
// ends songs when the test says so (or on mp3stop), posting the messages a real
// decoder posts. The Fake* functions are the test's controls.
#include "MP3Request.h"
#include "platform/Messages.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
struct Play {
    std::string fileName;
    HWND window;
    bool ended = false;
};

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Play*> running;
    std::vector<std::string> played, timed;
    int stops = 0;
    int stamp = 1; // moved on by every mp3stop, never reset: what mp3gettime stamps
    int ended = 0; // end messages posted
    double lengthMs = 10000, unitMs = 26.0;
};
State& state() {
    static auto* s = new State; // playback threads may outlive the test's statics
    return *s;
}
} // namespace

EXPORT void mp3play(MP3REQUEST* request) {
    auto& s = state();
    Play play{request->FileName ? request->FileName : "", request->WindowHandle};
    {
        std::lock_guard lock(s.mutex);
        // As the real library: a stop after the mp3gettime that stamped the request
        // ends this song too, even one that came before this call.
        play.ended = request->Reserved2 != 0 && request->Reserved2 != s.stamp;
        s.played.push_back(play.fileName);
        s.running.push_back(&play);
        s.changed.notify_all();
    }
    PostMessageA(play.window, MP3_MSG_STARTED, 0, 0);
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&] { return play.ended; });
    // Posted before the song leaves `running`, so a test that saw it leave knows the
    // end message is queued.
    PostMessageA(play.window, MP3_MSG_ENDED, 0, 0);
    ++s.ended;
    std::erase(s.running, &play);
    s.changed.notify_all();
}

EXPORT void mp3stop() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    ++s.stops;
    ++s.stamp;
    for (Play* p : s.running) p->ended = true;
    s.changed.notify_all();
}

EXPORT void mp3gettime(MP3REQUEST* request, double* lengthMs, double* unitMs) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.timed.push_back(request->FileName ? request->FileName : "");
    request->Reserved2 = s.stamp;
    *lengthMs = s.lengthMs;
    *unitMs = s.unitMs;
}

EXPORT LONG DllRegisterServer() {
    return 0;
}

// The test's controls.
EXPORT void FakeReset() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    for (Play* p : s.running) p->ended = true;
    s.played.clear();
    s.timed.clear();
    s.stops = 0;
    s.lengthMs = 10000;
    s.unitMs = 26.0;
    s.changed.notify_all();
}
EXPORT void FakeSetTime(double lengthMs, double unitMs) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.lengthMs = lengthMs;
    s.unitMs = unitMs;
}
// The playing song ends by itself.
EXPORT void FakeEndSong() {
    mp3stop();
}
namespace {
// Reads the state under its lock.
template <class F> auto Locked(F&& read) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return read(s);
}
const char* Entry(const std::vector<std::string>& names, int n) {
    return n >= 0 && n < static_cast<int>(names.size()) ? names[n].c_str() : nullptr;
}
} // namespace

EXPORT int FakeRunning() {
    return Locked([](State& s) { return static_cast<int>(s.running.size()); });
}
EXPORT int FakeStops() {
    return Locked([](State& s) { return s.stops; });
}
EXPORT int FakePlayCount() {
    return Locked([](State& s) { return static_cast<int>(s.played.size()); });
}
EXPORT int FakeEnded() {
    return Locked([](State& s) { return s.ended; });
}
EXPORT int FakeTimedCount() {
    return Locked([](State& s) { return static_cast<int>(s.timed.size()); });
}
// The file name of the n-th mp3play (from 0), or of the n-th mp3gettime.
EXPORT const char* FakePlayed(int n) {
    return Locked([n](State& s) { return Entry(s.played, n); });
}
EXPORT const char* FakeTimed(int n) {
    return Locked([n](State& s) { return Entry(s.timed, n); });
}
// A progress message to the window of the playing song.
EXPORT void FakeProgress(unsigned frames) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    for (Play* p : s.running) PostMessageA(p->window, MP3_MSG_PROGRESS, frames, 0);
}
