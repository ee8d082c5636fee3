// Song length from MPEG audio frame headers, without decoding: tags are stepped over,
// a Xing/Info (with its LAME extension) or VBRI header is believed, and otherwise every
// frame header is walked. Pure functions over a ByteSource, so they are easy to fuzz.
#pragma once

#include "ByteSource.h"

#include <cstdint>
#include <optional>

namespace mp3 {

struct FrameHeader {
    int version = 0; // 1 = MPEG-1, 2 = MPEG-2, 25 = MPEG-2.5
    int layer = 0;   // 1, 2 or 3
    int bitrateKbps = 0;
    int sampleRate = 0;
    int channels = 0;
    int samplesPerFrame = 0;
    int length = 0; // bytes, header included

    // Frames of one stream keep version, layer and sample rate.
    bool sameStream(const FrameHeader& other) const {
        return version == other.version && layer == other.layer && sampleRate == other.sampleRate;
    }
};

// The header starting at p (4 bytes), or nothing when it is not a frame header.
// Free-format frames (bitrate index 0) are not taken.
std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* p);

// Where the audio lies: after the ID3v2 tags at the start, before the APE, Lyrics3
// and ID3v1 tags at the end.
struct AudioRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};
AudioRange FindAudioRange(ByteSource& src);

struct SongInfo {
    std::uint64_t samples = 0; // per channel, as a gapless decoder puts them out
    std::uint64_t frames = 0;  // audio frames
    int sampleRate = 0;
    int channels = 0;
    int samplesPerFrame = 0;
    bool fromHeader = false; // counted by a Xing/Info or VBRI header, not walked

    bool valid() const { return sampleRate > 0 && frames > 0; }
    double lengthMs() const { return valid() ? samples * 1000.0 / sampleRate : 0.0; }
    double unitMs() const { return valid() ? samplesPerFrame * 1000.0 / sampleRate : 0.0; }
};

// Nothing valid for empty, tag-only and non-MPEG data.
SongInfo ScanSong(ByteSource& src);
// Whether there is MPEG audio at all: a run of frames after the leading tags.
bool HasAudio(ByteSource& src);

} // namespace mp3
