// Windows' own (see Types.h), and the name a function is bound by.
#pragma once

#include "platform/Types.h"

#include <cstring>

namespace platform {
// The export that a call bound by name reaches. On 64-bit Windows user32's
// SetWindowLongA and GetWindowLongA hold 32 bits, too few for a window procedure:
// their pointer-sized twins are bound instead, as 64-bit programs' headers do.
inline const char* EntryPointName(const char* function) {
#ifdef _WIN64
    if (std::strcmp(function, "SetWindowLongA") == 0) return "SetWindowLongPtrA";
    if (std::strcmp(function, "GetWindowLongA") == 0) return "GetWindowLongPtrA";
#endif
    return function;
}
} // namespace platform
