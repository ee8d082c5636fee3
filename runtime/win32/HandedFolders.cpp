// Handed folders on Windows: the command line, another start's WM_COPYDATA to the
// running program's window, and a folder dropped from the shell (WM_DROPFILES).
#include "runtime/HandedFolders.h"

#include "HandedFolders.h"
#include "Native.h"

#include <shellapi.h>

#include <algorithm>
#include <string>

namespace runtime {
namespace {
// WM_COPYDATA's mark for a folder; its data is the folder's path in UTF-16.
constexpr ULONG_PTR kFolderData = 0x5A46; // 'ZF'

// The window property that marks the window taking a program's folders, as another
// start looks for it; removed before the window goes.
std::wstring ReceiverProperty(const String& name) {
    return L"Zampolo.Folders." + detail::Wide(name);
}
std::wstring receiverProperty;
HWND receiverWindow = nullptr;

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct Search {
    std::wstring property;
    HWND found = nullptr;
};

BOOL CALLBACK FindReceiver(HWND hwnd, LPARAM lParam) {
    auto& search = *reinterpret_cast<Search*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId() || !GetPropW(hwnd, search.property.c_str())) return TRUE;
    search.found = hwnd;
    return FALSE;
}
} // namespace

namespace detail {
void AcceptDrops(const String& name, HWND window) {
    if (receiverWindow) RemovePropW(receiverWindow, receiverProperty.c_str());
    receiverProperty = ReceiverProperty(name);
    receiverWindow = window;
    SetPropW(window, receiverProperty.c_str(), reinterpret_cast<HANDLE>(1));
    DragAcceptFiles(window, TRUE);
}

void FolderWindowGone(HWND window) {
    if (window != receiverWindow) return;
    RemovePropW(window, receiverProperty.c_str());
    receiverWindow = nullptr;
}

bool FolderCopied(HWND window, const COPYDATASTRUCT& data) {
    if (window != receiverWindow || data.dwData != kFolderData || !data.lpData ||
        data.cbData < sizeof(wchar_t))
        return false;
    // The sender's text, up to its first NUL; it is not trusted to end with one.
    const auto* text = static_cast<const wchar_t*>(data.lpData);
    std::wstring path(text, data.cbData / sizeof(wchar_t));
    path.resize(std::min(path.find(L'\0'), path.size()));
    return !path.empty() && IsFolder(path) && HandFolder(FromWide(FullFolder(path)));
}

void FilesDropped(HWND window, HDROP drop) {
    // Exactly one folder; files and several items are left alone.
    if (window == receiverWindow && DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        std::wstring path(DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, 0, path.data(), UINT(path.size())));
        if (IsFolder(path)) HandFolder(FromWide(path));
    }
    DragFinish(drop);
}
} // namespace detail

String CommandFolder() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return u"";
    const std::wstring argument = argc >= 2 ? argv[1] : L"";
    LocalFree(argv);
    if (argument.empty()) return u"";
    return detail::FromWide(detail::FullFolder(argument));
}

bool HandToRunningProgram(const String& Name, const String& Folder) {
    Search search{ReceiverProperty(Name)};
    EnumWindows(&FindReceiver, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return false;
    std::wstring path = detail::Wide(Folder);
    COPYDATASTRUCT data{kFolderData, DWORD((path.size() + 1) * sizeof(wchar_t)), path.data()};
    // A program that hangs does not answer, and this start goes on alone.
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(search.found, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, 10000, &answer) != 0;
}
} // namespace runtime
