// Random numbers, the timer and number formatting.
#include "runtime/Services.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

namespace runtime {
namespace {
// The program's one generator; the window thread is its only user.
std::mt19937& Generator() {
    static std::mt19937 generator;
    return generator;
}

String Ascii(std::string_view text) {
    return String(text.begin(), text.end());
}
} // namespace

void Randomize() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    std::seed_seq seq{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
    Generator().seed(seq);
}

void Randomize(Double seed) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &seed, sizeof bits);
    std::seed_seq seq{static_cast<std::uint32_t>(bits), static_cast<std::uint32_t>(bits >> 32)};
    Generator().seed(seq);
}

Single Rnd() {
    // The top 24 bits fill a float's mantissa exactly: 0 <= u <= 1 - 2^-24.
    return static_cast<Single>(Generator()() >> 8) * (1.0f / 16777216.0f);
}

Single Timer() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() %
        1000000;
    return static_cast<Single>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) +
           static_cast<Single>(micros) / 1e6f;
}

String Format(Double number, const String& pattern) {
    if (pattern.empty()) {
        char buffer[64];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
        return Ascii(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
    }
    if (pattern.find_first_not_of(u'0') != String::npos) Raise(err::kInvalidCall);
    if (!std::isfinite(number)) Raise(err::kOverflow);
    const Double rounded = std::round(number);
    char buffer[400];
    const int n = std::snprintf(buffer, sizeof buffer, "%.0f", std::fabs(rounded));
    std::string digits(buffer, static_cast<std::size_t>(n));
    if (digits.size() < pattern.size()) digits.insert(0, pattern.size() - digits.size(), '0');
    if (rounded < 0) digits.insert(0, 1, '-');
    return Ascii(digits);
}
} // namespace runtime
