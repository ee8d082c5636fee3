// What the Windows end-to-end test cannot do from Linux; 0 when it went as it should:
//   sender copy NAME MB      a WM_COPYDATA of MB megabytes without a NUL to NAME's window
//   sender start EXE FOLDER  starts "EXE" "FOLDER\" (as a shortcut may write it); its status
#include <windows.h>

#include <string>
#include <utility>

namespace {
BOOL CALLBACK Find(HWND hwnd, LPARAM lParam) {
    auto* found = reinterpret_cast<std::pair<std::wstring, HWND>*>(lParam);
    if (!GetPropW(hwnd, found->first.c_str())) return TRUE;
    found->second = hwnd;
    return FALSE;
}
} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"copy") {
        std::pair<std::wstring, HWND> found{std::wstring(L"Zampolo.Folders.") + argv[2], nullptr};
        EnumWindows(&Find, reinterpret_cast<LPARAM>(&found));
        if (!found.second) return 2;
        std::wstring text(std::size_t(_wtoi(argv[3])) << 19, L'a');
        COPYDATASTRUCT data{0x5A46, DWORD(text.size() * sizeof(wchar_t)), text.data()};
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(found.second, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                 SMTO_ABORTIFHUNG, 30000, &answer))
            return 3;
        return answer ? 4 : 0;
    }
    if (argc != 4 || std::wstring(argv[1]) != L"start") return 1;
    std::wstring line = std::wstring(L"\"") + argv[2] + L"\" \"" + argv[3] + L"\\\"";
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(argv[2], line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start,
                        &process))
        return 5;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 6;
    GetExitCodeProcess(process.hProcess, &status);
    return int(status);
}
