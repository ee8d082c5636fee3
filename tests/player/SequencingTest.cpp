// Endless playback and the transport buttons, driven by the library's messages.
#include "AuxFuncs.h"
#include "PlayerFixture.h"

#include "platform/Messages.h"
#include "platform/Threads.h"

namespace {
using namespace zampoplay;

class SequencingTest : public PlayerTest {
protected:
    // A list of n songs; returns the playlist as the library sees the paths.
    void Start(int n) {
        std::vector<std::string> names;
        for (int i = 0; i < n; ++i) names.push_back("song" + std::to_string(i) + ".mp3");
        Play(Folder("seq" + std::to_string(n), names));
        for (int i = 0; i < n; ++i) entries.push_back(Ansi(form->List1.List(i)));
    }
    // The entry of List1 that the last start sequence played.
    int Current() {
        const std::string last = LastStarted();
        for (int i = 0; i < static_cast<int>(entries.size()); ++i)
            if (entries[i] == last) return i;
        return -100;
    }
    // Presses the button; the stopped song's end message then starts what it starts.
    bool PressAndEnd(CommandButton& button) {
        Press(button);
        return SongEnds(false);
    }
    std::vector<std::string> entries;
};

TEST_F(SequencingTest, ThreeSongsPlayInOrderAndWrapForever) {
    Start(3);
    std::vector<int> order = {Current()};
    for (int n = 0; n < 7; ++n) {
        ASSERT_TRUE(SongEnds());
        order.push_back(Current());
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 0, 1, 2, 0, 1}));
    EXPECT_EQ(fake::PlayCount(), 8);
}

TEST_F(SequencingTest, PlayPositionHoldsMinusOneWhileTheLastPlays) {
    Start(3);
    SongEnds();
    EXPECT_EQ(Integer(form->PlayPosition), 1);
    SongEnds();
    EXPECT_EQ(Current(), 2);
    EXPECT_EQ(Integer(form->PlayPosition), -1);
}

TEST_F(SequencingTest, OneSongPlaysOnce) {
    Start(1);
    EXPECT_FALSE(SongEnds());
    EXPECT_TRUE(form->IsPlaying);
    EXPECT_TRUE(form->Command7.Enabled);
}

TEST_F(SequencingTest, NextStartsTheFollowingEntryAndWraps) {
    Start(4);
    ASSERT_TRUE(PressAndEnd(form->Command2));
    EXPECT_EQ(Current(), 1);
    ASSERT_TRUE(PressAndEnd(form->Command2));
    ASSERT_TRUE(PressAndEnd(form->Command2));
    EXPECT_EQ(Current(), 3);
    ASSERT_TRUE(PressAndEnd(form->Command2)); // next on the last: the first again
    EXPECT_EQ(Current(), 0);
}

TEST_F(SequencingTest, NextOnAOneSongListStopsAndStartsNothing) {
    Start(1);
    EXPECT_FALSE(PressAndEnd(form->Command2));
    EXPECT_EQ(fake::Stops(), 1);
}

TEST_F(SequencingTest, RepeatRestartsTheSongPlaying) {
    Start(4);
    ASSERT_TRUE(PressAndEnd(form->Command3));
    EXPECT_EQ(Current(), 0);
    SongEnds();
    ASSERT_TRUE(PressAndEnd(form->Command3));
    EXPECT_EQ(Current(), 1);
    SongEnds();
    SongEnds();
    EXPECT_EQ(Current(), 3);
    // After the wrap PlayPosition is -1: repeat asks for entry -1, which cannot be
    // read, so the last song starts again; the next one is entry 0.
    ASSERT_TRUE(PressAndEnd(form->Command3));
    EXPECT_EQ(Current(), 3);
    EXPECT_EQ(Integer(form->PlayPosition), -1);
    SongEnds();
    EXPECT_EQ(Current(), 0);
}

TEST_F(SequencingTest, PreviousStartsTheEntryBefore) {
    Start(4);
    ASSERT_TRUE(PressAndEnd(form->Command4)); // on the first: the first again
    EXPECT_EQ(Current(), 0);
    SongEnds();
    SongEnds();
    EXPECT_EQ(Current(), 2);
    ASSERT_TRUE(PressAndEnd(form->Command4)); // in the middle: the one before
    EXPECT_EQ(Current(), 1);
    SongEnds();
    SongEnds();
    EXPECT_EQ(Current(), 3);
    ASSERT_TRUE(PressAndEnd(form->Command4)); // the last after the wrap: the first
    EXPECT_EQ(Current(), 0);
}

TEST_F(SequencingTest, RepeatOrPreviousMakeAOneSongListEndless) {
    Start(1);
    ASSERT_TRUE(PressAndEnd(form->Command3));
    for (int n = 0; n < 3; ++n) ASSERT_TRUE(SongEnds());
    EXPECT_EQ(Integer(form->PlayPosition), -1);
    form->Command7.Value = true;
    SongEnds(false);
    Play(Folder("seq1b", {"otra.mp3"}));
    ASSERT_TRUE(PressAndEnd(form->Command4));
    ASSERT_TRUE(SongEnds());
}

TEST_F(SequencingTest, StopEndsTheChainAndEnablesPlayAndFolder) {
    Start(3);
    EXPECT_FALSE(PressAndEnd(form->Command7));
    EXPECT_EQ(Integer(form->PlayPosition), 3);
    EXPECT_FALSE(form->IsPlaying);
    EXPECT_TRUE(form->Command1.Enabled && form->Command5.Enabled);
    EXPECT_FALSE(form->Command2.Enabled || form->Command3.Enabled || form->Command4.Enabled ||
                 form->Command7.Enabled);
    // A later end message starts nothing either.
    PostMessageA(form->hWnd, MP3_MSG_ENDED, 0, 0);
    EXPECT_FALSE(SongEnds(false));
}

TEST_F(SequencingTest, TheCountdownFollowsTheTicks) {
    fake::SetTime(125000, 26.0);
    Start(2);
    EXPECT_EQ(form->LCD.Caption.Get(), u"02:05");
    Settle();
    fake::Progress(1600); // 1600 * 26 ms = 41.6 s heard
    ASSERT_TRUE(testsupport::PumpUntil([&] { return form->LCD.Caption.Get() == u"01:23"; }));
    EXPECT_EQ(FormatTime(125000 - 26.0 * 1600), u"01:23");
    SongEnds();
    EXPECT_EQ(form->LCD.Caption.Get(), u"02:05"); // the next song shows its full length
}

TEST_F(SequencingTest, OtherMessagesChangeNothing) {
    Start(2);
    Settle();
    const String caption = form->Caption, lcd = form->LCD.Caption;
    for (UINT m : {MP3_MSG_PROGRESS - 1, MP3_MSG_STARTED, MP3_MSG_ENDED + 1, 13000u})
        PostMessageA(form->hWnd, m, 5, 0);
    testsupport::PumpPending();
    EXPECT_EQ(form->Caption.Get(), caption);
    EXPECT_EQ(form->LCD.Caption.Get(), lcd);
    EXPECT_EQ(fake::TimedCount(), 1);
    EXPECT_EQ(Integer(form->PlayPosition), 0);
}

// Stop, play and next pressed in one turn of the event loop: the new song is stopped
// although its thread has not reached the library yet, the stopped song's late end
// message starts nothing, and exactly one song plays after each round.
TEST_F(SequencingTest, ButtonsPressedAsASongStartsLeaveOneSongPlaying) {
    Start(3);
    for (int n = 0; n < 300; ++n) {
        Mark();
        for (CommandButton* button : {&form->Command7, &form->Command1, &form->Command2})
            button->Value = true;
        ASSERT_TRUE(testsupport::PumpUntil([&] {
            return fake::Ended() == endedBefore + 2 && fake::PlayCount() == startedBefore + 2;
        })) << "round "
            << n;
        testsupport::PumpPending();
        ASSERT_EQ(fake::Running(), 1);
        ASSERT_EQ(fake::TimedCount(), startedBefore + 2);
        ASSERT_EQ(LastStarted(), Ansi(form->List1.List(1)));
        ASSERT_EQ(form->Caption.Get(), FileNameOf(form->List1.List(1)));
    }
}

// A song that gets no thread stops the list, from play and from the next-song step: no
// display of a song that never plays, no loop through the list.
TEST_F(SequencingTest, ASongWithoutAThreadStopsTheList) {
    platform::FailThreadsForTesting(1);
    Start(3);
    EXPECT_TRUE(!form->IsPlaying && form->Command1.Enabled && !form->Command7.Enabled);
    form->Command1.Value = true;
    ASSERT_TRUE(testsupport::PumpUntil([] { return fake::PlayCount() == 1; }));
    platform::FailThreadsForTesting(1);
    fake::EndSong();
    ASSERT_TRUE(testsupport::PumpUntil([] { return fake::TimedCount() == 3; }));
    testsupport::PumpPending();
    EXPECT_TRUE(!form->IsPlaying && form->Command1.Enabled && !form->Command7.Enabled);
    EXPECT_EQ(fake::TimedCount(), 3);
    fake::Reset(); // the two starts without a thread never reach mp3play
}
} // namespace
