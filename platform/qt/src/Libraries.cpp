#include "platform/Libraries.h"

#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "platform/System.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// kernel32, user32, shell32 and ole32 are this library.
bool IsPlatformName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0)
        name.resize(name.size() - 4);
    return name == "kernel32" || name == "user32" || name == "shell32" || name == "ole32";
}

std::string PlatformLibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LoadLibraryA), &info) && info.dli_fname)
        return info.dli_fname;
    return {};
}

DWORD CopyOut(const std::string& text, char* buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    if (text.size() >= size) {
        std::memcpy(buffer, text.data(), size - 1);
        buffer[size - 1] = '\0';
        return size;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}
} // namespace

extern "C" {
HMODULE LoadLibraryA(const char* fileName) {
    if (!fileName || !*fileName) return nullptr;
    if (IsPlatformName(fileName)) return dlopen(PlatformLibraryPath().c_str(), RTLD_NOW);
    const std::u16string name = platform::FromAnsi(fileName);
    std::string found;
    if (name.find(u'\\') != std::u16string::npos) {
        found = platform::ToNativePath(name);
    } else {
        const std::string bare = platform::ToNativePath(name);
        for (const std::string& dir : {platform::ToNativePath(platform::ProgramFolder()),
                                       platform::NativeSystemDirectory()}) {
            if (IsRegularFile(dir + "/" + bare)) {
                found = dir + "/" + bare;
                break;
            }
        }
    }
    if (found.empty() || !IsRegularFile(found)) return nullptr;
    return dlopen(found.c_str(), RTLD_NOW | RTLD_LOCAL);
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
    if (!module || !procName) return nullptr;
    return reinterpret_cast<FARPROC>(dlsym(module, procName));
}

BOOL FreeLibrary(HMODULE module) {
    if (!module) return FALSE;
    return dlclose(module) == 0 ? TRUE : FALSE;
}

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD bufferSize) {
    std::string native;
    if (!module) {
        char path[4096];
        const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
        if (n <= 0) return 0;
        native.assign(path, static_cast<std::size_t>(n));
    } else {
        link_map* map = nullptr;
        if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return 0;
        native = map->l_name;
    }
    if (native.empty()) return 0;
    return CopyOut(platform::AnsiFromNativePath(native), buffer, bufferSize);
}
}
