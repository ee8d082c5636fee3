// Paths in the platform's form: '\' between folders ("/home/ana/a.mp3" is
// "\home\ana\a.mp3"); a literal backslash inside a native name is U+F05C. A byte that
// is not valid UTF-8 is the escape U+DC00 + byte, and so are the bytes of a U+F05C of
// the name's own: every native name comes back byte for byte. Only the platform
// converts, at every place that touches the file system.
#pragma once

#include "platform/Types.h"

#include <string>
#include <string_view>

namespace platform {
inline constexpr char16_t kEscapedBackslash = u'\uF05C';

// Native (UTF-8 bytes, '/') <-> platform form (UTF-16, '\').
ZPAPI std::u16string FromNativePath(std::string_view native);
ZPAPI std::string ToNativePath(std::u16string_view path);
// The same for 8-bit platform paths in the code page.
ZPAPI std::string NativePathFromAnsi(std::string_view ansiPath);
ZPAPI std::string AnsiFromNativePath(std::string_view native);
// open(2) of an 8-bit platform path; returns the descriptor or -1 with errno set.
ZPAPI int OpenFileA(const char* ansiPath, int flags);
} // namespace platform
