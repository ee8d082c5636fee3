// Paths are Windows paths as they come. The native form, as the C runtime and
// std::filesystem take narrow names, is the ANSI code page too.
#pragma once

#include "platform/Types.h"

#include <string>
#include <string_view>

namespace platform {
std::u16string FromNativePath(std::string_view native);
std::string ToNativePath(std::u16string_view path);
std::string NativePathFromAnsi(std::string_view ansiPath);
std::string AnsiFromNativePath(std::string_view native);
} // namespace platform
