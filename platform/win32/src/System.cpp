#include "platform/System.h"

#include "platform/CodePage.h"

#include <vector>

namespace platform {

std::u16string ProgramFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            std::u16string path(reinterpret_cast<const char16_t*>(buffer.data()), n);
            const auto slash = path.find_last_of(u"\\/");
            return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string NativeSystemDirectory() {
    char buffer[MAX_PATH];
    const UINT n = GetSystemDirectoryA(buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

} // namespace platform
