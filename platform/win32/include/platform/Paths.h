// Paths are Windows paths as they come. Their narrow native form is UTF-8, as on
// Linux, so that no name is lost; hand it to Windows as UTF-16
// (std::filesystem::path of a char8_t or char16_t string, or the -W functions).
#pragma once

#include "platform/Types.h"

#include <string>
#include <string_view>

namespace platform {
std::u16string FromNativePath(std::string_view native);
std::string ToNativePath(std::u16string_view path);
// The same for 8-bit platform paths in the ANSI code page.
std::string NativePathFromAnsi(std::string_view ansiPath);
std::string AnsiFromNativePath(std::string_view native);
} // namespace platform
