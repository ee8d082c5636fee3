// File look-up and copy.
#include "runtime/Services.h"

#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace runtime {
namespace {
String NameOf(const String& path) {
    return path.substr(path.find_last_of(u'\\') + 1);
}

[[noreturn]] void RaiseFor(int error, int otherwise) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        Raise(err::kPermissionDenied);
    case ENOSPC:
    case EDQUOT:
        Raise(err::kDiskFull);
    default:
        Raise(otherwise);
    }
}

// Writes all of data, going on after interruptions and short writes.
bool WriteAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= n;
    }
    return true;
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};
} // namespace

String Dir(const String& path) {
    const String name = NameOf(path);
    if (name.empty() || name.front() == u'.') return {};
    struct stat st {};
    if (stat(platform::ToNativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return name;
}

void FileCopy(const String& source, const String& target) {
    const std::string from = platform::ToNativePath(source);
    const std::string to = platform::ToNativePath(target);

    Fd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) Raise(err::kFileNotFound);
        RaiseFor(errno, err::kPathFileAccess);
    }
    struct stat st {};
    if (fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) Raise(err::kPathFileAccess);

    const auto slash = to.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : to.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? to : to.substr(slash + 1);
    struct stat folderSt {};
    if (name.empty()) Raise(err::kPathFileAccess);
    if (stat(folder.c_str(), &folderSt) != 0 || !S_ISDIR(folderSt.st_mode))
        Raise(err::kPathNotFound);
    struct stat old {};
    if (stat(to.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) Raise(err::kPathFileAccess);
        // A read-only file is not overwritten, as the copy would refuse on Windows.
        if ((old.st_mode & 0222) == 0) Raise(err::kPermissionDenied);
    }

    // The copy is written under a hidden temporary name beside the target and renamed
    // onto it only when complete, so no half-written file ever bears the target's name.
    std::string temp = folder + "." + name + ".XXXXXX";
    Fd out(mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0) RaiseFor(errno, err::kPathFileAccess);
    const auto fail = [&](int error) {
        unlink(temp.c_str());
        RaiseFor(error, err::kPathFileAccess);
    };
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(in.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(errno);
        if (n == 0) break;
        if (!WriteAll(out.get(), buffer, n)) fail(errno);
    }
    if (fchmod(out.get(), st.st_mode & 0777) != 0 || fsync(out.get()) != 0) fail(errno);
    if (close(out.release()) != 0) fail(errno);
    if (rename(temp.c_str(), to.c_str()) != 0) fail(errno);
}
} // namespace runtime
