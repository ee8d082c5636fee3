// UTF-8 <-> UTF-16 without a locale: native file names are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace platform::detail {
// Unpaired surrogates become `bad`; invalid UTF-8 becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view wide, char bad = '?');
std::u16string Utf8ToUtf16(std::string_view text);
} // namespace platform::detail
