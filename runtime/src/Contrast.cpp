#include "Contrast.h"

#include <algorithm>
#include <cmath>

namespace runtime::detail {
namespace {
// Relative luminance of an sRGB colour.
double Luminance(std::uint32_t c) {
    const auto linear = [](std::uint32_t v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c & 0xFF) + 0.7152 * linear((c >> 8) & 0xFF) +
           0.0722 * linear((c >> 16) & 0xFF);
}

double Contrast(std::uint32_t a, std::uint32_t b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
} // namespace

std::uint32_t ReadableOn(std::uint32_t back, std::uint32_t text) {
    constexpr std::uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF;
    if (Contrast(back, text) >= 3.0) return text;
    return Contrast(back, kBlack) >= Contrast(back, kWhite) ? kBlack : kWhite;
}
} // namespace runtime::detail
