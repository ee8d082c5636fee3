// Message boxes and the folder chooser, answered as a person would.
#include "TestSupport.h"
#include "platform/Dialogs.h"
#include "platform/Paths.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
TEST(MessageBox, ModalWithOneOkButtonNoIconAndTheAppTitle) {
    QApplication::setApplicationDisplayName("Zampolo");
    QString title, text;
    int buttons = -1;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QString okText;
    testsupport::WhenModalShows([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        okText = box->button(QMessageBox::Ok)->text();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Programa de reproducci\xC3\xB3n", nullptr, MB_OK), IDOK);
    EXPECT_EQ(title, QString("Zampolo"));
    EXPECT_EQ(text, QString("Programa de reproducción"));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(okText.remove('&'), QString("Aceptar")); // Qt's own texts in Spanish too

    testsupport::WhenModalShows([&](QWidget* w) {
        title = w->windowTitle();
        qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(MessageBoxW(nullptr, u"<b>no es HTML</b>", u"Título", MB_OK), IDOK);
    EXPECT_EQ(title, QString("Título"));
}

TEST(FolderChooser, CancelGivesNoList) {
    QString title;
    QStringList buttons;
    testsupport::WhenModalShows([&](QWidget* w) {
        title = w->windowTitle();
        for (auto* b : w->findChildren<QAbstractButton*>()) buttons << b->text().remove('&');
        qobject_cast<QFileDialog*>(w)->reject();
    });
    BROWSEINFOA info{};
    info.lpszTitle = "Selecciona la carpeta";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    EXPECT_EQ(SHBrowseForFolderA(&info), nullptr);
    EXPECT_EQ(title, QString("Selecciona la carpeta"));
    EXPECT_TRUE(buttons.contains("Cancelar")) << buttons.join(", ").toStdString();
    EXPECT_EQ(SHBrowseForFolderA(nullptr), nullptr);
    char path[MAX_PATH];
    EXPECT_FALSE(SHGetPathFromIDListA(nullptr, path));
    CoTaskMemFree(nullptr);
}

TEST(FolderChooser, ConfirmedFolderComesBackInPlatformForm) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("zampolo-chooser-" + std::to_string(::getpid())) / "Música";
    std::filesystem::create_directories(dir);
    testsupport::WhenModalShows([&](QWidget* w) { testsupport::ChooseFolder(w, dir.string()); });
    char name[MAX_PATH] = "";
    BROWSEINFOA info{};
    info.pszDisplayName = name;
    info.lpszTitle = "Selecciona la carpeta";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST list = SHBrowseForFolderA(&info);
    ASSERT_NE(list, nullptr);
    char path[512];
    ASSERT_TRUE(SHGetPathFromIDListA(list, path));
    EXPECT_EQ(std::string(path), platform::AnsiFromNativePath(dir.string()));
    EXPECT_EQ(std::string(name), "M\xC3\xBAsica");
    CoTaskMemFree(list);
    std::filesystem::remove_all(dir.parent_path());
}
} // namespace
