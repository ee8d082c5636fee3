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
// The longest path Windows takes, in UTF-16 units; a longer message is refused.
constexpr DWORD kLongestPath = 32767;
// How long a start waits for the player's window to take folders, and for its answer.
constexpr DWORD kHandWait = 10000;

// The window property that marks the window taking a program's folders, as another
// start looks for it; removed before the window goes.
std::wstring ReceiverProperty(const String& name) {
    return L"Zampolo.Folders." + detail::Wide(name);
}
std::wstring receiverProperty;
HWND receiverWindow = nullptr;

// The session's one named event of a program: the start that makes it is the player;
// it is set once the player's window takes folders. Kept open for the whole run.
HANDLE PlayerEvent(const String& name, bool& made) {
    static HANDLE event = nullptr;
    made = false;
    if (!event) {
        event = CreateEventW(nullptr, TRUE, FALSE, (ReceiverProperty(name) + L".ready").c_str());
        made = event && GetLastError() != ERROR_ALREADY_EXISTS;
    }
    return event;
}

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
    bool made = false;
    if (HANDLE ready = PlayerEvent(name, made)) SetEvent(ready);
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
    // The sender's text, up to its first NUL, which must come within a path's length:
    // it is not trusted to end with one, nor to be small.
    const auto* text = static_cast<const wchar_t*>(data.lpData);
    const DWORD bound = std::min<DWORD>(data.cbData / sizeof(wchar_t), kLongestPath + 1);
    const auto* end = std::find(text, text + bound, L'\0');
    if (end == text + bound) return false;
    const std::wstring path(text, end);
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
    std::wstring argument = argc >= 2 ? argv[1] : L"";
    LocalFree(argv);
    // "D:\Mi Música\" splits into D:\Mi Música" (a backslash before a quote escapes
    // it): no path holds a quote, so the folder is what comes before it.
    argument.resize(std::min(argument.find(L'"'), argument.size()));
    if (argument.empty()) return u"";
    return detail::FromWide(detail::FullFolder(argument));
}

bool HandToRunningProgram(const String& Name, const String& Folder) {
    // The start that makes the event is the player, however many start at once; the
    // others wait for its window to take folders.
    bool made = false;
    HANDLE ready = PlayerEvent(Name, made);
    if (!ready || made || WaitForSingleObject(ready, kHandWait) != WAIT_OBJECT_0) return false;
    Search search{ReceiverProperty(Name)};
    EnumWindows(&FindReceiver, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return false;
    std::wstring path = detail::Wide(Folder);
    COPYDATASTRUCT data{kFolderData, DWORD((path.size() + 1) * sizeof(wchar_t)), path.data()};
    // A player that hangs or has gone does not answer, and this start goes on alone.
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(search.found, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, kHandWait, &answer) != 0;
}
} // namespace runtime
