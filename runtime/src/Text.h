// Inner helpers of the runtime.
#pragma once

#include "runtime/Errors.h"

#include <string>
#include <string_view>

namespace runtime::detail {
std::string Utf8(std::u16string_view text);
String Utf16(std::string_view utf8);
// The program is ending (an untrapped error is being reported): forms raise no more
// events.
void SetEnding();
bool IsEnding();
} // namespace runtime::detail
