#include "Os.h"

#include "platform/Paths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mp3::os {

int OpenSong(const char* ansiPath, std::uint64_t& size) {
    // Opened without blocking, so that a FIFO or a device fails at once instead of
    // waiting in open() for a writer; a regular file is then read as usual.
    int fd = platform::OpenFileA(ansiPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
                    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
        ::close(fd);
        fd = -1;
    }
    size = fd >= 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return fd;
}

int CreateOutputFile(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

void CloseFile(int fd) {
    ::close(fd);
}

std::size_t ReadAt(int fd, std::uint64_t pos, std::uint8_t* buffer, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = pread(fd, buffer + done, n - done, static_cast<off_t>(pos + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}

std::size_t WriteAt(int fd, std::uint64_t pos, const std::uint8_t* data, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = pwrite(fd, data + done, n - done, static_cast<off_t>(pos + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// libout123's own order, less the drivers that "open" without a device (dummy discards
// unpaced; openal, finding none, spins forever in close), nas (5 s to find no server)
// and portaudio, which only fronts ALSA and JACK again.
const char* DefaultDrivers() {
    return "pulse,alsa,oss,jack";
}

// PulseAudio's own buffering is kept: libout123's stream runs about 0.2 s ahead.
double DeviceBuffer() {
    return 0;
}

void NameThread(const char* name) {
    pthread_setname_np(pthread_self(), name);
}

namespace {
void (*exitFunction)() = nullptr;
pid_t exitProcess = 0;
void CallAtExit() {
    // A child forked since has none of the parent's threads to wait for.
    if (getpid() == exitProcess) exitFunction();
}
} // namespace

void AtExit(void (*fn)()) {
    // Run by exit, and by dlclose before the library goes, with the threads running.
    exitFunction = fn;
    exitProcess = getpid();
    std::atexit(&CallAtExit);
}

} // namespace mp3::os
