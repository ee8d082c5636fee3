// A program's version information, carried in its file as an ELF note (the
// platform's version resource): name "ZAMPOLO", type 1, and as description
// "Key=Value" texts, each ending in a NUL. `readelf -n program` shows it.
//
//   ZAMPOLO_VERSION_INFO("FileVersion=1.00\0ProductVersion=1.00\0Language=040A\0...");
#pragma once

#include <cstdint>

namespace platform::detail {
template <std::uint32_t N> struct alignas(4) VersionNote {
    std::uint32_t nameSize = 8; // "ZAMPOLO" and its NUL
    std::uint32_t descSize = N;
    std::uint32_t type = 1;
    char name[8] = {'Z', 'A', 'M', 'P', 'O', 'L', 'O', '\0'};
    char desc[(N + 3) / 4 * 4];
};
} // namespace platform::detail

// Aligned to 4 on the variable too: left alone, the compiler aligns a big object to 32,
// and a note section must be aligned to 4.
#define ZAMPOLO_VERSION_INFO(text)                                                                 \
    [[gnu::used, gnu::aligned(4), gnu::section(".note.zampolo.version")]] static const ::platform:: \
        detail::VersionNote<sizeof(text)>                                                          \
            zampolo_version_note = {8u, sizeof(text), 1u, {'Z', 'A', 'M', 'P', 'O', 'L', 'O', '\0'},  \
                                    text}
