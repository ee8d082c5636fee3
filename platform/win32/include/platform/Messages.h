// Windows' own (see Types.h).
#pragma once

#include "platform/Types.h"

#ifdef _WIN64
// 64-bit Windows names a window procedure's slot only by its pointer-sized index; the
// value is the same.
inline constexpr int GWL_WNDPROC = GWLP_WNDPROC;
#endif
