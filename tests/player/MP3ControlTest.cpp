// The playback controller against the stand-in decoder library.
#include "MP3Control.h"
#include "FakeDecoder.h"
#include "MP3Request.h"
#include "TestSupport.h"

#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "platform/QtBridge.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <vector>

namespace {
using namespace zampoplay;

std::vector<UINT> g_messages;
LRESULT Recorder(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= MP3_MSG_PROGRESS && msg <= MP3_MSG_ENDED) g_messages.push_back(msg);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
int Count(UINT msg) {
    return static_cast<int>(std::count(g_messages.begin(), g_messages.end(), msg));
}

class MP3ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        g_messages.clear();
        hwnd = platform::AttachWindow(&window, Recorder);
        CurrentRequest = PlayRequest{};
        CurrentRequest.WindowHandle = hwnd;
    }
    void TearDown() override {
        fake::Reset();
        testsupport::PumpUntil([] { return fake::Running() == 0; });
        DestroyWindow(hwnd);
    }
    QWidget window;
    HWND hwnd = nullptr;
};

TEST_F(MP3ControlTest, QuerySongTimeFillsTheCallersVariables) {
    fake::SetTime(183000, 26.122);
    CurrentRequest.FileName = u"\\música\\canción.mp3";
    Double length = 0, unit = 0;
    QuerySongTime(length, unit);
    EXPECT_EQ(length, 183000);
    EXPECT_EQ(unit, 26.122);
    EXPECT_EQ(fake::Timed(0), platform::ToAnsi(u"\\música\\canción.mp3"));
    EXPECT_EQ(CurrentRequest.FileName, u"\\música\\canción.mp3");
    EXPECT_EQ(CurrentRequest.WindowHandle, hwnd);
}

TEST_F(MP3ControlTest, ASongPlaysOnItsOwnThreadUntilStopped) {
    CurrentRequest.FileName = u"\\m\\uno.mp3";
    StartPlayback();
    ASSERT_TRUE(testsupport::PumpUntil([] { return Count(MP3_MSG_STARTED) == 1; }));
    EXPECT_EQ(fake::Played(0), "\\m\\uno.mp3");
    EXPECT_EQ(fake::Running(), 1);
    StopPlayback();
    ASSERT_TRUE(testsupport::PumpUntil([] { return Count(MP3_MSG_ENDED) == 1; }));
    EXPECT_EQ(fake::Running(), 0);
    EXPECT_EQ(fake::Stops(), 1);
}

TEST_F(MP3ControlTest, RewritingTheRequestLeavesAStartedSongAlone) {
    CurrentRequest.FileName = u"\\m\\uno.mp3";
    StartPlayback();
    CurrentRequest.FileName = u"\\m\\dos, con un nombre bastante más largo.mp3";
    StartPlayback();
    ASSERT_TRUE(testsupport::PumpUntil([] { return fake::PlayCount() == 2; }));
    std::vector<std::string> played = {fake::Played(0), fake::Played(1)};
    std::sort(played.begin(), played.end());
    EXPECT_EQ(played[0], "\\m\\dos, con un nombre bastante más largo.mp3");
    EXPECT_EQ(played[1], "\\m\\uno.mp3");
    StopPlayback(); // both end
    ASSERT_TRUE(testsupport::PumpUntil([] { return Count(MP3_MSG_ENDED) == 2; }));
}

TEST_F(MP3ControlTest, CharactersOutsideTheCodePageAreReplacedForTheLibrary) {
    platform::SetCodePageForTesting("ISO-8859-1");
    CurrentRequest.FileName = u"\\m\\日本.mp3";
    Double length = 0, unit = 0;
    QuerySongTime(length, unit);
    EXPECT_EQ(fake::Timed(0), "\\m\\??.mp3");
    EXPECT_EQ(CurrentRequest.FileName, u"\\m\\??.mp3"); // carried back as replaced
    platform::SetCodePageForTesting("");
}
} // namespace
