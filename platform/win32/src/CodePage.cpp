#include "platform/CodePage.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {
std::atomic<UINT> codePage{CP_ACP};
} // namespace

// A character the code page cannot hold becomes '?', never a look-alike: "canción"
// in ASCII must not name a file "cancion".
std::string ToAnsi(std::u16string_view wide) {
    if (wide.empty()) return {};
    const UINT page = codePage;
    const DWORD flags = (page == CP_ACP ? GetACP() : page) == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const auto* in = reinterpret_cast<const wchar_t*>(wide.data());
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(page, flags, in, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(page, flags, in, length, out.data(), size, nullptr, nullptr);
    return out;
}

std::u16string FromAnsi(std::string_view ansi) {
    if (ansi.empty()) return {};
    const int length = static_cast<int>(ansi.size());
    const UINT page = codePage;
    const int size = MultiByteToWideChar(page, 0, ansi.data(), length, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(page, 0, ansi.data(), length, reinterpret_cast<wchar_t*>(out.data()), size);
    return out;
}

std::string CodePageName() {
    char name[16];
    std::snprintf(name, sizeof name, "CP%u", codePage == CP_ACP ? GetACP() : codePage.load());
    return name;
}

void SetCodePageForTesting(const std::string& name) {
    if (name.empty())
        codePage = CP_ACP;
    else if (name == "ASCII")
        codePage = 20127;
    else
        codePage = static_cast<UINT>(std::strtoul(name.c_str() + 2, nullptr, 10));
}

} // namespace platform
