// Text between UTF-16 and the system's ANSI code page (CP_ACP), as the -A functions
// take it. A character the code page cannot hold becomes '?'.
#pragma once

#include "platform/Types.h"

#include <string>
#include <string_view>

namespace platform {
std::string ToAnsi(std::u16string_view wide);
std::u16string FromAnsi(std::string_view ansi);
// The code page in use, e.g. "CP1252".
std::string CodePageName();
// For tests: convert with another code page ("ASCII" or "CPnnnn"); empty goes back to
// the system's. Windows' own -A functions keep the system's.
void SetCodePageForTesting(const std::string& name);
} // namespace platform
