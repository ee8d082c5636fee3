#include "platform/System.h"

#include "Utf.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace platform {
std::string NativeSystemDirectory() {
    const char* env = std::getenv("ZAMPOLO_SYSTEM_DIR");
    std::string dir = env && *env ? env : ZAMPOLO_DEFAULT_SYSTEM_DIR;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

static std::string NativeProgramPath() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::u16string ProgramFolder() {
    return FromNativePath(fs::path(NativeProgramPath()).parent_path().string());
}

int StartupShowState() {
    static const int state = [] {
        const char* v = std::getenv("ZAMPOLO_SHOW_STATE");
        return v && *v ? std::atoi(v) : 10; // SW_SHOWDEFAULT
    }();
    return state;
}
} // namespace platform

namespace {
// Splits a command line into words; double quotes group blanks into one word.
std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inQuotes = false, haveWord = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
            haveWord = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (haveWord) words.push_back(word);
            word.clear();
            haveWord = false;
        } else {
            word += c;
            haveWord = true;
        }
    }
    if (haveWord) words.push_back(word);
    return words;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The native file of a program named in a command line, or empty with the reason.
std::string FindProgram(const std::string& ansiName, UINT& error) {
    const std::u16string name = platform::FromAnsi(ansiName);
    if (name.find(u'\\') != std::u16string::npos) {
        std::string native = platform::ToNativePath(name);
        if (IsRegularFile(native)) return native;
        error = fs::is_directory(fs::path(native).parent_path()) ? ERROR_FILE_NOT_FOUND
                                                                 : ERROR_PATH_NOT_FOUND;
        return {};
    }
    const std::string bare = platform::ToNativePath(name);
    std::vector<std::string> dirs = {platform::ToNativePath(platform::ProgramFolder()),
                                     platform::NativeSystemDirectory()};
    if (const char* path = std::getenv("PATH")) {
        std::string p = path;
        std::size_t start = 0;
        while (start <= p.size()) {
            std::size_t end = p.find(':', start);
            if (end == std::string::npos) end = p.size();
            if (end > start) dirs.push_back(p.substr(start, end - start));
            start = end + 1;
        }
    }
    for (const auto& dir : dirs) {
        std::string candidate = dir + "/" + bare;
        if (IsRegularFile(candidate)) return candidate;
    }
    error = ERROR_FILE_NOT_FOUND;
    return {};
}
} // namespace

extern "C" {
UINT GetSystemDirectoryA(char* buffer, UINT size) {
    const std::string dir = platform::AnsiFromNativePath(platform::NativeSystemDirectory());
    if (!buffer || size <= dir.size()) return static_cast<UINT>(dir.size() + 1);
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return static_cast<UINT>(dir.size());
}

UINT WinExec(const char* commandLine, UINT cmdShow) {
    if (!commandLine) return ERROR_FILE_NOT_FOUND;
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) return ERROR_FILE_NOT_FOUND;
    UINT error = 0;
    const std::string program = FindProgram(words[0], error);
    if (program.empty()) return error;
    if (::access(program.c_str(), X_OK) != 0) return ERROR_BAD_FORMAT;

    // Arguments reach the program as native (UTF-8) text, still in platform form.
    std::vector<std::string> args;
    args.push_back(program);
    for (std::size_t i = 1; i < words.size(); ++i)
        args.push_back(platform::detail::Utf16ToUtf8(platform::FromAnsi(words[i])));
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        if (std::strncmp(*e, "ZAMPOLO_SHOW_STATE=", 19) != 0) env.emplace_back(*e);
    env.push_back("ZAMPOLO_SHOW_STATE=" + std::to_string(cmdShow));
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = 0;
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    const int rc = posix_spawn(&pid, program.c_str(), nullptr, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return rc == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_BAD_FORMAT;
    // Detached: a thread of its own reaps the child so that no zombie stays behind.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return 33;
}
}
