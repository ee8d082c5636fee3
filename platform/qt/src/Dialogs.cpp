#include "platform/Dialogs.h"

#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "platform/QtBridge.h"

#include "Portal.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <optional>
#include <string>

// An item list names one folder; it is one allocation, released by CoTaskMemFree.
struct ITEMIDLIST {
    std::uint32_t magic;
    char native[1]; // NUL-terminated native path, allocated to its length
};

namespace {
constexpr std::uint32_t kItemListMagic = 0x5A504944; // "ZPID"

int ShowMessage(HWND owner, const QString& text, const QString* caption) {
    platform::UseSpanishTexts();
    QMessageBox box(platform::WidgetOf(owner));
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setWindowTitle(caption ? *caption : QGuiApplication::applicationDisplayName());
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return IDOK;
}

LPITEMIDLIST MakeItemList(const std::string& native) {
    auto* list = static_cast<ITEMIDLIST*>(std::malloc(sizeof(ITEMIDLIST) + native.size()));
    if (!list) return nullptr;
    list->magic = kItemListMagic;
    std::memcpy(list->native, native.c_str(), native.size() + 1);
    return list;
}

// The folder chooser, modal: the desktop's through its portal where one answers, else
// our own. Its dialog is gone when this returns. The chosen folder's native path.
std::optional<std::string> ChooseFolder(const BROWSEINFOA* info) {
    const QString title =
        QString::fromStdU16String(platform::FromAnsi(info->lpszTitle ? info->lpszTitle : ""));
    QWidget* owner = platform::WidgetOf(info->hwndOwner);
    const platform::detail::PortalChoice portal =
        platform::detail::ChooseFolderWithPortal(owner, title);
    if (portal.answered) return portal.folder;
    platform::UseSpanishTexts();
    // Only file-system folders can be chosen here, whatever the flags say.
    QFileDialog dialog(owner, title, QDir::homePath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QFile::encodeName(QDir::cleanPath(dialog.selectedFiles().first())).toStdString();
}
} // namespace

namespace platform {
void UseSpanishTexts() {
    if (!QCoreApplication::instance()) return;
    static bool installed = false;
    if (installed) return;
    installed = true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(QLocale::Spanish), "qtbase", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator; // without Qt's translations the dialogs keep Qt's own texts
}
} // namespace platform

extern "C" {
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT) {
    const QString body = QString::fromStdU16String(platform::FromAnsi(text ? text : ""));
    if (!caption) return ShowMessage(owner, body, nullptr);
    const QString title = QString::fromStdU16String(platform::FromAnsi(caption));
    return ShowMessage(owner, body, &title);
}

int MessageBoxW(HWND owner, const WCHAR* text, const WCHAR* caption, UINT) {
    const QString body = text ? QString::fromUtf16(text) : QString();
    if (!caption) return ShowMessage(owner, body, nullptr);
    const QString title = QString::fromUtf16(caption);
    return ShowMessage(owner, body, &title);
}

LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info) {
    if (!info) return nullptr;
    const std::optional<std::string> chosen = ChooseFolder(info);
    // The dialog's models, views and icons are freed by now; give the pages back
    // too, or the heap keeps them for the rest of the program.
    malloc_trim(0);
    if (!chosen) return nullptr;
    if (info->pszDisplayName) {
        const std::string& native = *chosen;
        std::string name = platform::AnsiFromNativePath(native.substr(native.rfind('/') + 1));
        name.resize(std::min<std::size_t>(name.size(), MAX_PATH - 1));
        std::memcpy(info->pszDisplayName, name.c_str(), name.size() + 1);
    }
    return MakeItemList(*chosen);
}

BOOL SHGetPathFromIDListA(LPITEMIDLIST list, char* path) {
    if (!list || !path || list->magic != kItemListMagic) return FALSE;
    const std::string text = platform::AnsiFromNativePath(list->native);
    if (text.size() >= static_cast<std::size_t>(MAX_PATH)) return FALSE;
    std::memcpy(path, text.c_str(), text.size() + 1);
    return TRUE;
}

void CoTaskMemFree(void* memory) {
    std::free(memory);
}
}
