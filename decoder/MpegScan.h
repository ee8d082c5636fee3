// MPEG audio frames found from their headers, without decoding. Only frames that
// prove themselves count: a stream, or a change of format inside it, starts where a
// run of consecutive frames of one format begins; anything else is skipped. The
// playback decodes exactly the frames the walk finds, and the song's length is theirs,
// as libmpg123's gapless decode puts them out; a Xing/Info header (with its LAME
// extension) stands in for the walk where the file bears it out. Pure functions over
// a ByteSource, so they are easy to fuzz.
#pragma once

#include "ByteSource.h"

#include <array>
#include <cstdint>
#include <optional>

namespace mp3 {

struct FrameHeader {
    int version = 0;     // 1 = MPEG-1, 2 = MPEG-2, 25 = MPEG-2.5
    int layer = 0;       // 1, 2 or 3
    int bitrateKbps = 0; // 0: free format
    int sampleRate = 0;
    int channels = 0;
    int samplesPerFrame = 0;
    int padding = 0;  // bytes the padding bit adds
    int length = 0;   // bytes, header included; 0 for free format (the stream tells)
    bool crc = false; // a CRC-16 follows the header

    bool freeFormat() const { return bitrateKbps == 0; }
    // Frames of one stream keep version, layer, sample rate, mono or not, and free format.
    bool sameStream(const FrameHeader& other) const {
        return version == other.version && layer == other.layer && sampleRate == other.sampleRate &&
               channels == other.channels && freeFormat() == other.freeFormat();
    }
};

// The header starting at p (4 bytes), or nothing when it is not a frame header.
std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* p);

// Where the audio lies: after the ID3v2 tags at the start, before the APE, Lyrics3
// and ID3v1 tags at the end.
struct AudioRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};
AudioRange FindAudioRange(ByteSource& src);

// A free-format stream's frame size without padding (0 for other streams).
struct Stream {
    FrameHeader header;
    int freeBytes = 0;
};

// A Xing/Info header in the first frame: frame count, encoder delay and padding.
struct InfoFrame {
    std::uint64_t frames = 0; // 0: not given
    std::uint64_t bytes = 0;  // the stream's size, this frame included; 0: not given
    int delay = 0;
    int padding = 0;
    std::optional<std::array<std::uint8_t, 100>> toc; // byte offsets by percent of time, /256
};

struct Frame {
    std::uint64_t pos = 0;
    FrameHeader header;  // with its length
    bool silent = false; // stands in for a frame the header's song lacks: see silentHeader
};

// The frames that play, in file order. Tags are stepped over; where the next frame
// does not follow on, the walk goes on at the next run of frames. A song whose Info
// header is believed has just the frames the header counts: those of its stream
// found in its bytes, then silent ones for any that damage took, so that it plays
// as long as the header says.
class FrameWalker {
public:
    explicit FrameWalker(ByteSource& src);
    std::optional<Frame> next();
    // Goes on after the first song, as its Info header has counted its frames.
    void skipSong();
    // The first song's Info header where the file bears it out; the first frame then
    // is that header's. An Info frame it does not bear out is skipped.
    const std::optional<InfoFrame>& info() const { return info_; }
    // A silent frame is this header (the Info frame's, without CRC or padding), then
    // zeros: no side information, no audio data.
    const std::array<std::uint8_t, 4>& silentHeader() const { return silentHeader_; }

private:
    std::optional<Frame> walk(std::uint64_t end, bool anyStream);

    ByteSource& src_;
    AudioRange range_;
    Stream stream_;
    std::uint64_t pos_ = 0;
    bool started_ = false;
    std::optional<InfoFrame> info_;
    int freeBytes_ = 0; // the frame size of the first free-format stream, which all keep
    // The header's song: where it ends, its stream and the frames still to come.
    std::uint64_t songEnd_ = 0;
    Stream songStream_;
    std::uint64_t songLeft_ = 0;
    Frame silent_;
    std::array<std::uint8_t, 4> silentHeader_{};
};

// Rate, channels and frame size are the first frame's; samples counts the frames at
// that rate and frame size.
struct SongInfo {
    std::uint64_t samples = 0; // per channel, as libmpg123's gapless decode puts them out
    std::uint64_t frames = 0;  // audio frames, of every format
    int sampleRate = 0;
    int channels = 0;
    int samplesPerFrame = 0;
    bool fromHeader = false; // the first song's frames counted by its Xing/Info header
    double otherMs = 0;      // the length of the frames at other sample rates

    bool valid() const { return sampleRate > 0 && frames > 0; }
    double lengthMs() const { return valid() ? samples * 1000.0 / sampleRate + otherMs : 0.0; }
    double unitMs() const { return valid() ? samplesPerFrame * 1000.0 / sampleRate : 0.0; }
};

// Nothing valid for empty, tag-only and non-MPEG data.
SongInfo ScanSong(ByteSource& src);

} // namespace mp3
