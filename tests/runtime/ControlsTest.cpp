#include "ErrorOf.h"
#include "Native.h"

#include "runtime/VB.h"

#include "platform/Paths.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace runtime;
namespace fs = std::filesystem;

namespace {
using testsupport::ErrorOf;

class Board : public Form {
public:
    Board() : Form({.ClientWidth = 6705, .ClientHeight = 1185}) {}
    ListBox List1{this, {.Left = 120, .Top = 1560, .Width = 10335, .Height = 2160}};
    FileListBox File1{this, {.Left = 6600, .Top = 4080, .Width = 255, .Height = 300}};
    PictureBox ProgressBar{
        this, {.Left = 120, .Top = 840, .Width = 6555, .Height = 240, .ForeColor = RGB(0, 0, 192)}};
    Label LCD{this,
              {.Left = 3960,
               .Top = 120,
               .Width = 1245,
               .Height = 540,
               .Caption = u"00:00",
               .Font = {u"Arial", 20.25f, true, true},
               .BackColor = vbWindowBackground,
               .ForeColor = vbWindowText,
               .Alignment = vbCenter}};
    Label Label1{
        this, {.Left = 240, .Top = 480, .Width = 5055, .Height = 855, .BackStyle = vbTransparent}};
};
} // namespace

TEST(ListBox, AssigningEntryCountAppendsAndBadIndexesRaise381) {
    Board f;
    EXPECT_EQ(int(f.List1.ListCount.Get()), 0);
    f.List1.List(0) = u"MP3.DLL";
    f.List1.List(1) = u"MSVBVM50.DLL";
    EXPECT_EQ(int(f.List1.ListCount.Get()), 2);
    EXPECT_TRUE(f.List1.ListCount > 1 && f.List1.ListCount == 2 && 2 == f.List1.ListCount);
    EXPECT_TRUE(f.List1.List(1) == u"MSVBVM50.DLL");
    EXPECT_EQ(u"\\sys\\" + f.List1.List(0), u"\\sys\\MP3.DLL");
    f.List1.List(0) = f.List1.List(1);
    EXPECT_EQ(String(f.List1.List(0)), u"MSVBVM50.DLL");
    EXPECT_EQ(ErrorOf([&] { f.List1.List(3) = u"x"; }), 381);
    EXPECT_EQ(ErrorOf([&] { f.List1.List(-1) = u"x"; }), 381);
    EXPECT_EQ(ErrorOf([&] { String s = f.List1.List(2); }), 381);
    EXPECT_EQ(ErrorOf([&] { String s = f.List1.List(-1); }), 381);
    f.List1.AddItem(u"c");
    EXPECT_EQ(String(f.List1.List(2)), u"c");
    f.List1.Clear();
    EXPECT_EQ(int(f.List1.ListCount.Get()), 0);
}

TEST(FileListBox, ListsOrdinaryFilesSortedWithoutCaseAndKeepsItsFolderOnErrors) {
    char name[] = "/tmp/zampolo-list-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const std::string root = name;
    for (const char* file : {"b.mp3", "A.MP3", "c.txt", ".hidden.mp3", "a.mp3"})
        std::ofstream(root + "/" + file) << "x";
    fs::create_directory(root + "/folder.mp3");

    Board f;
    EXPECT_EQ(f.File1.Path.Get(), platform::FromNativePath(fs::current_path().string()))
        << "at start it lists the current directory";
    f.File1.Path = platform::FromNativePath(root + "/");
    EXPECT_EQ(f.File1.Path.Get(), platform::FromNativePath(root));
    ASSERT_EQ(int(f.File1.ListCount.Get()), 4);
    EXPECT_EQ(f.File1.List(0), u"A.MP3");
    EXPECT_EQ(f.File1.List(1), u"a.mp3");
    EXPECT_EQ(f.File1.List(2), u"b.mp3");
    EXPECT_EQ(f.File1.List(3), u"c.txt");
    EXPECT_EQ(ErrorOf([&] { f.File1.List(4); }), 381);

    EXPECT_EQ(ErrorOf([&] { f.File1.Path = platform::FromNativePath(root + "/missing"); }), 76);
    EXPECT_EQ(ErrorOf([&] { f.File1.Path = platform::FromNativePath(root + "/c.txt"); }), 76);
    EXPECT_EQ(ErrorOf([&] { f.File1.Path = u""; }), 76);
    EXPECT_EQ(f.File1.Path.Get(), platform::FromNativePath(root));
    EXPECT_EQ(int(f.File1.ListCount.Get()), 4);
    f.File1.Path = u"\\";
    EXPECT_EQ(f.File1.Path.Get(), u"\\");
    fs::remove_all(root);
}

TEST(PictureBox, DrawsLinesInForeColorInsideItsBorder) {
    Board f;
    f.Show();
    PictureBox& bar = f.ProgressBar;
    QWidget* w = bar.Native().widget;
    EXPECT_EQ(w->size(), QSize(437, 16));
    EXPECT_FLOAT_EQ(bar.ScaleWidth, (437 - 4) * 15.0f);
    EXPECT_FLOAT_EQ(bar.ScaleHeight, (16 - 4) * 15.0f);
    const QColor face = w->palette().color(QPalette::Button);

    bar.AutoRedraw = true;
    for (Integer x = 150; x <= 299; ++x) bar.Line(x, 0, x, bar.ScaleHeight); // pixels 10..19
    bar.AutoRedraw = false;
    QImage grab = w->grab().toImage();
    const int b = 2; // the border
    EXPECT_EQ(grab.pixelColor(b + 9, b + 5), face);
    EXPECT_EQ(grab.pixelColor(b + 10, b), QColor(0, 0, 192));
    EXPECT_EQ(grab.pixelColor(b + 19, b + 11), QColor(0, 0, 192));
    EXPECT_EQ(grab.pixelColor(b + 20, b + 5), face);

    w->repaint(); // the drawing persists
    grab = w->grab().toImage();
    EXPECT_EQ(grab.pixelColor(b + 15, b + 5), QColor(0, 0, 192));

    bar.Cls();
    grab = w->grab().toImage();
    EXPECT_EQ(grab.pixelColor(b + 15, b + 5), face);
    EXPECT_EQ(ErrorOf([&] { (void)(bar.ScaleWidth / Integer(0)); }), 11);
}

// Straight lines are filled without a painter and repeated ones skipped: the pixels
// must still be the painter's, ends included, clipped, in drawing order.
TEST(PictureBox, LinesHitThePaintersPixels) {
    Board f;
    f.Show();
    PictureBox& bar = f.ProgressBar;
    QWidget* w = bar.Native().widget;
    QImage want(w->size() - QSize(4, 4), QImage::Format_RGB32);
    want.fill(w->palette().color(QPalette::Button));
    QPainter painter(&want);
    const QColor blue(0, 0, 192), red(255, 0, 0);
    const struct {
        int x1, y1, x2, y2;
        QColor color;
    } lines[] = {{3, 0, 3, 12, blue},   {8, 11, 8, 2, blue},   {20, 4, 1, 4, red},
                 {430, 6, 440, 6, red}, {-5, 1, 5, 1, blue},   {3, 0, 3, 12, red},
                 {3, 0, 3, 12, blue},   {50, 0, 60, 11, blue}, {100, -3, 100, 3, red}};
    for (const auto& l : lines) {
        painter.setPen(QPen(l.color, 0));
        painter.drawLine(l.x1, l.y1, l.x2, l.y2);
        const long c = RGB(l.color.red(), l.color.green(), l.color.blue());
        // Every twip of a pixel lands on it: only the first line of each changes it.
        for (int t = 0; t < 15; ++t)
            bar.Line(l.x1 * 15 + t, l.y1 * 15, l.x2 * 15 + t, l.y2 * 15, c);
    }
    painter.end();
    const QImage got =
        w->grab().toImage().copy(2, 2, want.width(), want.height()).convertToFormat(want.format());
    EXPECT_EQ(got, want);
}

TEST(Label, TakesColoursFontAlignmentAndMovesAtRunTime) {
    Board f;
    auto& lcd = static_cast<QLabel&>(*f.LCD.Native().widget);
    EXPECT_EQ(lcd.text(), "00:00");
    EXPECT_TRUE(lcd.alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(lcd.font().bold());
    EXPECT_TRUE(lcd.font().italic());
    EXPECT_DOUBLE_EQ(lcd.font().pointSizeF(), 20.25);
    EXPECT_EQ(lcd.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(lcd.palette().color(QPalette::WindowText),
              QApplication::palette().color(QPalette::Text));
    EXPECT_TRUE(lcd.autoFillBackground());
    EXPECT_FALSE(f.Label1.Native().widget->autoFillBackground()) << "transparent";
    f.LCD.Top = f.LCD.Top + 50;
    EXPECT_FLOAT_EQ(f.LCD.Top, 170);
    EXPECT_EQ(lcd.y(), 11);
    f.LCD.Caption = u"03:07";
    EXPECT_EQ(String(f.LCD.Caption), u"03:07");
    f.LCD.ForeColor = vbHighlight;
    EXPECT_EQ(lcd.palette().color(QPalette::WindowText),
              QApplication::palette().color(QPalette::Highlight));
}

TEST(Pictures, GifBmpAndIcoLoadFromResources) {
    EXPECT_EQ(detail::LoadPixmap(u":/test/pic.gif").size(), QSize(16, 12));
    EXPECT_EQ(detail::LoadPixmap(u":/test/pic.bmp").size(), QSize(16, 12));
    EXPECT_EQ(detail::LoadPixmap(u":/test/pic.ico").size(), QSize(32, 32));
    EXPECT_EQ(ErrorOf([] { detail::LoadPixmap(u":/test/missing.gif"); }), 53);
    EXPECT_EQ(ErrorOf([] { detail::LoadPixmap(u":/test/broken.gif"); }), 481);
    Board f;
    CommandButton button{&f, {.Style = vbButtonGraphical, .Picture = u":/test/pic.bmp"}};
    auto* shown = static_cast<detail::ButtonWidget*>(button.Native().widget);
    EXPECT_EQ(shown->picture->pixmap().size(), QSize(16, 12));
    EXPECT_TRUE(shown->caption->isHidden()) << "no caption";
    button.Caption = u"Copiar archivos y registrar componentes";
    EXPECT_TRUE(shown->caption->wordWrap());
    EXPECT_EQ(shown->caption->text(), "Copiar archivos y registrar componentes");
    // A dark palette's button text on a black button: the caption is drawn white.
    QPalette dark = f.Native().widget.palette();
    dark.setColor(QPalette::ButtonText, Qt::black);
    f.Native().widget.setPalette(dark);
    CommandButton about{&f, {.Style = vbButtonGraphical, .Caption = u"@", .BackColor = 0}};
    auto* at = static_cast<detail::ButtonWidget*>(about.Native().widget);
    EXPECT_EQ(at->caption->palette().color(QPalette::WindowText), QColor(Qt::white));
}
