// Which colour a caption is drawn in on a coloured button, the same on every system.
#pragma once

#include <cstdint>

namespace runtime::detail {
// text, unless it is too close to back to read (a contrast ratio under 3:1, the least
// for large text), else black or white, whichever stands out more from back. Colours
// are 0xBBGGRR.
std::uint32_t ReadableOn(std::uint32_t back, std::uint32_t text);
} // namespace runtime::detail
