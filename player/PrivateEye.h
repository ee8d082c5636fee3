// Hooks one window: its previous procedure handles every message as before, then the
// hooked form's MessageReceived sees it.
#pragma once

#include "runtime/Forms.h"

#include "platform/Types.h"

#include <memory>

namespace zampoplay {
using runtime::Long;

// The one method a hooked form offers, besides its hWnd.
class MessageReceiver {
public:
    virtual void MessageReceived(Long Message, Long wParam, Long lParam) = 0;

protected:
    ~MessageReceiver() = default;
};

// Kept until the next HookWindow, whatever UnhookWindow does.
extern std::shared_ptr<runtime::Form> HookedForm;
extern HWND HookedWindow;
extern LONG_PTR PreviousWndProc;

void HookWindow(std::shared_ptr<runtime::Form> frm);
void UnhookWindow();
// The hooked window's procedure; only the platform calls it.
LRESULT WINAPI ForwardingWndProc(HWND hWnd, UINT Message, WPARAM wParam, LPARAM lParam);
} // namespace zampoplay
