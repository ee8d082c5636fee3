#include "MpegScan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
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

// libmpg123 decodes no frame longer than this (a free-format frame included).
constexpr int kMaxFrameBytes = 3456;

// The frame size of a free-format stream: the distance from the header at pos to the
// next one of the same kind, less the first frame's padding; 0 when there is none.
int FreeFormatBytes(ByteSource& src, std::uint64_t pos, std::uint64_t end, const FrameHeader& h) {
    const auto bytes = src.read(
        pos, static_cast<std::size_t>(std::min<std::uint64_t>(kMaxFrameBytes + 4, end - pos)));
    for (std::size_t i = 5; i + 4 <= bytes.size(); ++i) {
        // Sync, version, layer, bitrate, sample rate and channel mode as the first.
        if (bytes[i] != bytes[0] || (bytes[i + 1] & 0xFE) != (bytes[1] & 0xFE) ||
            (bytes[i + 2] & 0xFC) != (bytes[2] & 0xFC) ||
            (bytes[i + 3] & 0xC0) != (bytes[3] & 0xC0))
            continue;
        const int size = static_cast<int>(i) - h.padding;
        return size > 4 ? size : 0;
    }
    return 0;
}

std::optional<FrameHeader> HeaderAt(ByteSource& src, std::uint64_t pos, std::uint64_t end) {
    if (pos + 4 > end) return std::nullopt;
    const auto bytes = src.read(pos, 4);
    if (bytes.size() < 4) return std::nullopt;
    return ParseFrameHeader(bytes.data());
}

// Which frames may start a new stream: none (only the stream's own go on), or any; a
// free-format one only with frames of freeBytes where that is set, since libmpg123
// sizes all free-format frames of a file as those of the first such stream it meets.
struct NewStream {
    bool any = false;
    int freeBytes = 0;
};
constexpr NewStream kSameStream{};
constexpr NewStream kAnyStream{true, 0};

// The header at pos with its length, when it starts a frame that lies wholly before
// end, of the stream or of a new stream that accept allows, which stream then becomes.
std::optional<FrameHeader> FrameOf(ByteSource& src, std::uint64_t pos, std::uint64_t end,
                                   Stream& stream, NewStream accept) {
    auto h = HeaderAt(src, pos, end);
    if (!h) return std::nullopt;
    if (accept.any) {
        stream = Stream{*h, h->freeFormat() ? FreeFormatBytes(src, pos, end, *h) : 0};
        if (accept.freeBytes != 0 && h->freeFormat() && stream.freeBytes != accept.freeBytes)
            return std::nullopt;
    } else if (!h->sameStream(stream.header)) {
        return std::nullopt;
    }
    if (h->freeFormat()) {
        if (stream.freeBytes == 0) return std::nullopt;
        h->length = stream.freeBytes + h->padding;
    }
    if (h->length > kMaxFrameBytes || pos + h->length > end) return std::nullopt;
    return h;
}

// CRC-16 (polynomial 0x8005) over bits of p, as MPEG audio protects a frame.
std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* p, int bits) {
    for (int i = 0; i < bits; ++i) {
        const bool bit = (p[i / 8] >> (7 - i % 8)) & 1;
        crc = static_cast<std::uint16_t>((crc << 1) ^ (((crc >> 15) ^ bit) ? 0x8005 : 0));
    }
    return crc;
}

// The bits the CRC covers after it, for the layers where they follow from the header
// alone; 0 where they do not (Layer II: they depend on the allocation tables).
int ProtectedBits(const std::uint8_t* p, const FrameHeader& h) {
    if (h.layer == 2) return 0;
    if (h.layer == 3)
        return 8 * (h.version == 1 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17));
    if (h.layer == 1) {
        const int mode = p[3] >> 6;
        const int bound = mode == 1 ? 4 * (((p[3] >> 4) & 3) + 1) : 32;
        return h.channels == 1 ? 128 : 4 * (2 * bound + (32 - bound));
    }
    return 0;
}

// Reads bits from the start of a span, most significant first; 0 past its end.
class Bits {
public:
    explicit Bits(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    unsigned get(int n) {
        unsigned v = 0;
        for (int i = 0; i < n; ++i, ++at_) {
            const std::size_t byte = at_ / 8;
            const unsigned bit = byte < bytes_.size() ? (bytes_[byte] >> (7 - at_ % 8)) & 1 : 0;
            v = (v << 1) | bit;
        }
        return v;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// A free-format Layer II frame's bit allocation (the decoder's table for free format:
// ISO 11172-3 B.2a, or B.1 at the lower rates) followed by no forbidden scalefactor.
bool FreeLayerTwoPlausible(Bits& bits, const FrameHeader& h, int bound) {
    const bool lsf = h.version != 1;
    const int bands = lsf ? 30 : 27;
    std::array<std::array<unsigned, 32>, 2> alloc{}, scfsi{};
    for (int band = 0; band < bands; ++band) {
        const int width = lsf ? (band < 4    ? 4
                                 : band < 11 ? 3
                                             : 2)
                              : (band < 11   ? 4
                                 : band < 23 ? 3
                                             : 2);
        for (int c = 0; c < h.channels; ++c)
            alloc[static_cast<std::size_t>(c)][static_cast<std::size_t>(band)] =
                band < bound || c == 0 ? bits.get(width) : alloc[0][static_cast<std::size_t>(band)];
    }
    for (int band = 0; band < bands; ++band)
        for (int c = 0; c < h.channels; ++c)
            if (alloc[static_cast<std::size_t>(c)][static_cast<std::size_t>(band)])
                scfsi[static_cast<std::size_t>(c)][static_cast<std::size_t>(band)] = bits.get(2);
    for (int band = 0; band < bands; ++band)
        for (int c = 0; c < h.channels; ++c) {
            const auto b = static_cast<std::size_t>(band), k = static_cast<std::size_t>(c);
            if (!alloc[k][b]) continue;
            for (int n = scfsi[k][b] == 0 ? 3 : scfsi[k][b] == 2 ? 1 : 2; n > 0; --n)
                if (bits.get(6) == 63) return false;
        }
    return true;
}

// Whether a frame's side information is what an encoder writes: no forbidden bit
// allocation or scalefactor, no more big values than a granule holds, no window
// switching to long blocks, no unused Huffman table. Layer II's is read in free
// format only, where a tone in PCM looks like frames.
bool SideInfoPlausible(std::span<const std::uint8_t> frame, const FrameHeader& h) {
    Bits bits(frame.subspan(h.crc ? 6 : 4));
    const int channels = h.channels;
    const int bound = (frame[3] >> 6) == 1 ? 4 * (((frame[3] >> 4) & 3) + 1) : 32;
    if (h.layer == 1) {
        for (int band = 0; band < 32; ++band)
            for (int c = 0; c < (band < bound ? channels : 1); ++c)
                if (bits.get(4) == 15) return false;
        return true;
    }
    if (h.layer == 2) return !h.freeFormat() || FreeLayerTwoPlausible(bits, h, bound);
    const bool mpeg1 = h.version == 1;
    bits.get(mpeg1 ? 9 : 8);                              // main_data_begin
    bits.get(mpeg1 ? (channels == 1 ? 5 : 3) : channels); // private bits
    if (mpeg1) bits.get(4 * channels);                    // scfsi
    for (int granule = 0; granule < (mpeg1 ? 2 : 1); ++granule) {
        for (int c = 0; c < channels; ++c) {
            bits.get(12);                        // part2_3_length
            if (bits.get(9) > 288) return false; // big_values
            bits.get(8 + (mpeg1 ? 4 : 9));       // global gain, scalefactor compression
            int tables = 3;
            if (bits.get(1)) { // window switching
                if (bits.get(2) == 0) return false;
                bits.get(1);
                tables = 2;
            }
            for (int t = 0; t < tables; ++t) {
                const unsigned table = bits.get(5);
                if (table == 4 || table == 14) return false;
            }
            bits.get(tables == 2 ? 9 : 7); // subblock gains, or region counts
            bits.get(mpeg1 ? 3 : 2);       // preflag, scalefactor scale, count1 table
        }
    }
    return true;
}

// Whether a frame that starts a run may be one: a layer its version or free format
// does not have, a reserved emphasis, a Layer II bitrate its channel mode does not
// allow, side information no encoder writes, or a CRC that does not hold, say no.
bool Plausible(ByteSource& src, std::uint64_t pos, const FrameHeader& h) {
    // MPEG-2.5 is Layer III's alone, and no encoder writes Layer I in free format; a
    // tone in PCM repeats like free-format frames of any layer.
    if (h.layer != 3 && (h.version == 25 || (h.layer == 1 && h.freeFormat()))) return false;
    const auto bytes = src.read(pos, static_cast<std::size_t>(h.length));
    if (bytes.size() < 4 || (bytes[3] & 3) == 2) return false;
    const int protectedBits = ProtectedBits(bytes.data(), h);
    const std::size_t sideInfo = (h.crc ? 6 : 4) + static_cast<std::size_t>(protectedBits + 7) / 8;
    if (bytes.size() < sideInfo) return false;
    if (h.layer == 2 && h.version == 1 &&
        (h.channels == 1 ? h.bitrateKbps >= 224
                         : (h.bitrateKbps == 32 || h.bitrateKbps == 48 || h.bitrateKbps == 56 ||
                            h.bitrateKbps == 80)))
        return false;
    if (!SideInfoPlausible(bytes, h)) return false;
    if (!h.crc || protectedBits == 0) return true;
    const std::uint16_t crc =
        Crc16(Crc16(0xFFFF, bytes.data() + 2, 16), bytes.data() + 6, protectedBits);
    return crc == ((bytes[4] << 8) | bytes[5]);
}

// Frames that start a stream or a change of format: this many more must follow.
constexpr int kRunDepth = 3;

// A frame at pos, as FrameOf, that depth more plausible frames of its stream follow
// (or the end, after one at least): what tells a frame from stray sync bytes. stream
// changes only when it holds.
std::optional<FrameHeader> FrameAt(ByteSource& src, std::uint64_t pos, std::uint64_t end,
                                   Stream& stream, NewStream accept, int depth) {
    Stream s = stream;
    const auto h = FrameOf(src, pos, end, s, accept);
    if (!h) return std::nullopt;
    // Free format sizes its frames by the distance between headers, as a tone in PCM
    // repeats: it proves itself over twice the run.
    if (h->freeFormat() && depth > 0) depth = 2 * depth + 1;
    std::array<Frame, 8> run{Frame{pos, *h}}; // the headers first: they cost least
    int n = 1;
    for (std::uint64_t next = pos + h->length; n <= depth && next != end; ++n) {
        const auto f = FrameOf(src, next, end, s, kSameStream);
        if (!f) return std::nullopt;
        run[static_cast<std::size_t>(n)] = Frame{next, *f};
        next += f->length;
    }
    // A run cut short by the end still needs two frames; free format, its whole run.
    if (n <= depth && (n == 1 || h->freeFormat())) return std::nullopt;
    for (int i = 0; depth > 0 && i < n; ++i)
        if (!Plausible(src, run[static_cast<std::size_t>(i)].pos,
                       run[static_cast<std::size_t>(i)].header))
            return std::nullopt;
    stream = s;
    return h;
}

struct Found {
    std::uint64_t pos = 0;
    FrameHeader header;
};

// The first frame at or after pos (and before before) that depth more frames of its
// stream follow, of the stream or a new one that accept allows, which stream becomes.
std::optional<Found> FindFrame(ByteSource& src, std::uint64_t pos, std::uint64_t end,
                               Stream& stream, int depth, NewStream accept = kAnyStream,
                               std::uint64_t before = UINT64_MAX) {
    constexpr std::size_t kChunk = 16 * 1024;
    std::vector<std::uint8_t> chunk;
    while (pos + 4 <= end) {
        const auto bytes =
            src.read(pos, static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, end - pos)));
        if (bytes.size() < 4) return std::nullopt;
        chunk.assign(bytes.begin(), bytes.end()); // FrameAt reads, which moves the window
        for (std::size_t i = 0; i + 4 <= chunk.size(); ++i) {
            if (pos + i >= before) return std::nullopt;
            if (chunk[i] != 0xFF || (chunk[i + 1] & 0xE0) != 0xE0) continue;
            if (auto h = FrameAt(src, pos + i, end, stream, accept, depth))
                return Found{pos + i, *h};
        }
        pos += chunk.size() - 3;
    }
    return std::nullopt;
}

// The size of an ID3v2 tag at pos (its footer included), or 0 when there is none.
std::uint64_t Id3v2Size(ByteSource& src, std::uint64_t pos) {
    const auto head = src.read(pos, 10);
    if (head.size() < 10 || !StartsWith(head, "ID3") || head[3] == 0xFF || head[4] == 0xFF ||
        ((head[6] | head[7] | head[8] | head[9]) & 0x80))
        return 0;
    const std::uint64_t size =
        (std::uint64_t{head[6]} << 21) | (head[7] << 14) | (head[8] << 7) | head[9];
    return 10 + size + ((head[5] & 0x10) ? 10 : 0);
}

// h has its length (the stream's, for free format).
std::optional<InfoFrame> ReadInfoFrame(ByteSource& src, std::uint64_t pos, const FrameHeader& h) {
    if (h.layer != 3) return std::nullopt;
    const int sideInfo = h.version == 1 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    const auto frame = src.read(pos, static_cast<std::size_t>(h.length));
    const std::size_t tag = 4 + static_cast<std::size_t>(sideInfo);
    if (frame.size() < tag + 8) return std::nullopt;
    // libmpg123 takes the frame for one only where the side information before the tag
    // is zeros (bar its first two bytes); else it decodes it as audio, and so does the walk.
    if (std::any_of(frame.begin() + 6, frame.begin() + static_cast<std::ptrdiff_t>(tag),
                    [](std::uint8_t b) { return b != 0; }))
        return std::nullopt;
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
    if (flags & 4) {
        if (at.size() < q + 100) return info;
        info.toc.emplace();
        std::memcpy(info.toc->data(), at.data() + q, 100);
        q += 100;
    }
    if (flags & 8) q += 4;
    // The LAME extension: a 9-byte encoder name, then delay and padding 12 bits each.
    // libmpg123 reads one wherever the name does not start with 0.
    if (at.size() >= q + 24 && at[q] != 0) {
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
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3)
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
    h.crc = (p[1] & 1) == 0;
    const int padding = (p[2] >> 1) & 1;
    const long bits = h.bitrateKbps * 1000L;
    if (h.layer == 1) {
        h.samplesPerFrame = 384;
        h.padding = 4 * padding;
        h.length = static_cast<int>((12 * bits / h.sampleRate + padding) * 4);
    } else if (h.layer == 2 || h.version == 1) {
        h.samplesPerFrame = 1152;
        h.padding = padding;
        h.length = static_cast<int>(144 * bits / h.sampleRate + padding);
    } else {
        h.samplesPerFrame = 576;
        h.padding = padding;
        h.length = static_cast<int>(72 * bits / h.sampleRate + padding);
    }
    if (h.freeFormat()) h.length = 0;
    return h;
}

namespace {

// The APE tag whose last block ends at end: whole where it is well formed (a header
// where its footer says, or items that add up to its counts), else its last block
// alone. Taggers write lone headers and footers and counts that do not add up; those
// must not cut the audio before them, which is walked instead.
std::uint64_t ApeTagBefore(ByteSource& src, std::uint64_t begin, std::uint64_t end) {
    const auto bytes = src.read(end - 32, 32);
    if (bytes.size() < 32) return 32;
    const std::uint64_t size = LittleEndian32(bytes.data() + 12); // items and footer
    const std::uint32_t count = LittleEndian32(bytes.data() + 16);
    const std::uint32_t flags = LittleEndian32(bytes.data() + 20);
    const bool isHeader = (flags >> 29) & 1, hasHeader = flags >> 31;
    const std::uint64_t total = size + (hasHeader ? 32 : 0);
    if (isHeader || size < 32 || total > end - begin) return 32;
    const std::uint64_t start = end - total;
    if (hasHeader) return StartsWith(src.read(start, 8), "APETAGEX") ? total : 32;
    // Each item: its value's size, flags, a key ending in NUL, the value.
    const std::uint64_t footer = end - 32;
    std::uint64_t at = start;
    for (std::uint32_t i = 0; i < count && at < footer; ++i) {
        const auto item =
            src.read(at, static_cast<std::size_t>(std::min<std::uint64_t>(footer - at, 8 + 256)));
        const auto nul = std::find(item.begin() + std::min<std::size_t>(item.size(), 8), item.end(),
                                   std::uint8_t{0});
        if (item.size() < 10 || nul == item.end()) return 32;
        at += static_cast<std::uint64_t>(nul - item.begin()) + 1 + LittleEndian32(item.data());
    }
    return at == footer ? total : 32;
}

// Whether a RIFF WAVE file's format chunk names a format other than MPEG audio (0x0050,
// 0x0055, or those under WAVE_FORMAT_EXTENSIBLE). Without one it is left to the walk.
bool WaveNotMpeg(ByteSource& src, std::uint64_t pos) {
    std::uint64_t at = pos + 12;
    for (int chunk = 0; chunk < 64; ++chunk) {
        const auto head = src.read(at, 8);
        if (head.size() < 8 || StartsWith(head, "data")) return false;
        const std::uint64_t size = LittleEndian32(head.data() + 4);
        if (StartsWith(head, "fmt ")) {
            const auto fmt = src.read(at + 8, 26);
            if (fmt.size() < 2) return false;
            unsigned tag = fmt[0] | (fmt[1] << 8);
            if (tag == 0xFFFE && fmt.size() >= 26) tag = fmt[24] | (fmt[25] << 8);
            return tag != 0x0050 && tag != 0x0055;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

// Whether the file names another audio or media format in its first bytes: then it
// holds no MPEG audio, however its samples happen to look. MPEG audio in a RIFF
// wrapper (RMP3, WAVE of an MPEG format) is not another format.
bool OtherFormat(ByteSource& src, std::uint64_t pos) {
    const auto head = src.read(pos, 12);
    const std::vector<std::uint8_t> b(head.begin(), head.end());
    const auto at = [&b](std::size_t offset, std::string_view magic) {
        return b.size() >= offset + magic.size() &&
               std::memcmp(b.data() + offset, magic.data(), magic.size()) == 0;
    };
    if (at(0, "RIFF")) return !at(8, "RMP3") && !(at(8, "WAVE") && !WaveNotMpeg(src, pos));
    for (const std::string_view magic :
         {"fLaC", "OggS", "MThd", "wvpk", "MAC ", "#!AMR", "RF64", "BW64", ".snd", "TTA1", "MPCK",
          "MP+", "caff", "DSD ", "FRM8", "ADIF", "\x1A\x45\xDF\xA3" /* Matroska, WebM */,
          "\x30\x26\xB2\x75\x8E\x66\xCF\x11" /* ASF, WMA */})
        if (at(0, magic)) return true;
    return (at(0, "FORM") && (at(8, "AIFF") || at(8, "AIFC") || at(8, "8SVX"))) ||
           at(4, "ftyp"); // ISO media: MP4, M4A, 3GP, QuickTime
}

} // namespace

AudioRange FindAudioRange(ByteSource& src) {
    AudioRange r{0, src.size()};
    while (const std::uint64_t tag = Id3v2Size(src, r.begin)) r.begin += tag; // possibly several
    if (r.begin >= r.end || OtherFormat(src, r.begin)) return {r.end, r.end};
    for (bool again = true; again;) { // tags at the end, in any order
        again = false;
        const std::uint64_t len = r.end - r.begin;
        if (len >= 128 && StartsWith(src.read(r.end - 128, 3), "TAG")) {
            r.end -= 128;
            again = true;
            continue;
        }
        if (len >= 32 && StartsWith(src.read(r.end - 32, 8), "APETAGEX")) {
            r.end -= ApeTagBefore(src, r.begin, r.end);
            again = true;
            continue;
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

// Whether a song may end at pos: the audio ends, a frame or a tag begins there, or
// no run of frames follows at all (junk at the end).
bool SongMayEndAt(ByteSource& src, std::uint64_t pos, std::uint64_t end) {
    if (pos == end || HeaderAt(src, pos, end)) return true;
    const auto bytes = src.read(pos, 8);
    if (StartsWith(bytes, "TAG") || StartsWith(bytes, "ID3") || StartsWith(bytes, "APETAGEX"))
        return true;
    Stream any;
    return !FindFrame(src, pos, end, any, kRunDepth);
}

// Whether frames of the stream end exactly at end: the song's last frame is there.
bool FramesEndAt(ByteSource& src, std::uint64_t from, std::uint64_t end, const Stream& stream) {
    const std::uint64_t begin =
        std::max(from, end - std::min<std::uint64_t>(end, 2 * kMaxFrameBytes));
    const auto window = src.read(begin, static_cast<std::size_t>(end - begin));
    const std::vector<std::uint8_t> bytes(window.begin(), window.end());
    for (std::size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (bytes[i] != 0xFF || (bytes[i + 1] & 0xE0) != 0xE0) continue;
        Stream s = stream;
        std::uint64_t pos = begin + i;
        int frames = 0;
        while (pos < end) {
            const auto h = FrameOf(src, pos, end, s, kSameStream);
            if (!h) break;
            pos += h->length;
            ++frames;
        }
        if (pos == end && frames >= 2) return true;
    }
    return false;
}

// The size of the stream's frames at a bitrate index, with padding or without.
std::uint64_t FrameBytes(const Stream& stream, int bitrateIndex, bool padded) {
    const FrameHeader& h = stream.header;
    const std::uint64_t padding = padded ? (h.layer == 1 ? 4 : 1) : 0;
    if (h.freeFormat()) return static_cast<std::uint64_t>(stream.freeBytes) + padding;
    const auto& table = h.version == 1 ? kBitratesV1 : kBitratesV2;
    const long bits =
        table[static_cast<std::size_t>(h.layer - 1)][static_cast<std::size_t>(bitrateIndex)] *
        1000L;
    const long bytes = h.layer == 1
                           ? 12 * bits / h.sampleRate * 4
                           : (h.layer == 2 || h.version == 1 ? 144 : 72) * bits / h.sampleRate;
    return static_cast<std::uint64_t>(bytes) + padding;
}
std::uint64_t LongestFrame(const Stream& stream) {
    return FrameBytes(stream, 14, true);
}

// Whether pos lies inside the stream's audio: a frame that starts at most one frame
// before it begins a run of the stream that goes on past it. One small read.
bool FramesAround(ByteSource& src, std::uint64_t pos, std::uint64_t begin, std::uint64_t end,
                  const Stream& stream) {
    const std::uint64_t longest = LongestFrame(stream);
    const std::uint64_t from = pos - std::min(pos - begin, longest);
    const auto window =
        src.read(from, static_cast<std::size_t>(std::min(end - from, pos - from + 4 * longest)));
    const std::vector<std::uint8_t> bytes(
        window.begin(), window.begin() + std::min<std::size_t>(window.size(), pos - from + 2));
    for (std::size_t i = 0; i + 1 < bytes.size() && from + i <= pos; ++i) {
        if (bytes[i] != 0xFF || (bytes[i + 1] & 0xE0) != 0xE0) continue;
        Stream s = stream;
        std::uint64_t at = from + i;
        int past = 0; // frames that start after pos
        while (at < end && past < 3) {
            const auto h = FrameOf(src, at, end, s, kSameStream);
            if (!h) break;
            at += h->length;
            past += at > pos;
        }
        if (past >= 3 || at == end) return true;
    }
    return false;
}

// An Info header counts the first song's frames. It is believed where the file bears
// it out: that song's last frame ends where the header's byte count says, a song may
// end there, and frames of the stream lie where its table of contents (or, without
// one, the byte count) puts each tenth of the song. A song cut short, one whose tail was
// never written (zeros) or one damaged inside is walked instead.
bool HeaderHolds(ByteSource& src, const Frame& first, const Stream& stream, const InfoFrame& info,
                 std::uint64_t end) {
    const std::uint64_t songEnd = first.pos + info.bytes;
    const auto length = static_cast<std::uint64_t>(first.header.length);
    // As many frames as the bytes can hold: a count that is off plays as the header
    // says, so it must not be far off.
    const std::uint64_t audio = info.bytes - std::min(info.bytes, length);
    if (info.frames == 0 || audio == 0 || songEnd > end ||
        audio < info.frames * FrameBytes(stream, 1, false) ||
        audio > info.frames * LongestFrame(stream) || !SongMayEndAt(src, songEnd, end) ||
        !FramesEndAt(src, first.pos + length, songEnd, stream))
        return false;
    // Every tenth of the song: a few small reads, so that the look-up stays cheap; a
    // bad stretch between two of them is not seen.
    for (int i = 10; i < 100; i += 10) {
        const std::uint64_t offset =
            info.toc ? (*info.toc)[static_cast<std::size_t>(i)] * info.bytes / 256
                     : info.bytes * static_cast<std::uint64_t>(i) / 100;
        const std::uint64_t pos = std::max(first.pos + offset, first.pos + length);
        if (pos >= songEnd || !FramesAround(src, pos, first.pos + length, songEnd, stream))
            return false;
    }
    return true;
}

} // namespace

FrameWalker::FrameWalker(ByteSource& src) : src_(src), range_(FindAudioRange(src)) {
    pos_ = range_.begin;
}

std::optional<Frame> FrameWalker::next() {
    const std::uint64_t end = range_.end;
    if (!started_) {
        started_ = true;
        const auto first = FindFrame(src_, range_.begin, end, stream_, kRunDepth, kAnyStream,
                                     range_.begin + kFirstFrameWithin);
        if (!first) {
            pos_ = end;
            return std::nullopt;
        }
        pos_ = first->pos + first->header.length;
        freeBytes_ = stream_.freeBytes;
        // An Info frame goes to the decoder, for its gapless trim, only where the file
        // bears the header out; otherwise neither the decoder nor the length heeds it.
        const auto info = ReadInfoFrame(src_, first->pos, first->header);
        if (!info) return Frame{first->pos, first->header};
        if (HeaderHolds(src_, Frame{first->pos, first->header}, stream_, *info, end)) {
            info_ = info;
            songEnd_ = first->pos + info->bytes;
            songStream_ = stream_;
            songLeft_ = info->frames;
            const auto bytes = src_.read(first->pos, 4);
            std::copy(bytes.begin(), bytes.end(), silentHeader_.begin());
            silentHeader_[1] |= 0x01;                             // no CRC
            silentHeader_[2] &= static_cast<std::uint8_t>(~0x02); // no padding
            silent_ = Frame{songEnd_, *ParseFrameHeader(silentHeader_.data()), true};
            if (silent_.header.freeFormat()) silent_.header.length = stream_.freeBytes;
            return Frame{first->pos, first->header};
        }
        // The Info frame is skipped: libmpg123 sizes free format at the first frame it
        // gets, so a free-format stream starts anew after it, as it would at the start.
        if (stream_.header.freeFormat()) {
            stream_ = Stream{};
            freeBytes_ = 0;
        }
    }
    if (songLeft_ > 0) {
        --songLeft_;
        auto frame = walk(songEnd_, false);
        // Damage inside the song plays as silence; a file cut while it plays ends there.
        if (!frame && src_.read(songEnd_ - 1, 1).empty()) {
            songLeft_ = 0;
            pos_ = range_.end;
            return std::nullopt;
        }
        if (songLeft_ == 0) skipSong();
        return frame ? frame : silent_;
    }
    return walk(range_.end, true);
}

void FrameWalker::skipSong() {
    if (!info_) return;
    songLeft_ = 0;
    pos_ = songEnd_;
    stream_ = songStream_;
}

std::optional<Frame> FrameWalker::walk(std::uint64_t end, bool anyStream) {
    const NewStream accept{anyStream, freeBytes_};
    while (pos_ < end) {
        // The stream goes on where a frame ends; a new format only with a run of its own.
        auto h = FrameAt(src_, pos_, end, stream_, kSameStream, 0);
        if (!h && anyStream) h = FrameAt(src_, pos_, end, stream_, accept, kRunDepth);
        if (h) {
            const Frame frame{pos_, *h};
            pos_ += h->length;
            if (freeBytes_ == 0) freeBytes_ = stream_.freeBytes;
            return frame;
        }
        if (const std::uint64_t tag = Id3v2Size(src_, pos_)) {
            pos_ += tag;
            continue;
        }
        if (StartsWith(src_.read(pos_, 3), "TAG")) {
            pos_ += 128;
            continue;
        }
        const auto found = FindFrame(src_, pos_, end, stream_, kRunDepth, accept);
        pos_ = found ? found->pos : end;
    }
    return std::nullopt;
}

SongInfo ScanSong(ByteSource& src) {
    FrameWalker walker(src);
    const auto first = walker.next();
    if (!first) return {};
    const FrameHeader& head = first->header;
    SongInfo info;
    info.sampleRate = head.sampleRate;
    info.channels = head.channels;
    info.samplesPerFrame = head.samplesPerFrame;

    std::uint64_t frames = 0;      // at the first frame's rate and size
    std::uint64_t otherFrames = 0; // at other rates, whose length is otherMs
    double otherMs = 0;
    const auto count = [&](const FrameHeader& h) {
        if (h.sampleRate == head.sampleRate && h.samplesPerFrame == head.samplesPerFrame) {
            ++frames;
        } else {
            ++otherFrames;
            otherMs += h.samplesPerFrame * 1000.0 / h.sampleRate;
        }
    };
    // libmpg123 skips an Info frame: it holds no audio.
    const auto& infoFrame = walker.info();
    if (!infoFrame) {
        count(head);
    } else {
        frames = infoFrame->frames;
        walker.skipSong();
        info.fromHeader = true;
    }
    // Every frame beyond: a joined song's Info frame plays as a frame of silence.
    while (const auto frame = walker.next()) count(frame->header);
    info.frames = frames + otherFrames;
    if (info.frames == 0) return {};
    const auto spf = static_cast<std::uint64_t>(head.samplesPerFrame);
    std::uint64_t samples = frames * spf;
    if (infoFrame && infoFrame->frames > 0) {
        // libmpg123's gapless decode drops the encoder delay and its own (529 samples)
        // from the start, and cuts the frame where the header's song ends after the
        // padding less its delay; frames past that one play whole, those of joined songs.
        constexpr std::uint64_t kDecoderDelay = 529;
        const std::uint64_t begin = static_cast<std::uint64_t>(infoFrame->delay) + kDecoderDelay;
        const std::uint64_t end =
            infoFrame->frames * spf + kDecoderDelay -
            std::min<std::uint64_t>(infoFrame->frames * spf,
                                    static_cast<std::uint64_t>(infoFrame->padding));
        const std::uint64_t lastFrame = end / spf, keptOfLast = end % spf;
        std::uint64_t trim = begin;
        if (keptOfLast != 0 && info.frames > lastFrame) trim += spf - keptOfLast;
        samples -= std::min(samples, trim);
    }
    info.samples = samples;
    info.otherMs = otherMs;
    return info;
}

} // namespace mp3
