// Text helpers of the player's display.
#pragma once

#include "runtime/Values.h"

namespace zampoplay {
using runtime::Double;
using runtime::String;

// Milliseconds as mm:ss (at least two digits each). Error 6 past 32767 s.
String FormatTime(Double Milliseconds);
// The text after the path's last backslash; the last character is never examined.
// Error 5 when no backslash stands before it.
String FileNameOf(const String& Path);
} // namespace zampoplay
