// The application, message boxes, program start and end.
#include "Text.h"
#include "runtime/Services.h"

#include "platform/CodePage.h"
#include "platform/Win32.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace runtime {
namespace detail {
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
    app.Path = detail::ProgramFolder();
    app.EXEName = detail::ProgramFileName();
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
    return detail::ShowMessageBox(prompt, buttons, title);
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
