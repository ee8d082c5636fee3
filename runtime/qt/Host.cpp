// What the shared runtime asks of the window system, on Qt and POSIX.
#include "Text.h"

#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "platform/QtBridge.h"
#include "platform/System.h"

#include <QChar>
#include <QString>

#include <filesystem>

namespace runtime::detail {
std::string Utf8(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}
String Utf16(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdU16String();
}

char16_t UpperCase(char16_t c) {
    return QChar::toUpper(c);
}

String ProgramFolder() {
    return platform::ProgramFolder();
}

String ProgramFileName() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return platform::FromNativePath(exe.filename().string());
}

Integer ShowMessageBox(const String& prompt, Integer buttons, const String& title) {
    return Integer(
        MessageBoxW(nullptr, prompt.c_str(), title.c_str(), static_cast<UINT>(int(buttons))));
}

bool OnWindowThread() {
    return platform::IsWindowThread();
}
} // namespace runtime::detail
