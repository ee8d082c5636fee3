#include "PrivateEye.h"

#include "runtime/Declare.h"

#include "platform/Messages.h"

namespace zampoplay {
std::shared_ptr<runtime::Form> HookedForm;
HWND HookedWindow = nullptr;
LONG_PTR PreviousWndProc = 0;

namespace {
const runtime::Declare<LONG_PTR(HWND, int, LONG_PTR)> SetWindowLongA{"user32", "SetWindowLongA"};
const runtime::Declare<LRESULT(WNDPROC, HWND, UINT, WPARAM, LPARAM)> CallWindowProcA{
    "user32", "CallWindowProcA"};
} // namespace

void HookWindow(std::shared_ptr<runtime::Form> frm) {
    // Put the earlier procedure back first, so that ForwardingWndProc can never
    // become its own previous procedure.
    if (HookedForm) UnhookWindow();
    HookedForm = frm;
    HookedWindow = frm->hWnd;
    PreviousWndProc =
        SetWindowLongA(HookedWindow, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&ForwardingWndProc));
}

void UnhookWindow() {
    if (!HookedWindow) return;
    // After a failed replacement there is nothing to put back: a window must never be
    // left without a procedure.
    if (!PreviousWndProc) return;
    SetWindowLongA(HookedWindow, GWL_WNDPROC, PreviousWndProc);
}

LRESULT WINAPI ForwardingWndProc(HWND hWnd, UINT Message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result =
        CallWindowProcA(reinterpret_cast<WNDPROC>(PreviousWndProc), hWnd, Message, wParam, lParam);
    // Held for the call: a nested HookWindow must not free the form under it.
    if (std::shared_ptr<runtime::Form> form = HookedForm)
        if (auto* receiver = dynamic_cast<MessageReceiver*>(form.get()))
            receiver->MessageReceived(static_cast<Long>(Message), static_cast<Long>(wParam),
                                      static_cast<Long>(lParam));
    return result;
}
} // namespace zampoplay
