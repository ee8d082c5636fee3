// Building the shuffled playlist from the chosen folder.
#include "PlayerFixture.h"

#include "AuxFuncs.h"

#include <algorithm>
#include <map>
#include <set>

namespace {
using namespace zampoplay;

std::vector<String> Entries(ListBox& list) {
    std::vector<String> out;
    for (int i = 0; i < list.ListCount; ++i) out.push_back(list.List(i));
    return out;
}

TEST_F(PlayerTest, TakesEveryNameEndingInMp3InAnyCase) {
    const String dir = Folder(
        "names", {"Track.Mp3", "SONG.MP3", "notes.mp3.txt", "demomp3", "cover.jpg", "b.mp3"});
    Play(dir);
    // The file list's order (case-insensitive), joined to the folder as it reports it.
    const std::vector<String> expected = {dir + u"\\b.mp3", dir + u"\\demomp3", dir + u"\\SONG.MP3",
                                          dir + u"\\Track.Mp3"};
    EXPECT_EQ(Entries(form->List2), expected);
    EXPECT_EQ(form->SongCount, 4);
    EXPECT_EQ(form->LastIndex, 3);
    std::vector<String> playlist = Entries(form->List1);
    std::sort(playlist.begin(), playlist.end());
    std::vector<String> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(playlist, sorted); // each path exactly once
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form->List1.List(i).operator String(), expected[form->PlayOrder(i)]);
}

TEST_F(PlayerTest, StartsTheFirstEntryAndEntersThePlayingState) {
    fake::SetTime(83500, 26.0);
    Play(Folder("start", {"uno.mp3", "dos.mp3"}));
    const String first = form->List1.List(0);
    EXPECT_EQ(LastStarted(), Ansi(first));
    EXPECT_EQ(form->Caption.Get(), FileNameOf(first));
    EXPECT_EQ(form->LCD.Caption.Get(), u"01:23");
    EXPECT_EQ(form->ProgressSteps, Integer(83500 / 26.0 / MP3_PROGRESS_FRAMES));
    EXPECT_EQ(form->ProgressX, 0);
    EXPECT_EQ(Integer(form->PlayPosition), 0);
    EXPECT_TRUE(form->IsPlaying);
    EXPECT_TRUE(form->Command2.Enabled && form->Command3.Enabled && form->Command4.Enabled &&
                form->Command7.Enabled);
    EXPECT_FALSE(form->Command1.Enabled || form->Command5.Enabled);
    Settle();
    EXPECT_EQ(fake::Played(0), Ansi(first));
}

TEST_F(PlayerTest, PathsAreJoinedAsTheFileListReportsItsFolder) {
    const String dir = Folder("slash", {"a.mp3"});
    Play(dir + u"\\");
    ASSERT_EQ(form->List2.ListCount, 1);
    // No separator added or removed: a folder reported with a trailing "\\" (the root)
    // gives two in a row.
    EXPECT_EQ(form->List2.List(0).operator String(), form->File1.Path + u"\\a.mp3");
}

TEST_F(PlayerTest, ASecondSmallerBuildLeavesNothingOfTheFirst) {
    Play(Folder("big", {"1.mp3", "2.mp3", "3.mp3", "4.mp3"}));
    Press(form->Command7);
    SongEnds(false);
    const String small = Folder("small", {"x.mp3", "y.mp3"});
    Play(small);
    EXPECT_EQ(form->List1.ListCount, 2);
    EXPECT_EQ(form->List2.ListCount, 2);
    for (const String& e : Entries(form->List1)) EXPECT_EQ(e.rfind(small, 0), 0u);
}

TEST_F(PlayerTest, EmptyFolderTextShowsTheMessageAndSwitchesTheButtons) {
    form->Text1.Text = u"";
    form->Command1.Enabled = true;
    form->Command1.Value = true;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], u"Primero has de seleccionar la carpeta que contenga los archivos MP3");
    EXPECT_FALSE(form->Command1.Enabled || form->Command5.Enabled);
    EXPECT_TRUE(form->Command2.Enabled && form->Command3.Enabled && form->Command4.Enabled &&
                form->Command7.Enabled);
    EXPECT_EQ(fake::TimedCount(), 0);
    Press(form->Command7); // stop brings back the idle state
    EXPECT_TRUE(form->Command1.Enabled && form->Command5.Enabled);
}

// No MP3 file, or a vanished folder: no song starts, least of all one of the folder
// before; no message; the list is stopped.
TEST_F(PlayerTest, ABuildThatFindsNoSongStartsNoneAndStops) {
    const String before = Folder("before", {"a.mp3"});
    Play(before);
    Press(form->Command7);
    SongEnds(false);
    for (const String& folder : {Folder("none", {"readme.txt"}), before + u"\\gone"}) {
        const int started = fake::TimedCount();
        Play(folder);
        EXPECT_EQ(fake::TimedCount(), started);
        EXPECT_EQ(form->List1.ListCount, 0);
        EXPECT_FALSE(form->IsPlaying);
        EXPECT_TRUE(form->Command1.Enabled && form->Command5.Enabled);
        EXPECT_FALSE(form->Command2.Enabled || form->Command3.Enabled || form->Command4.Enabled ||
                     form->Command7.Enabled);
        form->MessageReceived(MP3_MSG_ENDED, 0, 0);
        EXPECT_EQ(fake::TimedCount(), started);
    }
    EXPECT_TRUE(boxes.empty());
}

// Every one of the 24 orders of four songs comes up about equally often.
TEST_F(PlayerTest, ShuffleIsUniformOverAllOrders) {
    Play(Folder("four", {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}));
    runtime::Randomize(12345);
    std::map<std::vector<int>, int> counts;
    constexpr int kBuilds = 2400;
    for (int n = 0; n < kBuilds; ++n) {
        Press(form->Command7);
        SongEnds(false);
        form->Command1.Value = true;
        std::vector<int> order;
        for (int k = 0; k < 4; ++k) order.push_back(form->PlayOrder(k));
        std::vector<int> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, (std::vector<int>{0, 1, 2, 3}));
        ++counts[order];
    }
    ASSERT_EQ(counts.size(), 24u);
    double chi = 0;
    const double expected = kBuilds / 24.0;
    for (const auto& [order, n] : counts) chi += (n - expected) * (n - expected) / expected;
    EXPECT_LT(chi, 49.7); // 23 degrees of freedom, p = 0.001
}

TEST_F(PlayerTest, TwoBuildsDrawFromTheContinuingStream) {
    const String dir = Folder("stream", {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"});
    auto build = [&] {
        Press(form->Command7);
        SongEnds(false);
        form->Command1.Value = true;
        std::vector<int> order;
        for (int k = 0; k < 5; ++k) order.push_back(form->PlayOrder(k));
        return order;
    };
    Play(dir);
    runtime::Randomize(7);
    const auto first = build(), second = build();
    // The same draws made by hand from the same seed: one stream, never reseeded.
    runtime::Randomize(7);
    auto draw = [] {
        std::vector<int> order;
        while (order.size() < 5) {
            const int r = static_cast<int>(runtime::Int(double(runtime::Rnd()) * 5.0));
            if (std::find(order.begin(), order.end(), r) == order.end()) order.push_back(r);
        }
        return order;
    };
    EXPECT_EQ(first, draw());
    EXPECT_EQ(second, draw());
}

TEST_F(PlayerTest, AThousandAndOneSongsBuildNormallyAndMoreAreCut) {
    std::vector<std::string> names;
    for (int i = 0; i < 1001; ++i) names.push_back("s" + std::to_string(10000 + i) + ".mp3");
    Play(Folder("k1001", names));
    EXPECT_EQ(form->SongCount, 1001);
    std::set<int> slots;
    for (int k = 0; k <= 1000; ++k) slots.insert(form->PlayOrder(k));
    EXPECT_EQ(slots.size(), 1001u);

    Press(form->Command7);
    SongEnds(false);
    for (int i = 1001; i < 1200; ++i) names.push_back("s" + std::to_string(10000 + i) + ".mp3");
    const String big = Folder("k1200", names);
    Play(big);
    EXPECT_EQ(form->SongCount, 1001);
    EXPECT_EQ(form->List2.ListCount, 1001);
    EXPECT_EQ(form->List1.ListCount, 1001);
    // A choice kept in the file list's order, each song once.
    std::vector<String> list2 = Entries(form->List2);
    EXPECT_TRUE(std::is_sorted(list2.begin(), list2.end()));
    EXPECT_EQ(std::set<String>(list2.begin(), list2.end()).size(), 1001u);
}
} // namespace

namespace {
TEST_F(PlayerTest, ASongTheLibraryCannotTimeKeepsTheFormerStepCount) {
    fake::SetTime(83500, 26.0);
    Play(Folder("untimed", {"a.mp3", "b.mp3"}));
    const Integer steps = form->ProgressSteps;
    fake::SetTime(0, 0); // what the library gives for a file it cannot read
    ASSERT_TRUE(SongEnds());
    EXPECT_EQ(form->ProgressSteps, steps); // 0 / 0 fails; the statement is skipped
    EXPECT_EQ(form->LCD.Caption.Get(), u"00:00");
    EXPECT_TRUE(form->IsPlaying);
}
} // namespace
