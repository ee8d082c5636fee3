#include "Os.h"

#include <windows.h>

#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>

// The C runtime's own _onexit (msvcrt.dll's), not the DLL's local one.
extern "C" _onexit_t(__cdecl* __MINGW_IMP_SYMBOL(_onexit))(_onexit_t);

namespace mp3::os {
namespace {

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// A C runtime descriptor that owns the handle, or -1 (the handle then closed).
int Descriptor(HANDLE handle, int flags) {
    if (handle == INVALID_HANDLE_VALUE) return -1;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) CloseHandle(handle);
    return fd;
}

OVERLAPPED At(std::uint64_t pos) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(pos);
    at.OffsetHigh = static_cast<DWORD>(pos >> 32);
    return at;
}

// A read or write at a position moves the handle's own position, which libmpg123
// reads from: it is put back, as pread and pwrite leave it.
class KeepPosition {
public:
    explicit KeepPosition(HANDLE handle) : handle_(handle) {
        SetFilePointerEx(handle_, LARGE_INTEGER{}, &pos_, FILE_CURRENT);
    }
    ~KeepPosition() { SetFilePointerEx(handle_, pos_, nullptr, FILE_BEGIN); }
    KeepPosition(const KeepPosition&) = delete;
    KeepPosition& operator=(const KeepPosition&) = delete;

private:
    HANDLE handle_;
    LARGE_INTEGER pos_{};
};

} // namespace

int OpenSong(const char* ansiPath, std::uint64_t& size) {
    size = 0;
    // Others may go on reading, writing, renaming or deleting the song meanwhile, as
    // on Linux. A folder does not open without backup semantics; a pipe or device is
    // refused by its type before anything is read.
    HANDLE file =
        CreateFileA(ansiPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER length{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length)) {
        CloseHandle(file);
        return -1;
    }
    const int fd = Descriptor(file, _O_RDONLY);
    if (fd >= 0) size = static_cast<std::uint64_t>(length.QuadPart);
    return fd;
}

int CreateOutputFile(const std::string& path) {
    return Descriptor(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
                      _O_WRONLY);
}

void CloseFile(int fd) {
    _close(fd); // closes the handle too
}

std::size_t ReadAt(int fd, std::uint64_t pos, std::uint8_t* buffer, std::size_t n) {
    const KeepPosition keep(HandleOf(fd));
    std::size_t done = 0;
    while (done < n) {
        OVERLAPPED at = At(pos + done);
        DWORD got = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
        if (!ReadFile(HandleOf(fd), buffer + done, want, &got, &at) || got == 0) break;
        done += got;
    }
    return done;
}

std::size_t WriteAt(int fd, std::uint64_t pos, const std::uint8_t* data, std::size_t n) {
    const KeepPosition keep(HandleOf(fd));
    std::size_t done = 0;
    while (done < n) {
        OVERLAPPED at = At(pos + done);
        DWORD put = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
        if (!WriteFile(HandleOf(fd), data + done, want, &put, &at) || put == 0) break;
        done += put;
    }
    return done;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// libout123's waveOut module, built in.
const char* DefaultDrivers() {
    return "win32";
}

// A second in waveOut's eight buffers instead of libout123's quarter: the device
// thread then wakes 18 times a second, not 72, for a stream that is only ever
// stopped at once (waveOutReset). It stays under the output's idle close, whose
// close plays out what is left.
double DeviceBuffer() {
    return 1.0;
}

void NameThread(const char* name) {
    // SetThreadDescription is not in every Windows; the debugger sees names without it.
    (void)name;
}

namespace {
void (*exitFunction)() = nullptr;
int __cdecl CallAtExit() {
    exitFunction();
    return 0;
}
} // namespace

void AtExit(void (*fn)()) {
    // A DLL's own atexit runs at its detach, when ExitProcess has already ended the
    // other threads: the C runtime's shared table runs at exit, before that. The
    // library is pinned, so that the function is still there then.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&AtExit), &self);
    exitFunction = fn;
    (*__MINGW_IMP_SYMBOL(_onexit))(&CallAtExit);
}

} // namespace mp3::os
