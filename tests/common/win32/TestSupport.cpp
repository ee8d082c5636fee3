#include "TestSupport.h"

#include "platform/Messages.h"

#include <cstdlib>

namespace testsupport {
bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!pred()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return pred();
        PumpPending();
        // Sleeps until a message comes, for at most a few ms: no busy loop.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Message-only windows: they get every sent and posted message and need no display.
HWND NewWindow(WNDPROC proc) {
    static const ATOM kClass = [] {
        WNDCLASSA c{};
        c.lpfnWndProc = DefWindowProcA;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = "ZampoloTestWindow";
        return RegisterClassA(&c);
    }();
    HWND hwnd = CreateWindowExA(0, MAKEINTATOM(kClass), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return hwnd;
}

void DeleteWindow(HWND hwnd) {
    DestroyWindow(hwnd);
}

void SetEnv(const char* name, const std::string& value) {
    _putenv_s(name, value.c_str());
}
} // namespace testsupport
