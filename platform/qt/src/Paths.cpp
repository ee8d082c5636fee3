#include "platform/Paths.h"

#include "Utf.h"
#include "platform/CodePage.h"

#include <fcntl.h>

namespace platform {
std::u16string FromNativePath(std::string_view native) {
    std::u16string path;
    for (char16_t c : detail::Utf8ToUtf16(native)) {
        if (c == u'\\')
            path += kEscapedBackslash;
        else if (c == u'/')
            path += u'\\';
        else if (c == kEscapedBackslash)
            path += u"\xDCEF\xDC81\xDC9C"; // a U+F05C of the name's own, as its bytes
        else
            path += c;
    }
    return path;
}

std::string ToNativePath(std::u16string_view path) {
    std::u16string p(path);
    for (auto& c : p) {
        if (c == u'\\')
            c = u'/';
        else if (c == kEscapedBackslash)
            c = u'\\';
    }
    return detail::Utf16ToUtf8(p);
}

std::string NativePathFromAnsi(std::string_view ansiPath) {
    return ToNativePath(FromAnsi(ansiPath));
}

std::string AnsiFromNativePath(std::string_view native) {
    return ToAnsi(FromNativePath(native));
}

int OpenFileA(const char* ansiPath, int flags) {
    if (!ansiPath) {
        errno = EINVAL;
        return -1;
    }
    const std::string native = NativePathFromAnsi(ansiPath);
    return ::open(native.c_str(), flags | O_CLOEXEC);
}
} // namespace platform
