// Text between UTF-16 and the platform's 8-bit code page (CP_ACP): the locale's
// character set, where a C or POSIX locale counts as UTF-8. A character the code page
// cannot hold becomes '?'. In UTF-8, bytes that are not valid UTF-8 come in as the
// escapes U+DC80..U+DCFF and go out as the same bytes, as in paths (Paths.h).
#pragma once

#include "platform/Types.h"

#include <string>
#include <string_view>

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_UTF8 = 65001;

extern "C" {
// Win32 conventions: length -1 means NUL-terminated (and the NUL is converted too);
// outSize 0 asks for the size needed; the result is the count written, 0 on failure
// (including a too-small buffer).
ZPAPI int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideLength,
                              char* out, int outSize, const char* defaultChar,
                              BOOL* usedDefaultChar);
ZPAPI int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int textLength,
                              WCHAR* out, int outSize);
}

namespace platform {
// Whole-string forms of the two conversions above (CP_ACP).
ZPAPI std::string ToAnsi(std::u16string_view wide);
ZPAPI std::u16string FromAnsi(std::string_view ansi);
// The name of the code page in use, e.g. "UTF-8" or "ISO-8859-1".
ZPAPI std::string CodePageName();
// For tests: use another character set (an iconv name); empty goes back to the locale's.
ZPAPI void SetCodePageForTesting(const std::string& charset);
} // namespace platform
