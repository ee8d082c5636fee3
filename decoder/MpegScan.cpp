#include "MpegScan.h"

#include <array>
#include <cstring>
#include <vector>

namespace mp3 {
namespace {

constexpr std::array<std::array<int, 16>, 3> kBitratesV1 = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
}};
constexpr std::array<std::array<int, 16>, 3> kBitratesV2 = {{
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
}};
constexpr std::array<int, 3> kRatesV1 = {44100, 48000, 32000};

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}
std::uint32_t LittleEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) |
           p[0];
}
bool StartsWith(std::span<const std::uint8_t> bytes, const char* text) {
    const std::size_t n = std::strlen(text);
    return bytes.size() >= n && std::memcmp(bytes.data(), text, n) == 0;
}

std::optional<FrameHeader> HeaderAt(ByteSource& src, std::uint64_t pos, std::uint64_t end) {
    if (pos + 4 > end) return std::nullopt;
    const auto bytes = src.read(pos, 4);
    if (bytes.size() < 4) return std::nullopt;
    return ParseFrameHeader(bytes.data());
}

// A frame of the stream at pos that lies wholly before end and is followed by another
// one of the stream (or by the end): what tells a frame from two stray sync bytes.
// depth > 1 asks for that many frames in a row.
std::optional<FrameHeader> FrameAt(ByteSource& src, std::uint64_t pos, std::uint64_t end,
                                   const FrameHeader* stream, int depth) {
    const auto h = HeaderAt(src, pos, end);
    if (!h || (stream && !h->sameStream(*stream)) || pos + h->length > end) return std::nullopt;
    std::uint64_t next = pos + h->length;
    for (int i = 0; i < depth && next != end; ++i) {
        const auto n = HeaderAt(src, next, end);
        if (!n || !n->sameStream(*h) || next + n->length > end) return std::nullopt;
        next += n->length;
    }
    return h;
}

struct Found {
    std::uint64_t pos = 0;
    FrameHeader header;
};

// The first frame at or after pos (and before before), checked as FrameAt does.
std::optional<Found> FindFrame(ByteSource& src, std::uint64_t pos, std::uint64_t end,
                               const FrameHeader* stream, int depth,
                               std::uint64_t before = UINT64_MAX) {
    constexpr std::size_t kChunk = 64 * 1024;
    std::vector<std::uint8_t> chunk;
    while (pos + 4 <= end) {
        const auto bytes =
            src.read(pos, static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, end - pos)));
        if (bytes.size() < 4) return std::nullopt;
        chunk.assign(bytes.begin(), bytes.end()); // FrameAt reads, which moves the window
        for (std::size_t i = 0; i + 4 <= chunk.size(); ++i) {
            if (pos + i >= before) return std::nullopt;
            if (chunk[i] != 0xFF || (chunk[i + 1] & 0xE0) != 0xE0) continue;
            if (auto h = FrameAt(src, pos + i, end, stream, depth)) return Found{pos + i, *h};
        }
        pos += chunk.size() - 3;
    }
    return std::nullopt;
}

// The Xing/Info header of the first frame: frame count, encoder delay and padding.
struct InfoFrame {
    std::uint64_t frames = 0; // 0: not given
    std::uint64_t bytes = 0;  // the stream's size, this frame included; 0: not given
    int delay = 0;
    int padding = 0;
};

std::optional<InfoFrame> ReadInfoFrame(ByteSource& src, std::uint64_t pos, const FrameHeader& h) {
    if (h.layer != 3) return std::nullopt;
    const int sideInfo = h.version == 1 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    const auto frame = src.read(pos, static_cast<std::size_t>(h.length));
    const std::size_t tag = 4 + static_cast<std::size_t>(sideInfo);
    if (frame.size() < tag + 8) return std::nullopt;
    const auto at = frame.subspan(tag);
    if (!StartsWith(at, "Xing") && !StartsWith(at, "Info")) return std::nullopt;
    InfoFrame info;
    const std::uint32_t flags = BigEndian32(at.data() + 4);
    std::size_t q = 8;
    if (flags & 1) {
        if (at.size() < q + 4) return info;
        info.frames = BigEndian32(at.data() + q);
        q += 4;
    }
    if (flags & 2) {
        if (at.size() < q + 4) return info;
        info.bytes = BigEndian32(at.data() + q);
        q += 4;
    }
    if (flags & 4) q += 100;
    if (flags & 8) q += 4;
    // The LAME extension: a 9-byte encoder name, then delay and padding 12 bits each.
    if (at.size() >= q + 24 && at[q] >= 'A' && at[q] <= 'Z') {
        info.delay = (at[q + 21] << 4) | (at[q + 22] >> 4);
        info.padding = ((at[q + 22] & 0x0F) << 8) | at[q + 23];
    }
    return info;
}

} // namespace

std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return std::nullopt;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3)
        return std::nullopt;
    FrameHeader h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = 4 - layerBits;
    const auto& table = h.version == 1 ? kBitratesV1 : kBitratesV2;
    h.bitrateKbps =
        table[static_cast<std::size_t>(h.layer - 1)][static_cast<std::size_t>(bitrateIndex)];
    h.sampleRate = kRatesV1[static_cast<std::size_t>(rateIndex)] / (h.version == 1   ? 1
                                                                    : h.version == 2 ? 2
                                                                                     : 4);
    h.channels = (p[3] >> 6) == 3 ? 1 : 2;
    const int padding = (p[2] >> 1) & 1;
    const long bits = h.bitrateKbps * 1000L;
    if (h.layer == 1) {
        h.samplesPerFrame = 384;
        h.length = static_cast<int>((12 * bits / h.sampleRate + padding) * 4);
    } else if (h.layer == 2 || h.version == 1) {
        h.samplesPerFrame = 1152;
        h.length = static_cast<int>(144 * bits / h.sampleRate + padding);
    } else {
        h.samplesPerFrame = 576;
        h.length = static_cast<int>(72 * bits / h.sampleRate + padding);
    }
    return h;
}

AudioRange FindAudioRange(ByteSource& src) {
    AudioRange r{0, src.size()};
    for (;;) { // ID3v2 tags, possibly several
        const auto head = src.read(r.begin, 10);
        if (head.size() < 10 || !StartsWith(head, "ID3") || head[3] == 0xFF || head[4] == 0xFF ||
            ((head[6] | head[7] | head[8] | head[9]) & 0x80))
            break;
        const std::uint64_t size =
            (std::uint64_t{head[6]} << 21) | (head[7] << 14) | (head[8] << 7) | head[9];
        r.begin += 10 + size + ((head[5] & 0x10) ? 10 : 0);
    }
    if (r.begin >= r.end) return {r.end, r.end};
    for (bool again = true; again;) { // tags at the end, in any order
        again = false;
        const std::uint64_t len = r.end - r.begin;
        if (len >= 128 && StartsWith(src.read(r.end - 128, 3), "TAG")) {
            r.end -= 128;
            again = true;
            continue;
        }
        if (len >= 32) {
            const auto footer = src.read(r.end - 32, 32);
            if (footer.size() == 32 && StartsWith(footer, "APETAGEX")) {
                const std::uint64_t total = LittleEndian32(footer.data() + 12) +
                                            ((LittleEndian32(footer.data() + 20) >> 31) ? 32 : 0);
                if (total >= 32 && total <= len) {
                    r.end -= total;
                    again = true;
                    continue;
                }
            }
        }
        if (len >= 15) {
            const auto tail = src.read(r.end - 15, 15);
            if (tail.size() == 15 && std::memcmp(tail.data() + 6, "LYRICS200", 9) == 0) {
                std::uint64_t size = 0;
                bool digits = true;
                for (int i = 0; i < 6; ++i) {
                    digits = digits && tail[i] >= '0' && tail[i] <= '9';
                    size = size * 10 + (tail[i] - '0');
                }
                if (digits && size + 15 <= len) {
                    r.end -= size + 15;
                    again = true;
                }
            }
        }
    }
    return r;
}

namespace {

// The audio starts within this much of the leading tags, or the file is no song: a
// large file of something else is not read through.
constexpr std::uint64_t kFirstFrameWithin = 1 << 20;

std::optional<Found> FindFirstFrame(ByteSource& src, const AudioRange& range) {
    return FindFrame(src, range.begin, range.end, nullptr, 2, range.begin + kFirstFrameWithin);
}

} // namespace

bool HasAudio(ByteSource& src) {
    return FindFirstFrame(src, FindAudioRange(src)).has_value();
}

SongInfo ScanSong(ByteSource& src) {
    const AudioRange range = FindAudioRange(src);
    const auto first = FindFirstFrame(src, range);
    if (!first) return {};
    const FrameHeader stream = first->header;
    SongInfo info;
    info.sampleRate = stream.sampleRate;
    info.channels = stream.channels;
    info.samplesPerFrame = stream.samplesPerFrame;

    std::uint64_t pos = first->pos;
    const auto infoFrame = ReadInfoFrame(src, pos, stream);
    if (infoFrame) pos += stream.length; // the decoder skips it: it holds no audio
    // A file cut short since it was written holds fewer frames than its header says.
    const bool cutShort = infoFrame && infoFrame->bytes > range.end - first->pos;
    if (infoFrame && infoFrame->frames > 0 && !cutShort) {
        info.frames = infoFrame->frames;
        info.fromHeader = true;
    } else {
        while (pos < range.end) {
            if (const auto h = FrameAt(src, pos, range.end, &stream, 0)) {
                ++info.frames;
                pos += h->length;
                continue;
            }
            // Damaged data: go on at the next frame that another frame follows.
            const auto next = FindFrame(src, pos + 1, range.end, &stream, 1);
            if (!next) break;
            pos = next->pos;
        }
    }
    info.samples = info.frames * static_cast<std::uint64_t>(info.samplesPerFrame);
    if (infoFrame && (infoFrame->delay || infoFrame->padding)) {
        // A gapless decoder drops the encoder delay and its own (529 samples) at the
        // start, and the padding less its delay where the header says the stream ends.
        constexpr int kDecoderDelay = 529;
        const std::uint64_t trim = static_cast<std::uint64_t>(
            infoFrame->delay + (cutShort ? kDecoderDelay : infoFrame->padding));
        if (trim < info.samples) info.samples -= trim;
    }
    if (info.frames == 0) return {};
    return info;
}

} // namespace mp3
