// The decoder tests' songs: tones made at test time with sox and lame into the build
// tree, the committed broken files, and libmpg123's own decode to compare against.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fixtures {

struct Song {
    std::string name;
    std::string path; // native
    long rate = 0;
    int channels = 0;
    std::uint64_t samples = 0; // what the encoder was given, per channel
    bool header = false;       // starts with a Xing/Info frame
};

// Makes the songs on first use; safe when several test processes start at once.
const std::vector<Song>& Songs();
const Song& Get(const std::string& name);
// The files as people have them (corpus.txt of make_fixtures.py), native paths.
std::vector<std::string> Corpus();
// Files that are no MPEG audio and damaged songs, native paths, each with what it
// holds: "none", "song" (nothing in its gaps) or "junk" (junk in its gaps).
std::vector<std::pair<std::string, std::string>> Rules();
// A committed broken file (native path).
std::string Broken(const std::string& name);
// A fresh, empty folder for one test.
std::string TempDir();

struct Pcm {
    long rate = 0;
    int channels = 0;
    int samplesPerFrame = 0;           // of the first frame, from Decode
    std::vector<std::int16_t> samples; // interleaved
    std::uint64_t frames() const { return channels ? samples.size() / channels : 0; }
    bool operator==(const Pcm& o) const {
        return rate == o.rate && channels == o.channels && samples == o.samples;
    }
};
// libmpg123's decode with the library's settings (gapless, 16-bit, tags skipped): one
// Pcm for each format in turn; Decode is that of a song in one format.
std::vector<Pcm> DecodeParts(const std::string& path);
Pcm Decode(const std::string& path);
// A 16-bit PCM WAV file; empty Pcm when it is not one.
Pcm ReadWav(const std::string& path);
// What MP3_OUTPUT=wav:PATH wrote: the formats before the last (PATH.1, ...), then PATH.
std::vector<Pcm> ReadWavParts(const std::string& path);

} // namespace fixtures
