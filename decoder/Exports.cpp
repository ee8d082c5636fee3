// The library's C exports. No exception leaves them.
#include "MP3Request.h"
#include "Playback.h"

#include <type_traits>

// On Windows the .def file names the exports.
#if defined(_WIN32)
#define MP3_EXPORT extern "C"
#else
#define MP3_EXPORT extern "C" __attribute__((visibility("default")))
#endif

MP3_EXPORT void WINAPI mp3play(MP3REQUEST* request) {
    mp3::Play(request);
}

MP3_EXPORT void WINAPI mp3stop() {
    try {
        mp3::StopAll();
    } catch (...) {
    }
}

MP3_EXPORT void WINAPI mp3gettime(MP3REQUEST* request, double* lengthMs, double* unitMs) {
    try {
        mp3::GetTime(request, lengthMs, unitMs);
    } catch (...) {
        if (lengthMs) *lengthMs = 0;
        if (unitMs) *unitMs = 0;
    }
}

// Nothing to register: the library is found by its file name.
MP3_EXPORT LONG WINAPI DllRegisterServer() {
    return 0;
}
MP3_EXPORT LONG WINAPI DllUnregisterServer() {
    return 0;
}

// The exports keep the types the player binds them with.
static_assert(std::is_same_v<decltype(&mp3play), MP3PLAY>);
static_assert(std::is_same_v<decltype(&mp3stop), MP3STOP>);
static_assert(std::is_same_v<decltype(&mp3gettime), MP3GETTIME>);
static_assert(std::is_same_v<decltype(&DllRegisterServer), MP3DLLREGISTER>);
static_assert(std::is_same_v<decltype(&DllUnregisterServer), MP3DLLREGISTER>);
