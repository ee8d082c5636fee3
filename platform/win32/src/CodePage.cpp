#include "platform/CodePage.h"

#include <cstdio>

namespace platform {

std::string ToAnsi(std::u16string_view wide) {
    if (wide.empty()) return {};
    const auto* in = reinterpret_cast<const wchar_t*>(wide.data());
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, in, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, in, length, out.data(), size, nullptr, nullptr);
    return out;
}

std::u16string FromAnsi(std::string_view ansi) {
    if (ansi.empty()) return {};
    const int length = static_cast<int>(ansi.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, reinterpret_cast<wchar_t*>(out.data()),
                        size);
    return out;
}

std::string CodePageName() {
    char name[16];
    std::snprintf(name, sizeof name, "CP%u", GetACP());
    return name;
}

} // namespace platform
