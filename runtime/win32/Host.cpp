// What the shared runtime asks of the window system, on Windows.
#include "Native.h"
#include "Text.h"

namespace runtime::detail {
int modalBoxes = 0;

std::string Utf8(std::u16string_view text) {
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide, int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, int(text.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

String Utf16(std::string_view utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
    return FromWide(wide);
}

char16_t UpperCase(char16_t c) {
    wchar_t text[2] = {static_cast<wchar_t>(c), L'\0'};
    CharUpperBuffW(text, 1);
    return static_cast<char16_t>(text[0]);
}

namespace {
std::wstring ProgramFile() {
    std::wstring file(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, file.data(), DWORD(file.size()));
        if (n < file.size()) {
            file.resize(n);
            return file;
        }
        file.resize(file.size() * 2);
    }
}
} // namespace

String ProgramFolder() {
    const std::wstring file = ProgramFile();
    return FromWide(file.substr(0, file.find_last_of(L'\\')));
}

String ProgramFileName() {
    // Without its extension, as a program names itself.
    std::wstring name = ProgramFile();
    name = name.substr(name.find_last_of(L'\\') + 1);
    return FromWide(name.substr(0, name.find_last_of(L'.')));
}

Integer ShowMessageBox(const String& prompt, Integer buttons, const String& title) {
    // Modal to the whole program, as the program's own windows wait for it.
    ++modalBoxes;
    const int pressed = MessageBoxW(nullptr, Wide(prompt).c_str(), Wide(title).c_str(),
                                    static_cast<UINT>(int(buttons)) | MB_TASKMODAL);
    --modalBoxes;
    return Integer(pressed);
}

bool OnWindowThread() {
    return windowThread == 0 || GetCurrentThreadId() == windowThread;
}
} // namespace runtime::detail
