// The window as designed, what its load sets, and a close without a click.
#include "InstallerFixture.h"

#include "platform/QtBridge.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

namespace {
using runtime::Integer;
using runtime::String;

QWidget* Window(zampoinst::Form1& form) {
    return platform::WidgetOf(form.hWnd);
}
QLabel* LabelSaying(QWidget* window, const QString& text) {
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}
QRect Twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}
void ExpectArial(const QWidget* w, double points) {
    EXPECT_EQ(w->font().family(), "Arial");
    EXPECT_DOUBLE_EQ(w->font().pointSizeF(), points);
    EXPECT_EQ(w->font().weight(), QFont::Normal);
    EXPECT_FALSE(w->font().italic());
    EXPECT_FALSE(w->font().underline());
}

TEST_F(InstallerTest, LoadSetsTheLabelsTheFileListAndTheSystemDirectory) {
    Show();
    EXPECT_EQ(form->Label1.Caption.Get(), u"Para windows XP y para windows VISTA ");
    EXPECT_EQ(form->Label3.Caption.Get(),
              u"Estos archivos se han de copiar en la carpeta 'system32' de windows.");
    ASSERT_EQ(Integer(form->List2.ListCount), 2);
    EXPECT_EQ(String(form->List2.List(0)), u"MP3.DLL");
    EXPECT_EQ(String(form->List2.List(1)), u"MSVBVM50.DLL");
    const String expected = platform::FromNativePath(sys().string());
    EXPECT_EQ(form->SystemDir, expected);
    EXPECT_EQ(form->SystemDirLength, static_cast<runtime::Long>(expected.size()));
    // The whole buffer comes back: the directory, then NULs.
    ASSERT_EQ(form->SystemDirBuffer.size(), 260u);
    EXPECT_EQ(form->SystemDirBuffer.substr(expected.size()), String(260 - expected.size(), u'\0'));
}

TEST_F(InstallerTest, ASystemDirectoryWithMultiByteCharactersKeepsNoNul) {
    const fs::path dir = root / "Sistema con eñes y acentos: ñáé";
    fs::create_directories(dir);
    setenv("ZAMPOLO_SYSTEM_DIR", dir.c_str(), 1);
    Show();
    EXPECT_EQ(form->SystemDir, platform::FromNativePath(dir.string()));
    EXPECT_GT(form->SystemDirLength, static_cast<runtime::Long>(form->SystemDir.size()));
}

TEST_F(InstallerTest, TheWindowLooksAsDesigned) {
    Show();
    QWidget* window = Window(*form);
    testsupport::PumpPending();
    EXPECT_EQ(window->windowTitle(), "REGISTRAR ARCHIVOS - peralto@zampolo.es");
    EXPECT_EQ(window->size(), QSize(393, 315));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_NE(window->minimumSize(), window->maximumSize()) << "the frame is sizable";
    EXPECT_TRUE(window->windowIcon().availableSizes().contains(QSize(32, 32)));
    const QImage icon = window->windowIcon().pixmap(32, 32).toImage();
    int blue = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QColor c = icon.pixelColor(x, y);
            if (c.alpha() > 0 && c.blue() > 2 * c.red() && c.blue() > 100) ++blue;
        }
    EXPECT_GT(blue, 20) << "a blue pen";

    const QImage img = window->grab().toImage();
    img.save(QString(ZAMPOLO_TEST_BINARY_DIR) + "/installer-window.png");
    EXPECT_EQ(img.pixelColor(5, 5), QColor(192, 255, 192));
    EXPECT_EQ(img.pixelColor((3240 + 60) / 15, (2160 + 60) / 15), QColor(255, 224, 192));

    QLabel* label1 = LabelSaying(window, "Para windows XP y para windows VISTA ");
    QLabel* label3 =
        LabelSaying(window, "Estos archivos se han de copiar en la carpeta 'system32' de windows.");
    QLabel* guarantee = LabelSaying(window, "Este procedimiento tiene la garantía personal de");
    QLabel* name = LabelSaying(window, "Peralto");
    QLabel* mail = LabelSaying(window, "peralto@zampolo.es");
    ASSERT_TRUE(label1 && label3 && guarantee && name && mail);
    auto* list = window->findChild<QListWidget*>();
    auto* button = window->findChild<QPushButton*>();
    ASSERT_TRUE(list && button);
    EXPECT_EQ(label1->geometry(), Twips(240, 480, 5055, 855));
    EXPECT_EQ(list->geometry(), Twips(240, 2160, 2775, 1410));
    EXPECT_EQ(button->geometry(), Twips(3240, 2160, 2415, 1455));
    EXPECT_EQ(label3->geometry(), Twips(240, 1560, 4935, 495));
    EXPECT_EQ(guarantee->geometry(), Twips(240, 3720, 4455, 375));
    EXPECT_EQ(name->geometry(), Twips(240, 3960, 3615, 375));
    EXPECT_EQ(mail->geometry(), Twips(240, 4200, 3615, 375));
    for (QWidget* l : {label1, label3, guarantee, name, mail}) ExpectArial(l, 9.75);
    ExpectArial(list, 12);
    ExpectArial(button, 12);
    // The caption wraps inside the button.
    QLabel* caption = LabelSaying(window, "Copiar archivos y registrar componentes");
    ASSERT_TRUE(caption);
    EXPECT_EQ(caption->parentWidget(), button);
    ExpectArial(caption, 12);
    EXPECT_TRUE(caption->isVisible());
    EXPECT_LE(caption->heightForWidth(caption->width()), button->height());
    EXPECT_EQ(mail->palette().color(mail->foregroundRole()),
              QApplication::palette().color(QPalette::Highlight));
    EXPECT_NE(name->palette().color(name->foregroundRole()),
              QApplication::palette().color(QPalette::Highlight));

    // The controls stay where they are when the window grows.
    window->resize(900, 700);
    testsupport::PumpPending();
    EXPECT_EQ(button->geometry(), Twips(3240, 2160, 2415, 1455));
    EXPECT_EQ(mail->geometry(), Twips(240, 4200, 3615, 375));
}

TEST_F(InstallerTest, FocusStartsInTheListAndTabMovesBetweenListAndButtonOnly) {
    Show();
    QWidget* window = Window(*form);
    window->activateWindow();
    auto* list = window->findChild<QListWidget*>();
    auto* button = window->findChild<QPushButton*>();
    testsupport::PumpUntil([&] { return QApplication::focusWidget() == list; });
    EXPECT_EQ(QApplication::focusWidget(), list);
    const auto tab = [] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &press);
        return QApplication::focusWidget();
    };
    EXPECT_EQ(tab(), button);
    EXPECT_EQ(tab(), list);
    EXPECT_FALSE(button->isDefault() || button->autoDefault()) << "Enter does not press it";
}

TEST_F(InstallerTest, ClosingWithoutAClickTouchesNothing) {
    Write(kit() / "MP3.DLL", "decoder");
    Write(kit() / "MSVBVM50.DLL", "runtime");
    Show();
    Window(*form)->close();
    EXPECT_FALSE(form->IsLoaded());
    EXPECT_EQ(Entries(sys()), (std::set<std::string>{"REGSVR32.EXE"}));
    EXPECT_EQ(Entries(kit()), (std::set<std::string>{"MP3.DLL", "MSVBVM50.DLL"}));
    EXPECT_TRUE(Boxes().empty());
}
} // namespace
