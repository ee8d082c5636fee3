#include "platform/Paths.h"

#include "platform/CodePage.h"

namespace platform {
namespace {
std::u16string Wide(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()),
                        size);
    return out;
}
} // namespace

std::u16string FromNativePath(std::string_view native) {
    return Wide(CP_UTF8, native);
}

std::string ToNativePath(std::u16string_view path) {
    if (path.empty()) return {};
    const auto* in = reinterpret_cast<const wchar_t*>(path.data());
    const int length = static_cast<int>(path.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, in, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, in, length, out.data(), size, nullptr, nullptr);
    return out;
}

std::string NativePathFromAnsi(std::string_view ansiPath) {
    return ToNativePath(FromAnsi(ansiPath));
}

std::string AnsiFromNativePath(std::string_view native) {
    return ToAnsi(FromNativePath(native));
}

} // namespace platform
