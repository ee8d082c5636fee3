// The progress bar, drawn on the library's ticks, and the folder chooser.
#include "PlayerFixture.h"

#include "platform/QtBridge.h"

#include <QDialog>
#include <QImage>
#include <QWidget>

namespace {
using namespace zampoplay;

class DisplayTest : public PlayerTest {
protected:
    // A two-song list whose first song expects `steps` progress ticks.
    void StartWithSteps(int steps) {
        fake::SetTime(steps * MP3_PROGRESS_FRAMES * 26.0 + 1, 26.0);
        Play(Folder("bar", {"a.mp3", "b.mp3"}));
        Settle();
        ASSERT_EQ(form->ProgressSteps, steps);
    }
    void Tick() {
        const Integer before = form->ProgressX;
        const int timed = fake::TimedCount();
        fake::Progress(16);
        testsupport::PumpUntil([&] { return form->ProgressX != before; }, std::chrono::seconds(2));
        (void)timed;
    }
    // Columns (pixels) of the bar's inside that hold the drawing colour.
    std::vector<int> BlueColumns() {
        QWidget* window = platform::WidgetOf(form->hWnd);
        testsupport::PumpPending();
        const QImage img = window->grab().toImage();
        std::vector<int> cols;
        const int top = (840 + 120) / 15; // a row well inside the bar
        for (int x = 120 / 15; x < (120 + 6555) / 15; ++x)
            if (img.pixelColor(x, top) == QColor(0, 0, 192)) cols.push_back(x - 120 / 15);
        return cols;
    }
    int ScaleWidth() { return static_cast<int>(Single(form->ProgressBar.ScaleWidth)); }
};

TEST_F(DisplayTest, StepsOfTenLeaveOneUnitUndrawnBetweenThem) {
    StartWithSteps(ScaleWidth() / 10);
    Tick();
    EXPECT_EQ(form->ProgressX, 11); // lines 1-10
    Tick();
    EXPECT_EQ(form->ProgressX, 22); // lines 12-21
    Tick();
    EXPECT_EQ(form->ProgressX, 33); // lines 23-32
    const std::vector<int> cols = BlueColumns();
    // Twips 1 to 32 cover the first three pixel columns inside the border.
    ASSERT_EQ(cols.size(), 3u);
    EXPECT_EQ(cols.back() - cols.front(), 2);
}

TEST_F(DisplayTest, MoreStepsThanWidthDrawNothingButAdvance) {
    StartWithSteps(ScaleWidth() + 100);
    Tick();
    EXPECT_EQ(form->ProgressX, 1);
    Tick();
    EXPECT_EQ(form->ProgressX, 2);
    EXPECT_TRUE(BlueColumns().empty());
}

TEST_F(DisplayTest, NoStepsFailsAtTheDivisionAndLeavesPersistentDrawingOn) {
    fake::SetTime(100, 26.0); // below 16 units: 0 steps
    Play(Folder("zero", {"a.mp3", "b.mp3"}));
    Settle();
    ASSERT_EQ(form->ProgressSteps, 0);
    fake::Progress(16);
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        return form->LCD.Caption.Get() == u"00:-00" || form->LCD.Caption.Get() == u"00:00";
    }));
    testsupport::PumpPending();
    EXPECT_EQ(form->ProgressX, 0);
    EXPECT_TRUE(form->ProgressBar.AutoRedraw);
    // The clearing of the next song turns it off again.
    SongEnds();
    EXPECT_FALSE(form->ProgressBar.AutoRedraw);
}

TEST_F(DisplayTest, NextClearsTheBarAndDrawingStartsAgainAtOne) {
    StartWithSteps(ScaleWidth() / 10);
    Tick();
    Tick();
    ASSERT_FALSE(BlueColumns().empty());
    Press(form->Command2);
    EXPECT_EQ(form->ProgressX, 0);
    EXPECT_TRUE(BlueColumns().empty());
    SongEnds(false);
    Settle();
    Tick();
    EXPECT_EQ(form->ProgressX, Integer(Single(ScaleWidth()) / form->ProgressSteps) + 1);
}

TEST_F(DisplayTest, CancellingTheChooserChangesNothing) {
    QString title;
    testsupport::WhenModalShows([&](QWidget* w) {
        title = w->windowTitle();
        static_cast<QDialog*>(w)->reject();
    });
    Press(form->Command5);
    EXPECT_EQ(title, QString("Selecciona la carpeta"));
    EXPECT_EQ(form->Text1.Text.Get(), u"");
    EXPECT_FALSE(form->Command1.Enabled);
}

TEST_F(DisplayTest, AChoiceEnablesPlayAndASecondReplacesIt) {
    auto choose = [&](const String& folder) {
        testsupport::WhenModalShows(
            [folder](QWidget* w) { testsupport::ChooseFolder(w, platform::ToNativePath(folder)); });
        Press(form->Command5);
    };
    const String first = Folder("elegida", {"a.mp3"});
    choose(first);
    EXPECT_EQ(form->Text1.Text.Get(), first);
    EXPECT_TRUE(form->Command1.Enabled);
    const String second = Folder("otra carpeta", {"b.mp3"});
    choose(second);
    EXPECT_EQ(form->Text1.Text.Get(), second);
}
} // namespace
