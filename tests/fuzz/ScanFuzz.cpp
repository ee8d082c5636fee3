// libFuzzer: the frame scanner behind mp3gettime, on arbitrary bytes.
#include "MpegScan.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mp3::MemorySource src(std::span<const std::uint8_t>(data, size));
    const mp3::AudioRange range = mp3::FindAudioRange(src);
    if (range.begin > range.end || range.end > size) __builtin_trap();
    const mp3::SongInfo info = mp3::ScanSong(src);
    if (info.valid() && (info.lengthMs() < 0 || info.unitMs() <= 0)) __builtin_trap();
    return 0;
}
