// The frame scanner on made-up streams and on the test songs.
#include "MpegScan.h"
#include "ByteSource.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

namespace {

// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, joint stereo, no padding: 417 bytes.
const Bytes kHeader = {0xFF, 0xFB, 0x90, 0x64};
constexpr int kFrameLength = 417;

void Append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}

Bytes Frames(int count) {
    Bytes b;
    for (int i = 0; i < count; ++i) {
        Append(b, kHeader);
        b.resize(b.size() + 32, 0); // side information an encoder may write
        b.resize(b.size() + kFrameLength - 36, 0x55);
    }
    return b;
}

// A first frame that holds an Info header with a frame count and the stream's size.
Bytes InfoFrame(std::uint32_t frames, std::uint32_t bytes) {
    Bytes b = kHeader;
    b.resize(4 + 32, 0);
    const auto put = [&b](std::uint32_t v) {
        for (int i = 3; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    Append(b, {'I', 'n', 'f', 'o'});
    put(3); // frames and bytes present
    put(frames);
    put(bytes);
    b.resize(kFrameLength, 0);
    return b;
}

mp3::SongInfo Scan(const Bytes& b) {
    mp3::MemorySource source(b);
    return mp3::ScanSong(source);
}

Bytes Id3v2(std::size_t size) {
    Bytes b = {'I', 'D', '3', 3, 0, 0};
    for (int shift : {21, 14, 7, 0}) b.push_back(static_cast<std::uint8_t>((size >> shift) & 0x7F));
    b.resize(b.size() + size, 0xFF); // sync-like bytes inside the tag must not count
    return b;
}

} // namespace

TEST(FrameHeader, ReadsFieldsAndRefusesReservedValues) {
    const auto h = mp3::ParseFrameHeader(kHeader.data());
    ASSERT_TRUE(h);
    EXPECT_EQ(h->version, 1);
    EXPECT_EQ(h->layer, 3);
    EXPECT_EQ(h->bitrateKbps, 128);
    EXPECT_EQ(h->sampleRate, 44100);
    EXPECT_EQ(h->channels, 2);
    EXPECT_EQ(h->samplesPerFrame, 1152);
    EXPECT_EQ(h->length, kFrameLength);

    // MPEG-2 Layer III, 64 kbit/s, 22.05 kHz, mono, padded: 576 samples, 209 bytes.
    const std::uint8_t mpeg2[] = {0xFF, 0xF3, 0x82, 0xC4};
    const auto h2 = mp3::ParseFrameHeader(mpeg2);
    ASSERT_TRUE(h2);
    EXPECT_EQ(h2->sampleRate, 22050);
    EXPECT_EQ(h2->channels, 1);
    EXPECT_EQ(h2->samplesPerFrame, 576);
    EXPECT_EQ(h2->length, 209);

    // Free format: the size is the stream's, found from the distance between headers.
    const std::uint8_t freeFormat[] = {0xFF, 0xFB, 0x02, 0x64};
    const auto free = mp3::ParseFrameHeader(freeFormat);
    ASSERT_TRUE(free);
    EXPECT_TRUE(free->freeFormat());
    EXPECT_EQ(free->padding, 1);
    EXPECT_EQ(free->length, 0);

    const std::uint8_t reservedVersion[] = {0xFF, 0xEB, 0x90, 0x64};
    const std::uint8_t badBitrate[] = {0xFF, 0xFB, 0xF0, 0x64};
    const std::uint8_t badRate[] = {0xFF, 0xFB, 0x9C, 0x64};
    const std::uint8_t noSync[] = {0xFF, 0x1B, 0x90, 0x64};
    for (const auto* p : {reservedVersion, badBitrate, badRate, noSync})
        EXPECT_FALSE(mp3::ParseFrameHeader(p));
}

TEST(ScanSong, WalksFramesBetweenTags) {
    EXPECT_EQ(Scan(Frames(10)).frames, 10u);
    EXPECT_EQ(Scan(Frames(10)).samples, 11520u);

    Bytes tagged = Id3v2(300);
    Append(tagged, Id3v2(20)); // a second tag right after the first
    Append(tagged, Frames(10));
    Bytes ape = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
    ape.resize(32, 0);
    ape[12] = 32; // size: the footer alone
    Append(tagged, ape);
    Bytes id3v1 = {'T', 'A', 'G'};
    id3v1.resize(128, 0xFF);
    Append(tagged, id3v1);
    EXPECT_EQ(Scan(tagged).frames, 10u);
}

TEST(ScanSong, ResyncsPastDamageAndDropsACutLastFrame) {
    Bytes damaged = Frames(5);
    Append(damaged, {0x12, 0xFF, 0xFB, 0x90, 0x00, 0xFF, 0x34}); // garbage with stray syncs
    Append(damaged, Frames(5));
    EXPECT_EQ(Scan(damaged).frames, 10u);

    Bytes cut = Frames(6);
    cut.resize(cut.size() - 100);
    EXPECT_EQ(Scan(cut).frames, 5u);
}

TEST(ScanSong, BelievesAnInfoHeaderUnlessTheFileIsShorter) {
    Bytes withInfo = InfoFrame(8, 9 * kFrameLength);
    Append(withInfo, Frames(8));
    const auto info = Scan(withInfo);
    EXPECT_TRUE(info.fromHeader);
    EXPECT_EQ(info.frames, 8u);

    Bytes cutShort = InfoFrame(100, 101 * kFrameLength);
    Append(cutShort, Frames(8));
    const auto walked = Scan(cutShort);
    EXPECT_FALSE(walked.fromHeader);
    EXPECT_EQ(walked.frames, 8u); // the Info frame itself holds no audio
}

TEST(ScanSong, FindsNothingInNoise) {
    EXPECT_FALSE(Scan({}).valid());
    EXPECT_FALSE(Scan(Id3v2(500)).valid());
    Bytes noise;
    for (int i = 0; i < 5000; ++i) noise.push_back(static_cast<std::uint8_t>((i * 7919) >> 3));
    Append(noise, kHeader); // one lone header is not a stream
    noise.resize(noise.size() + 100, 0);
    EXPECT_FALSE(Scan(noise).valid());
    EXPECT_EQ(Scan(noise).lengthMs(), 0.0);
    // Audio that starts only after a megabyte of something else is not looked for.
    Bytes late(1 << 20, 0);
    Append(late, Frames(10));
    EXPECT_FALSE(Scan(late).valid());
    late.erase(late.begin(), late.begin() + 1000);
    EXPECT_EQ(Scan(late).frames, 10u);
    EXPECT_EQ(Scan(noise).unitMs(), 0.0);
}

// Every test song: the scanned length is libmpg123's decoded length, and for songs
// with an Info header also the encoder's own sample count.
TEST(ScanSong, MatchesTheDecoderOnTheTestSongs) {
    for (const auto& song : fixtures::Songs()) {
        SCOPED_TRACE(song.name);
        const int fd = open(song.path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        struct stat st {};
        fstat(fd, &st);
        mp3::FileSource source(fd, static_cast<std::uint64_t>(st.st_size));
        const auto info = mp3::ScanSong(source);
        close(fd);
        const auto pcm = fixtures::Decode(song.path);
        EXPECT_EQ(info.sampleRate, song.rate);
        EXPECT_EQ(info.channels, song.channels);
        EXPECT_EQ(info.samples, pcm.frames());
        if (song.header) {
            EXPECT_EQ(info.samples, song.samples);
        }
    }
}
