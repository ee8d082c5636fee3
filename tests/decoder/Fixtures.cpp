#include "Fixtures.h"

#include <mpg123.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fixtures {

namespace {
const std::string kDir = std::string(ZAMPOLO_TEST_BINARY_DIR) + "/fixtures";
} // namespace

const std::vector<Song>& Songs() {
    static const std::vector<Song> songs = [] {
#if !defined(ZAMPOLO_FIXTURES_MADE) // on Windows ctest makes them first
        // flock serialises the test processes that ctest starts side by side.
        const std::string command =
            "flock '" + kDir +
            ".lock' python3 '" ZAMPOLO_SOURCE_DIR "/tests/decoder/make_fixtures.py' '" + kDir + "'";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("cannot make the test songs: " + command);
#endif
        std::ifstream index(kDir + "/fixtures.txt");
        std::vector<Song> list;
        Song s;
        int header = 0;
        while (index >> s.name >> s.rate >> s.channels >> s.samples >> header) {
            s.header = header != 0;
            s.path = kDir + "/" + s.name + ".mp3";
            list.push_back(s);
        }
        Song tagged = list.front(); // cbr44s inside ID3v2, APE and ID3v1 tags
        tagged.name = "tagged";
        tagged.path = kDir + "/tagged.mp3";
        list.push_back(tagged);
        return list;
    }();
    return songs;
}

const Song& Get(const std::string& name) {
    for (const Song& s : Songs())
        if (s.name == name) return s;
    throw std::runtime_error("no test song " + name);
}

std::vector<std::string> Corpus() {
    Songs(); // makes them
    std::ifstream index(kDir + "/corpus.txt");
    std::vector<std::string> paths;
    for (std::string name; index >> name;) paths.push_back(kDir + "/corpus/" + name);
    return paths;
}

std::vector<std::pair<std::string, std::string>> Rules() {
    Songs(); // makes them
    std::ifstream index(kDir + "/rules.txt");
    std::vector<std::pair<std::string, std::string>> files;
    for (std::string name, holds; index >> name >> holds;)
        files.emplace_back(kDir + "/rules/" + name, holds);
    return files;
}

std::string Broken(const std::string& name) {
    return std::string(ZAMPOLO_SOURCE_DIR) + "/tests/decoder/data/" + name;
}

std::string TempDir() {
    static std::mt19937_64 random{std::random_device{}()};
    for (int tries = 0; tries < 100; ++tries) {
        const std::string dir =
            std::string(ZAMPOLO_TEST_BINARY_DIR) + "/tmp-" + std::to_string(random() % 1000000000);
        if (std::filesystem::create_directory(dir)) return dir;
    }
    throw std::runtime_error("no temporary folder");
}

std::vector<Pcm> DecodeParts(const std::string& path) {
    std::vector<Pcm> parts;
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_SKIP_ID3V2 | MPG123_QUIET, 0.0);
    mpg123_param(mh, MPG123_RESYNC_LIMIT, -1, 0.0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(mh, path.c_str()) == MPG123_OK) {
        for (int errors = 0; errors < 64;) {
            off_t frame = 0;
            unsigned char* audio = nullptr;
            std::size_t bytes = 0;
            const int r = mpg123_decode_frame(mh, &frame, &audio, &bytes);
            if (r == MPG123_NEW_FORMAT) {
                Pcm next;
                int encoding = 0;
                mpg123_getformat(mh, &next.rate, &next.channels, &encoding);
                next.samplesPerFrame = mpg123_spf(mh);
                if (parts.empty() || parts.back().rate != next.rate ||
                    parts.back().channels != next.channels)
                    parts.push_back(next);
            } else if (r == MPG123_OK && !parts.empty()) {
                auto& samples = parts.back().samples;
                const std::size_t n = samples.size();
                samples.resize(n + bytes / 2);
                std::memcpy(samples.data() + n, audio, bytes / 2 * 2);
            } else if (r == MPG123_DONE) {
                break;
            } else if (r != MPG123_OK) {
                ++errors;
            }
        }
    }
    mpg123_delete(mh);
    return parts;
}

Pcm Decode(const std::string& path) {
    const auto parts = DecodeParts(path);
    return parts.empty() ? Pcm{} : parts.front();
}

Pcm ReadWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Pcm pcm;
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(36, 4, "data") != 0)
        return pcm;
    const auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) |
                                     (static_cast<unsigned char>(bytes[at + 1]) << 8));
    };
    const auto u32 = [&](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
    pcm.channels = static_cast<int>(u16(22));
    pcm.rate = static_cast<long>(u32(24));
    const std::size_t data = std::min<std::size_t>(u32(40), bytes.size() - 44);
    pcm.samples.resize(data / 2);
    std::memcpy(pcm.samples.data(), bytes.data() + 44, data / 2 * 2);
    return pcm;
}

std::vector<Pcm> ReadWavParts(const std::string& path) {
    std::vector<Pcm> parts;
    for (int n = 1;; ++n) {
        Pcm part = ReadWav(path + "." + std::to_string(n));
        if (part.channels == 0) break;
        parts.push_back(std::move(part));
    }
    parts.push_back(ReadWav(path));
    return parts;
}

} // namespace fixtures
