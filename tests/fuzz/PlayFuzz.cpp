// libFuzzer: MP3.DLL's exports on arbitrary files, through the platform's 8-bit paths,
// with unpaced output. Each input is one file; mp3gettime and mp3play must return.
#include "MP3Request.h"

#include "platform/Libraries.h"
#include "platform/Paths.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {
struct Library {
    Library() {
        setenv("MP3_OUTPUT", "fast", 1);
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
    const int fd = memfd_create("song.mp3", MFD_CLOEXEC);
    if (fd < 0) return 0;
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const std::string path = platform::AnsiFromNativePath("/proc/self/fd/" + std::to_string(fd));
    MP3REQUEST request{path.c_str(), 0, nullptr, 0};
    double length = -1, unit = -1;
    lib.gettime(&request, &length, &unit);
    if (length < 0 || unit < 0) __builtin_trap();
    lib.play(&request);
    ::close(fd);
    return 0;
}
