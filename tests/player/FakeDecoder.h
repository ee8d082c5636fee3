// The test's handle on the stand-in MP3.DLL that lies beside the test program.
#pragma once

#include "platform/Libraries.h"

#include <string>

namespace fake {
template <class F> F Get(const char* name) {
    static HMODULE module = LoadLibraryA("MP3.DLL");
    return reinterpret_cast<F>(GetProcAddress(module, name));
}
inline void Reset() {
    Get<void (*)()>("FakeReset")();
}
inline void SetTime(double lengthMs, double unitMs) {
    Get<void (*)(double, double)>("FakeSetTime")(lengthMs, unitMs);
}
inline void EndSong() {
    Get<void (*)()>("FakeEndSong")();
}
inline void Progress(unsigned frames) {
    Get<void (*)(unsigned)>("FakeProgress")(frames);
}
inline int Ended() {
    return Get<int (*)()>("FakeEnded")();
}
inline int Running() {
    return Get<int (*)()>("FakeRunning")();
}
inline int Stops() {
    return Get<int (*)()>("FakeStops")();
}
inline int TimedCount() {
    return Get<int (*)()>("FakeTimedCount")();
}
inline int PlayCount() {
    return Get<int (*)()>("FakePlayCount")();
}
inline std::string Played(int n) {
    const char* s = Get<const char* (*)(int)>("FakePlayed")(n);
    return s ? s : "<none>";
}
inline std::string Timed(int n) {
    const char* s = Get<const char* (*)(int)>("FakeTimed")(n);
    return s ? s : "<none>";
}
} // namespace fake
