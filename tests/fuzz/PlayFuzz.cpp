// libFuzzer: MP3.DLL's exports on arbitrary files, through the platform's 8-bit paths.
// Each input is one file: mp3gettime and mp3play must return, and what mp3play puts
// out (to a WAV file, unpaced) must be as long as mp3gettime said, to two frames; so
// an input in which no run of frames is found plays nothing.
#include "Fixtures.h"
#include "MP3Request.h"

#include "platform/Libraries.h"
#include "platform/Paths.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {
struct Library {
    Library() {
        module = LoadLibraryA("MP3.DLL");
        if (!module) std::abort();
        play = reinterpret_cast<MP3PLAY>(GetProcAddress(module, "mp3play"));
        gettime = reinterpret_cast<MP3GETTIME>(GetProcAddress(module, "mp3gettime"));
        if (!play || !gettime) std::abort();
    }
    HMODULE module;
    MP3PLAY play;
    MP3GETTIME gettime;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Library lib;
    static int runs = 0;
    const int fd = memfd_create("song.mp3", MFD_CLOEXEC);
    if (fd < 0) return 0;
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    // A new file each time, so that no song follows another in the same stream.
    const std::filesystem::path wav =
        std::filesystem::temp_directory_path() /
        ("zampolo-fuzz-" + std::to_string(getpid()) + "-" + std::to_string(runs++) + ".wav");
    setenv("MP3_OUTPUT", ("wav:" + wav.string()).c_str(), 1);
    const std::string path = platform::AnsiFromNativePath("/proc/self/fd/" + std::to_string(fd));
    MP3REQUEST request{path.c_str(), 0, nullptr, 0};
    double length = -1, unit = -1;
    lib.gettime(&request, &length, &unit);
    if (length < 0 || unit < 0) __builtin_trap();
    lib.play(&request);
    ::close(fd);
    double played = 0;
    for (const auto& part : fixtures::ReadWavParts(wav.string()))
        if (part.rate > 0) played += part.frames() * 1000.0 / part.rate;
    if (std::abs(played - length) > 2 * unit + 1e-6) __builtin_trap();
    std::filesystem::remove(wav);
    for (int n = 1; std::filesystem::remove(wav.string() + "." + std::to_string(n)); ++n) {
    }
    return 0;
}
