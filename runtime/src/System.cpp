// The application, message boxes, program start and end.
#include "Text.h"
#include "runtime/Services.h"

#include "platform/Win32.h"

#include <QString>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace runtime {
namespace detail {
std::string Utf8(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}
String Utf16(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdU16String();
}

namespace {
std::atomic<bool> ending{false};
}
void SetEnding() {
    ending = true;
}
bool IsEnding() {
    return ending;
}
} // namespace detail

namespace {
Application MakeApplication() {
    Application app;
    app.Path = platform::ProgramFolder();
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    app.EXEName = platform::FromNativePath(exe.filename().string());
    app.Title = app.EXEName;
    return app;
}

std::function<Integer(const String&, const String&)>& MessageBoxHook() {
    static std::function<Integer(const String&, const String&)> hook;
    return hook;
}
} // namespace

Application App = MakeApplication();

void SetMessageBoxHookForTesting(std::function<Integer(const String&, const String&)> hook) {
    MessageBoxHook() = std::move(hook);
}

Integer MsgBox(const String& prompt, Integer buttons) {
    return MsgBox(prompt, buttons, App.Title);
}

Integer MsgBox(const String& prompt, Integer buttons, const String& title) {
    if (MessageBoxHook()) return MessageBoxHook()(prompt, title);
    return Integer(
        MessageBoxW(nullptr, prompt.c_str(), title.c_str(), static_cast<UINT>(int(buttons))));
}

Double Shell(const String& command, Integer windowStyle) {
    const std::string line = platform::ToAnsi(command);
    const UINT result = WinExec(line.c_str(), static_cast<UINT>(int(windowStyle)));
    switch (result) {
    case ERROR_FILE_NOT_FOUND:
        Raise(err::kFileNotFound);
    case ERROR_PATH_NOT_FOUND:
        Raise(err::kPathNotFound);
    default:
        if (result <= 31) Raise(err::kInvalidCall);
        return result;
    }
}

void End() {
    detail::SetEnding();
    std::fflush(nullptr);
    std::_Exit(0);
}
} // namespace runtime
