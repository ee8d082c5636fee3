// The message hook on a form that is not the player's.
#include "PrivateEye.h"
#include "MP3Request.h"
#include "TestSupport.h"

#include "platform/Messages.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {
using namespace zampoplay;
using runtime::Form;

struct Seen {
    Long message, wParam, lParam;
};

class Listener : public Form, public MessageReceiver {
public:
    Listener() : Form({.Caption = u"Oyente"}) {}
    void MessageReceived(Long Message, Long wParam, Long lParam) override {
        seen.push_back({Message, wParam, lParam});
        // A caption change is sent at once, so it arrives nested.
        if (Message == WM_USER + 1) Caption = u"Anidado";
    }
    int Count(Long message) const {
        int n = 0;
        for (const auto& s : seen) n += s.message == message;
        return n;
    }
    std::vector<Seen> seen;
};

class PrivateEyeTest : public ::testing::Test {
protected:
    void SetUp() override {
        HookedForm.reset();
        HookedWindow = nullptr;
        PreviousWndProc = 0;
        a = std::make_shared<Listener>();
        b = std::make_shared<Listener>();
        a->Show();
        b->Show();
    }
    LONG_PTR ProcOf(const std::shared_ptr<Listener>& f) {
        return GetWindowLongA(f->hWnd, GWL_WNDPROC);
    }
    std::shared_ptr<Listener> a, b;
};

TEST_F(PrivateEyeTest, UnhookBeforeAnyHookDoesNothing) {
    const LONG_PTR own = ProcOf(a);
    UnhookWindow();
    EXPECT_EQ(ProcOf(a), own);
    EXPECT_EQ(HookedWindow, nullptr);
}

TEST_F(PrivateEyeTest, EveryMessageReachesTheFormUnchangedAfterItsOwnHandling) {
    HookWindow(a);
    SendMessageA(a->hWnd, WM_USER + 7, 1234, -5);
    ASSERT_EQ(a->Count(WM_USER + 7), 1);
    EXPECT_EQ(a->seen.back().wParam, 1234);
    EXPECT_EQ(a->seen.back().lParam, -5);
    PostMessageA(a->hWnd, MP3_MSG_PROGRESS, 77, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return a->Count(MP3_MSG_PROGRESS) == 1; }));
}

TEST_F(PrivateEyeTest, AnswersAreTheSameHookedAndUnhooked) {
    char plain[64], hooked[64];
    const LRESULT n1 =
        SendMessageA(a->hWnd, WM_GETTEXT, sizeof plain, reinterpret_cast<LPARAM>(plain));
    HookWindow(a);
    const LRESULT n2 =
        SendMessageA(a->hWnd, WM_GETTEXT, sizeof hooked, reinterpret_cast<LPARAM>(hooked));
    EXPECT_EQ(n1, n2);
    EXPECT_STREQ(plain, hooked);
    EXPECT_EQ(SendMessageA(a->hWnd, WM_GETTEXTLENGTH, 0, 0), 6);
}

TEST_F(PrivateEyeTest, ACaptionChangeArrivesNested) {
    HookWindow(a);
    SendMessageA(a->hWnd, WM_USER + 1, 0, 0);
    ASSERT_GE(a->seen.size(), 2u);
    // The nested WM_SETTEXT was seen before the outer call returned: it is recorded
    // right after the outer message.
    EXPECT_EQ(a->seen[a->seen.size() - 2].message, WM_USER + 1);
    EXPECT_EQ(a->seen.back().message, static_cast<Long>(WM_SETTEXT));
    EXPECT_EQ(a->Caption.Get(), u"Anidado");
}

TEST_F(PrivateEyeTest, UnhookTwiceKeepsTheWindowWorkingAndTheVariables) {
    const LONG_PTR own = ProcOf(a);
    HookWindow(a);
    UnhookWindow();
    UnhookWindow();
    EXPECT_EQ(ProcOf(a), own);
    EXPECT_EQ(HookedForm, a);
    EXPECT_EQ(HookedWindow, HWND(a->hWnd));
    EXPECT_EQ(PreviousWndProc, own);
    SendMessageA(a->hWnd, WM_USER + 2, 0, 0);
    EXPECT_EQ(a->Count(WM_USER + 2), 0);
    // Hooked again after an unhook: as the first time.
    HookWindow(a);
    SendMessageA(a->hWnd, WM_USER + 2, 0, 0);
    EXPECT_EQ(a->Count(WM_USER + 2), 1);
    EXPECT_EQ(PreviousWndProc, own);
}

TEST_F(PrivateEyeTest, HookingTwiceUndoesTheFirstHook) {
    const LONG_PTR ownA = ProcOf(a);
    HookWindow(a);
    HookWindow(a); // the same form: never its own previous procedure
    EXPECT_EQ(PreviousWndProc, ownA);
    SendMessageA(a->hWnd, WM_USER + 3, 0, 0);
    EXPECT_EQ(a->Count(WM_USER + 3), 1);

    HookWindow(b); // another form: a is unhooked, only b hears
    EXPECT_EQ(ProcOf(a), ownA);
    SendMessageA(a->hWnd, WM_USER + 4, 0, 0);
    SendMessageA(b->hWnd, WM_USER + 4, 0, 0);
    EXPECT_EQ(a->Count(WM_USER + 4), 0);
    EXPECT_EQ(b->Count(WM_USER + 4), 1);
}

TEST_F(PrivateEyeTest, AfterAFailedReplacementNothingIsInstalled) {
    const LONG_PTR own = ProcOf(a);
    HookedWindow = a->hWnd; // as if SetWindowLongA had failed: nothing saved
    PreviousWndProc = 0;
    UnhookWindow();
    EXPECT_EQ(ProcOf(a), own);
}
} // namespace
