// String functions on String (UTF-16). Positions count from 1; an invalid argument
// raises error 5.
#pragma once

#include "runtime/Values.h"

namespace runtime {
Long Len(const String& text);
// From position start (1 or more) to the end, or length characters (0 or more).
String Mid(const String& text, Long start);
String Mid(const String& text, Long start, Long length);
String Left(const String& text, Long length);
String Right(const String& text, Long length);
String UCase(const String& text);
// Position of the first found at or after start (1 or more), 0 when none; an empty
// sought text is found at start.
Long InStr(const String& text, const String& sought);
Long InStr(Long start, const String& text, const String& sought);
// The character of a code 0..255.
String Chr(Long code);
// count (0 or more) times the first character of character (not empty).
String FillString(Long count, const String& character);
} // namespace runtime
