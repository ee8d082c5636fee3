#include "runtime/Strings.h"

#include "Text.h"

namespace runtime {
namespace {
void CheckArgument(bool ok) {
    if (!ok) Raise(err::kInvalidCall);
}
} // namespace

Long Len(const String& text) {
    return static_cast<Long>(text.size());
}

String Mid(const String& text, Long start) {
    CheckArgument(start >= 1);
    if (static_cast<std::size_t>(start) > text.size()) return {};
    return text.substr(static_cast<std::size_t>(start - 1));
}

String Mid(const String& text, Long start, Long length) {
    CheckArgument(start >= 1 && length >= 0);
    if (static_cast<std::size_t>(start) > text.size()) return {};
    return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length));
}

String Left(const String& text, Long length) {
    CheckArgument(length >= 0);
    return text.substr(0, static_cast<std::size_t>(length));
}

String Right(const String& text, Long length) {
    CheckArgument(length >= 0);
    const auto n = static_cast<std::size_t>(length);
    return n >= text.size() ? text : text.substr(text.size() - n);
}

String UCase(const String& text) {
    String upper = text;
    // Character by character (simple case mapping), so the length never changes.
    for (char16_t& c : upper) c = detail::UpperCase(c);
    return upper;
}

Long InStr(const String& text, const String& sought) {
    return InStr(1, text, sought);
}

Long InStr(Long start, const String& text, const String& sought) {
    CheckArgument(start >= 1);
    const auto from = static_cast<std::size_t>(start - 1);
    if (from > text.size()) return 0;
    const auto found = text.find(sought, from);
    return found == String::npos ? 0 : static_cast<Long>(found + 1);
}

String Chr(Long code) {
    CheckArgument(code >= 0 && code <= 255);
    return String(1, static_cast<char16_t>(code));
}

String FillString(Long count, const String& character) {
    CheckArgument(count >= 0 && !character.empty());
    return String(static_cast<std::size_t>(count), character.front());
}
} // namespace runtime
