// The player with the real MP3.DLL: songs made with sox and lame, played unpaced
// into a WAV file (what was played, in order) or as paced silence.
#include "AuxFuncs.h"
#include "MP3Control.h"
#include "MP3Request.h"
#include "TestSupport.h"
#include "frmPlayer.h"

#include "runtime/Services.h"

#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/QtBridge.h"

#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
using namespace zampoplay;

// Per process: ctest runs the cases of this file side by side.
const fs::path kWork = fs::path(ZAMPOLO_TEST_BINARY_DIR) / ("work-" + std::to_string(::getpid()));
const fs::path kDir = kWork / "songs";
// Named as old disks and other systems leave names: Latin-1 bytes (not UTF-8), a leading
// U+FEFF, a U+F05C of the name's own. Each must be listed, played and shown as itself.
const std::map<std::string, int> kTones = {
    {"caf\xE9.mp3", 440}, {"caf\xE8.mp3", 660}, {"\xEF\xBB\xBFx\xEF\x81\x9C.mp3", 880}};

void MakeSongs(const fs::path& dir, double seconds) {
    fs::create_directories(dir);
    for (const auto& [name, freq] : kTones) {
        if (fs::exists(dir / name)) continue;
        const std::string wav = (dir / (name + ".wav")).string();
        const std::string cmd = "sox -q -n -r 44100 -c 2 -b 16 '" + wav + "' synth " +
                                std::to_string(seconds) + " sine " + std::to_string(freq) +
                                " vol 0.5 && lame --quiet -b 128 '" + wav + "' '" +
                                (dir / name).string() + "' && rm -f '" + wav + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
}

// The player, counting what reaches it.
class WatchedPlayer : public frmPlayer {
public:
    void MessageReceived(Long Message, Long wParam, Long lParam) override {
        frmPlayer::MessageReceived(Message, wParam, lParam);
        if (Message == MP3_MSG_STARTED) ++sounds;
        if (Message == MP3_MSG_PROGRESS) lastTick = LCD.Caption;
        if (Message == MP3_MSG_ENDED) {
            ++ends;
            captions.push_back(Caption);
        }
    }
    int sounds = 0, ends = 0;
    String lastTick;
    std::vector<String> captions; // the caption after each end message
};

// The player shown, the folder chosen and play pressed, as a user does.
std::shared_ptr<WatchedPlayer> PlayFolder(const fs::path& dir) {
    auto form = std::make_shared<WatchedPlayer>();
    form->Show();
    form->Text1.Text = platform::FromNativePath(dir.string());
    form->Command1.Enabled = true;
    form->Command1.Value = true;
    return form;
}

// The tone of each stretch of a WAV file, in order (zero crossings per 50 ms).
std::vector<int> TonesIn(const fs::path& wav) {
    std::ifstream in(wav, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int> tones;
    if (bytes.size() < 44) return tones;
    const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data() + 44);
    const std::size_t frames = (bytes.size() - 44) / 4;
    const std::size_t window = 2205;
    for (std::size_t start = 0; start + window <= frames; start += window) {
        int crossings = 0;
        for (std::size_t i = start + 1; i < start + window; ++i)
            crossings += (samples[2 * i] >= 0) != (samples[2 * (i - 1)] >= 0);
        const int freq = crossings * 10; // crossings / 2 per 0.05 s
        int tone = 0;
        for (const auto& [name, f] : kTones)
            if (std::abs(freq - f) < 60) tone = f;
        if (tone && (tones.empty() || tones.back() != tone)) tones.push_back(tone);
    }
    return tones;
}

// A window that counts its end messages; the request names it.
struct EndCounter {
    EndCounter() {
        ended = 0;
        CurrentRequest.WindowHandle = hwnd;
    }
    ~EndCounter() { DestroyWindow(hwnd); }
    static inline int ended = 0;
    QWidget window;
    HWND hwnd = platform::AttachWindow(&window, [](HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == MP3_MSG_ENDED) ++ended;
        return DefWindowProcA(h, m, w, l);
    });
};

TEST(RealDecoder, OneSongThroughTheControllerEndsWithItsMessage) {
    MakeSongs(kDir, 1.0);
    setenv("MP3_OUTPUT", "fast", 1);
    EndCounter window;
    CurrentRequest.FileName = platform::FromNativePath((kDir / "caf\xE9.mp3").string());
    Double length = 0, unit = 0;
    QuerySongTime(length, unit);
    EXPECT_NEAR(length, 1000, 30);
    EXPECT_NEAR(unit, 1152 / 44.1, 0.01);
    StartPlayback();
    ASSERT_TRUE(testsupport::PumpUntil([] { return EndCounter::ended == 1; }));
}

TEST(RealDecoder, AFolderPlaysInTheDrawnOrderRoundAfterRound) {
    MakeSongs(kDir, 1.0);
    const fs::path wav = kWork / "played.wav";
    fs::remove(wav);
    setenv("MP3_OUTPUT", ("wav:" + wav.string()).c_str(), 1);
    auto form = PlayFolder(kDir);
    std::vector<int> drawn;
    for (int i = 0; i < 3; ++i)
        drawn.push_back(kTones.at(platform::ToNativePath(FileNameOf(form->List1.List(i)))));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return form->ends >= 6; }, std::chrono::seconds(30)));
    form->Command7.Value = true;
    testsupport::PumpUntil([&] { return form->ends >= 7; });
    // Captions after the 1st..5th end: songs 2, 3, 1, 2, 3 of the drawn order.
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(form->captions[n], FileNameOf(form->List1.List((n + 1) % 3)));
    form->Unload();
    form->Unload();
    const std::vector<int> tones = TonesIn(wav);
    ASSERT_GE(tones.size(), 6u);
    for (int n = 0; n < 6; ++n) EXPECT_EQ(tones[n], drawn[n % 3]) << "song " << n;
}

TEST(RealDecoder, TransportButtonsChangeTheSongAsTheyShould) {
    const fs::path dir = kWork / "long songs";
    MakeSongs(dir, 20.0);
    setenv("MP3_OUTPUT", "silent", 1);
    auto form = PlayFolder(dir);
    auto entry = [&](int i) { return FileNameOf(form->List1.List(i)); };
    // Presses the button once the song sounds, and waits for the next song to sound.
    auto press = [&](CommandButton& button) {
        const int sounds = form->sounds;
        ASSERT_TRUE(testsupport::PumpUntil([&] { return form->sounds >= sounds; }));
        const int ends = form->ends;
        button.Value = true;
        ASSERT_TRUE(testsupport::PumpUntil([&] { return form->ends > ends; }));
        testsupport::PumpUntil([&] { return form->sounds > sounds; });
    };
    ASSERT_TRUE(testsupport::PumpUntil([&] { return form->sounds == 1; }));
    EXPECT_EQ(form->Caption.Get(), entry(0));
    EXPECT_EQ(form->LCD.Caption.Get(), u"00:20");
    press(form->Command2); // next
    EXPECT_EQ(form->Caption.Get(), entry(1));
    press(form->Command3); // repeat
    EXPECT_EQ(form->Caption.Get(), entry(1));
    press(form->Command4); // previous
    EXPECT_EQ(form->Caption.Get(), entry(0));
    // The countdown moves once ticks arrive.
    ASSERT_TRUE(testsupport::PumpUntil([&] { return form->lastTick == u"00:19"; }));
    const int ends = form->ends;
    form->Command7.Value = true; // stop
    ASSERT_TRUE(testsupport::PumpUntil([&] { return form->ends > ends; }));
    testsupport::PumpPending();
    EXPECT_EQ(form->Caption.Get(), entry(0)); // stop leaves the caption
    EXPECT_FALSE(form->IsPlaying);
    form->Unload();
}

// A whole collection in one folder, past the file list's 16-bit count (hard links to
// the songs, as a bench makes them): 1001 of its songs from all over it, each once, in
// the file list's order, and the first sounds.
TEST(RealDecoder, AFolderPastA16BitCountPlaysAChoiceOfItsSongs) {
    MakeSongs(kDir, 1.0);
    const fs::path dir = kWork / "collection";
    fs::create_directories(dir);
    std::vector<std::string> songs;
    for (const auto& [name, tone] : kTones) songs.push_back(name);
    constexpr int kFiles = 40000;
    for (int i = 0; i < kFiles; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%05d.mp3", i);
        fs::create_hard_link(kDir / songs[static_cast<std::size_t>(i) % songs.size()], dir / name);
    }
    setenv("MP3_OUTPUT", "silent", 1);
    auto form = PlayFolder(dir);
    EXPECT_EQ(form->File1.ListCount, kFiles);
    ASSERT_EQ(form->SongCount, 1001);
    std::set<String> chosen;
    int past = 0; // chosen past the 16-bit count: about 181 of them
    for (int i = 0; i < 1001; ++i) {
        const String path = form->List2.List(i);
        if (i > 0) {
            EXPECT_LT(String(form->List2.List(i - 1)), path);
        }
        chosen.insert(path);
        past += std::stoi(platform::ToNativePath(FileNameOf(path))) > 32767;
    }
    EXPECT_EQ(chosen.size(), 1001u);
    EXPECT_GT(past, 120);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return form->sounds >= 1; }));
    EXPECT_EQ(form->Caption.Get(), FileNameOf(form->List1.List(0)));
    form->Unload();
    form->Unload();
    fs::remove_all(dir);
}

// A stop right after a start ends the song at once with its one end message, also a
// stop that comes before the song's thread reaches the library (first, as the library
// sees it); a stop that missed its song would leave it playing its two minutes.
TEST(RealDecoder, AStopRightAfterAStartAlwaysStopsTheSong) {
    fs::create_directories(kWork);
    const std::string song = (kWork / "long.mp3").string();
    const std::string cmd = "sox -q -n -r 22050 -c 1 '" + song + ".wav' synth 120 sine 440 && " +
                            "lame --quiet -b 32 '" + song + ".wav' '" + song + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    setenv("MP3_OUTPUT", "silent", 1);
    EndCounter window;
    CurrentRequest.FileName = platform::FromNativePath(song);
    Double length = 0, unit = 0;
    QuerySongTime(length, unit);
    StopPlayback();
    StartPlayback();
    constexpr int kSongs = 2001;
    for (int n = 1; n < kSongs; ++n) {
        QuerySongTime(length, unit);
        StartPlayback();
        StopPlayback();
    }
    EXPECT_TRUE(testsupport::PumpUntil([] { return EndCounter::ended >= kSongs; },
                                       std::chrono::seconds(30)))
        << kSongs - EndCounter::ended << " songs still playing";
    testsupport::PumpPending();
    EXPECT_EQ(EndCounter::ended, kSongs);
}

// A song replaced by a named pipe is a failed file at once, timed (on the window's
// thread) and played, instead of waiting in open() for a writer; should it wait, the
// alarm ends the test.
TEST(RealDecoder, ANamedPipeIsAFailedFileAtOnce) {
    fs::create_directories(kWork);
    const fs::path fifo = kWork / "pipe.mp3";
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    setenv("MP3_OUTPUT", "fast", 1);
    EndCounter window;
    CurrentRequest.FileName = platform::FromNativePath(fifo.string());
    Double length = -1, unit = -1;
    alarm(30);
    QuerySongTime(length, unit);
    StartPlayback();
    EXPECT_TRUE(testsupport::PumpUntil([] { return EndCounter::ended == 1; }));
    alarm(0);
    EXPECT_EQ(length, 0);
}
} // namespace
