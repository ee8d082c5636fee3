// The window after load, About, minimise, the two-step close and its picture.
#include "PlayerFixture.h"

#include "platform/Messages.h"
#include "platform/QtBridge.h"

#include <QImage>
#include <QWidget>
#include <cstdio>
#include <string>

namespace {
using namespace zampoplay;

TEST_F(PlayerTest, AfterLoadOnlyFolderMinimiseAndAboutRespond) {
    EXPECT_FALSE(form->Command1.Enabled);
    EXPECT_FALSE(form->Command2.Enabled);
    EXPECT_FALSE(form->Command3.Enabled);
    EXPECT_FALSE(form->Command4.Enabled);
    EXPECT_FALSE(form->Command7.Enabled);
    EXPECT_TRUE(form->Command5.Enabled);
    EXPECT_TRUE(form->Command6.Enabled);
    EXPECT_TRUE(form->Command8.Enabled);
    EXPECT_EQ(form->LCD.Caption.Get(), u"00:00");
    EXPECT_EQ(Single(form->LCD.Top), 170);
    EXPECT_EQ(form->Caption.Get(), u"Zampolo 1.0 - peralto@zampolo.es");
    EXPECT_EQ(CurrentRequest.WindowHandle, HWND(form->hWnd));
    EXPECT_EQ(HookedWindow, HWND(form->hWnd));
    EXPECT_EQ(GetWindowLongA(form->hWnd, GWL_WNDPROC),
              reinterpret_cast<LONG_PTR>(&ForwardingWndProc));
    EXPECT_FALSE(form->IsPlaying);
    EXPECT_TRUE(form->PlayPosition.IsEmpty());
}

TEST_F(PlayerTest, AboutShowsItsTextAndLeavesPlaybackAlone) {
    Play(Folder("about", {"a.mp3", "b.mp3"}));
    Settle();
    Press(form->Command8);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], u"Programa de reproducción aleatoria de canciones. Autor: Peralto");
    EXPECT_EQ(fake::Stops(), 0);
    EXPECT_EQ(fake::Running(), 1);
}

TEST_F(PlayerTest, MinimiseLeavesThePlaylistPlaying) {
    Play(Folder("min", {"a.mp3", "b.mp3"}));
    Press(form->Command6);
    EXPECT_EQ(Integer(form->WindowState), vbMinimized);
    EXPECT_EQ(fake::Stops(), 0);
    EXPECT_TRUE(SongEnds());
    EXPECT_TRUE(form->IsPlaying);
}

TEST_F(PlayerTest, ClosingWhileIdleEndsAtOnce) {
    platform::WidgetOf(form->hWnd)->close();
    EXPECT_FALSE(form->IsLoaded());
}

TEST_F(PlayerTest, ClosingWhilePlayingStopsFirstAndClosesSecond) {
    const runtime::String folder = Folder("close", {"a.mp3", "b.mp3", "c.mp3"});
    Play(folder);
    Settle();
    QWidget* window = platform::WidgetOf(form->hWnd);
    for (int round = 0; round < 2; ++round) {
        Mark();
        window->close();
        EXPECT_TRUE(form->IsLoaded());
        EXPECT_FALSE(form->IsPlaying);
        EXPECT_EQ(fake::Stops(), 4 * round + 1);
        // The stopped song's end message starts nothing.
        EXPECT_FALSE(SongEnds(false));
        EXPECT_EQ(fake::TimedCount(), 3 * round + 1);
        if (round == 1) break;
        // Still a player: a handed folder goes on song after song, and the next close
        // is a first one again.
        form->OpenFolder(folder);
        EXPECT_TRUE(SongEnds());
        EXPECT_TRUE(SongEnds());
    }
    window->close();
    EXPECT_FALSE(form->IsLoaded());
}

TEST_F(PlayerTest, AOneSongListThatEndedStillNeedsTwoCloses) {
    Play(Folder("one", {"solo.mp3"}));
    EXPECT_FALSE(SongEnds());
    EXPECT_TRUE(form->IsPlaying);
    platform::WidgetOf(form->hWnd)->close();
    EXPECT_TRUE(form->IsLoaded());
    platform::WidgetOf(form->hWnd)->close();
    EXPECT_FALSE(form->IsLoaded());
}

QColor Pixel(const QImage& img, int twipsX, int twipsY) {
    return img.pixelColor(twipsX / 15, twipsY / 15);
}

TEST_F(PlayerTest, TheWindowLooksAsDesigned) {
    QWidget* window = platform::WidgetOf(form->hWnd);
    testsupport::PumpPending();
    EXPECT_EQ(window->size(), QSize(447, 79));
    const QImage img = window->grab().toImage();
    img.save(QString(ZAMPOLO_TEST_BINARY_DIR) + "/player-window.png");
    EXPECT_EQ(Pixel(img, 3000, 60), QColor(255, 255, 255)); // the white form between rows
    EXPECT_EQ(Pixel(img, 6700 - 60, 500), QColor(255, 255, 255));
    // Button faces, sampled near their edges (away from the pictures).
    EXPECT_EQ(Pixel(img, 120 + 60, 120 + 60), QColor(255, 255, 128));              // Command5
    EXPECT_EQ(Pixel(img, 6000 + 60, 120 + 60), QColor(255, 128, 0));               // Command6
    EXPECT_EQ(Pixel(img, 1920 + 60, 120 + 60).rgb(), QColor(255, 128, 255).rgb()); // Command3
    // The time display: dark text on a light face somewhere in its middle.
    int dark = 0;
    for (int x = 3960; x < 3960 + 1245; x += 15)
        for (int y = 170; y < 170 + 540; y += 15)
            if (Pixel(img, x, y).lightness() < 80) ++dark;
    EXPECT_GT(dark, 20);
}
} // namespace

namespace {
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}

TEST(ProgramFile, CarriesItsVersionInformation) {
    const std::string file = ZAMPOLO_DIST_DIR "/zampoplay";
    EXPECT_NE(Output("readelf -n '" + file + "'").find("ZAMPOLO"), std::string::npos);
    const std::string strings = Output("readelf -p .note.zampolo.version '" + file + "'");
    for (const char* field :
         {"FileVersion=1.00", "ProductVersion=1.00", "Language=040A", "CodePage=04B0"})
        EXPECT_NE(strings.find(field), std::string::npos) << field;
}

TEST(ProgramFile, NeedsTheRuntimeLibraryAtStartAndNotTheDecoder) {
    const std::string needed = Output("readelf -d '" ZAMPOLO_DIST_DIR "/zampoplay'");
    EXPECT_NE(needed.find("[MSVBVM50.DLL]"), std::string::npos);
    EXPECT_EQ(needed.find("MP3.DLL"), std::string::npos);
}
} // namespace
