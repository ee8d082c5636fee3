// The statements the programs write, as they write them: these must compile and
// behave, so the runtime's operators stay unambiguous.
#include "runtime/VB.h"

#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace runtime;

namespace {
String FileNameOf(const String& path) {
    const Long n = Len(path);
    Integer i = 1;
    while (Mid(path, n - i, 1) != u"\\") i += 1;
    return Mid(path, n - i + 1);
}

class Player : public Form {
public:
    Player() : Form({.Caption = u"Zampolo", .ClientWidth = 6705, .ClientHeight = 1185}) {
        Command1.Click = [this] { Command1_Click(); };
    }
    CommandButton Command1{this, {.Left = 720, .Top = 120, .Width = 615, .Height = 615}};
    TextBox Text1{this, {.Left = 120, .Top = 1200, .Width = 4935, .Height = 315}};
    FileListBox File1{this, {.Left = 6600, .Top = 4080, .Width = 255, .Height = 300}};
    ListBox List1{this, {.Left = 120, .Top = 1560, .Width = 10335, .Height = 2160}};
    ListBox List2{this, {.Left = 120, .Top = 2880, .Width = 10335, .Height = 1530}};
    PictureBox ProgressBar{this, {.Left = 120, .Top = 840, .Width = 6555, .Height = 240}};
    Label LCD{this, {.Left = 3960, .Top = 120, .Width = 1245, .Height = 540, .Caption = u"00:00"}};

    Variant PlayPosition;
    Integer SongCount = 0;
    FixedArray<Integer, 0, 1000> PlayOrder;
    Integer LastIndex = 0;
    Double SongLengthMs = 0, UnitMs = 0;
    Integer ProgressSteps = 0, ProgressX = 0;
    Boolean IsPlaying = false;

    void Command1_Click() {
        Try([&] { File1.Path = Text1.Text; });
        if (TryCondition([&] { return Text1.Text != u""; })) {
            Try([&] { List1.Clear(); });
            Try([&] { List2.Clear(); });
            Try([&] { SongCount = Integer(0); });
            const Integer bound = File1.ListCount - 1;
            for (Integer i = 0; i <= bound; i += 1) {
                if (TryCondition([&] { return UCase(Right(File1.List(i), 3)) == u"MP3"; })) {
                    Try([&] { List2.List(SongCount) = File1.Path + u"\\" + File1.List(i); });
                    Try([&] { SongCount += 1; });
                }
            }
            Try([&] { LastIndex = SongCount - 1; });
            const Integer last = LastIndex;
            for (Integer k = 0; k <= last; k += 1) {
                const Single r = Int(Rnd() * (LastIndex + 1));
                PlayOrder(k) = r;
                Boolean duplicate = false;
                for (Integer j = 0; j <= k - 1; j += 1)
                    if (PlayOrder(j) == r) duplicate = true;
                if (duplicate) k -= 1;
            }
            for (Integer i = 0; i <= List2.ListCount - 1; i += 1)
                Try([&] { List1.List(i) = List2.List(PlayOrder(i)); });
            Try([&] { PlayPosition = Integer(0); });
            Try([&] { Me.Caption = FileNameOf(List1.List(PlayPosition)); });
            Try([&] { ProgressSteps = SongLengthMs / UnitMs / 16; }); // UnitMs 0: fails
            Try([&] { LCD.Caption = Format(SongLengthMs / 1000, u"00"); });
            Try([&] { IsPlaying = true; });
        }
        Command1.Enabled = false;
    }

    void DrawProgress() {
        ProgressBar.AutoRedraw = true;
        const Integer width = ProgressBar.ScaleWidth / ProgressSteps;
        Integer i = 1;
        for (; i <= width; i += 1)
            ProgressBar.Line(ProgressX + i, 0, ProgressX + i, ProgressBar.ScaleHeight);
        ProgressBar.AutoRedraw = false;
        ProgressX = ProgressX + i;
    }
};
} // namespace

TEST(ProgramStyle, ShuffledListFromAFolder) {
    char name[] = "/tmp/zampolo-style-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    for (const char* f : {"b.mp3", "Track.Mp3", "notes.mp3.txt", "demomp3", "x.wav"})
        std::ofstream(std::string(name) + "/" + f) << "x";
    Player p;
    p.Show();
    p.Text1.Text = platform::FromNativePath(name);
    Randomize(3.0);
    p.Command1.Value = true;
    EXPECT_EQ(int(p.SongCount), 3);
    EXPECT_EQ(int(p.List1.ListCount.Get()), 3);
    EXPECT_EQ(String(p.List2.List(0)), platform::FromNativePath(std::string(name) + "/b.mp3"));
    std::vector<String> played;
    for (Integer i = 0; i < 3; i += 1) played.push_back(p.List1.List(i));
    std::sort(played.begin(), played.end());
    std::vector<String> found = {p.List2.List(0), p.List2.List(1), p.List2.List(2)};
    std::sort(found.begin(), found.end());
    EXPECT_EQ(played, found) << "each path once";
    EXPECT_EQ(p.Caption.Get(), FileNameOf(p.List1.List(0)));
    EXPECT_TRUE(p.IsPlaying);
    EXPECT_FALSE(p.Command1.Enabled);
    EXPECT_TRUE(p.PlayPosition == 0);
    EXPECT_EQ(int(p.ProgressSteps), 0) << "the division by a zero unit failed and was skipped";
    std::filesystem::remove_all(name);
}

TEST(ProgramStyle, ProgressStepsLeaveAGap) {
    Player p;
    p.ProgressSteps = 649; // ScaleWidth 6495 twips: a step of 10
    p.DrawProgress();
    EXPECT_EQ(int(p.ProgressX), 11);
    p.DrawProgress();
    EXPECT_EQ(int(p.ProgressX), 22);
    p.ProgressSteps = 0;
    EXPECT_THROW(p.DrawProgress(), RuntimeError);
    EXPECT_EQ(int(p.ProgressX), 22);
}
