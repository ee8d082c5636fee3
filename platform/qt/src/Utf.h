// UTF-8 <-> UTF-16 without a locale: native file names are UTF-8, or whatever bytes
// the file system holds. A byte that is not part of valid UTF-8 becomes the escape
// U+DC00 + byte (U+DC80..U+DCFF) and is written back as that byte, so every name
// survives the trip.
#pragma once

#include <string>
#include <string_view>

namespace platform::detail {
inline bool IsByteEscape(char32_t c) {
    return c >= 0xDC80 && c <= 0xDCFF;
}
// Escapes become their bytes; other unpaired surrogates become `bad`.
std::string Utf16ToUtf8(std::u16string_view wide, char bad = '?');
// Invalid bytes become escapes. With escapeForms, an escape's own 3-byte form (the
// UTF-8 shape of U+DC80..U+DCFF, never valid UTF-8) reads as that escape.
std::u16string Utf8ToUtf16(std::string_view text, bool escapeForms = false);
// The UTF-8 bytes of one code point, surrogates included.
void AppendUtf8(std::string& out, char32_t c);
} // namespace platform::detail
