// Window handles, procedure chains, the default procedure and Qt events as messages.
#include "TestSupport.h"
#include "platform/Messages.h"
#include "platform/QtBridge.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {
struct Seen {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;
WNDPROC g_previous = nullptr;
int g_hookCalls = 0;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back({msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT HookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ++g_hookCalls;
    return CallWindowProcA(g_previous, hwnd, msg, wParam, lParam);
}

bool SawMessage(UINT msg, WPARAM wParam) {
    for (const auto& s : g_seen)
        if (s.msg == msg && s.wParam == wParam) return true;
    return false;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen.clear();
        g_hookCalls = 0;
        widget = std::make_unique<QWidget>();
        widget->setWindowTitle("Título");
        hwnd = platform::AttachWindow(widget.get(), RecordingProc);
    }
    void TearDown() override {
        DestroyWindow(hwnd);
        widget.reset();
    }
    std::unique_ptr<QWidget> widget;
    HWND hwnd = nullptr;
};

TEST_F(WindowTest, HandlesAreNonzeroDistinctAndNeverReused) {
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(SawMessage(WM_CREATE, 0));
    EXPECT_EQ(platform::WidgetOf(hwnd), widget.get());
    EXPECT_EQ(platform::WindowOf(widget.get()), hwnd);
    EXPECT_EQ(platform::AttachWindow(widget.get(), RecordingProc), hwnd);

    QWidget other;
    HWND second = platform::AttachWindow(&other, RecordingProc);
    EXPECT_NE(second, hwnd);
    EXPECT_TRUE(DestroyWindow(second));
    EXPECT_FALSE(IsWindow(second));
    QWidget third;
    HWND next = platform::AttachWindow(&third, RecordingProc);
    EXPECT_NE(next, second);
    EXPECT_NE(next, hwnd);
    DestroyWindow(next);
}

TEST_F(WindowTest, ProcedureChainAnswersAsUnhooked) {
    const LRESULT plain = SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
    EXPECT_EQ(plain, 7); // "Título" in UTF-8

    g_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&HookProc)));
    EXPECT_EQ(g_previous, &RecordingProc);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&HookProc));
    EXPECT_EQ(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0), plain);
    EXPECT_EQ(g_hookCalls, 1);

    // Restoring gives the hook back and the window answers as before.
    EXPECT_EQ(SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(g_previous)),
              reinterpret_cast<LONG_PTR>(&HookProc));
    EXPECT_EQ(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0), plain);
    EXPECT_EQ(g_hookCalls, 1);

    // A window never loses its procedure.
    EXPECT_EQ(SetWindowLongA(hwnd, GWL_WNDPROC, 0), 0);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProc));
    EXPECT_EQ(SetWindowLongA(hwnd, GWL_USERDATA, 42), 0);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), 42);
    EXPECT_EQ(SetWindowLongA(hwnd, 12345, 1), 0);
}

TEST_F(WindowTest, DefaultProcedureKeepsTheWindowText) {
    EXPECT_TRUE(SetWindowTextA(hwnd, "Zampolo 1.0 - a@b.es"));
    EXPECT_EQ(widget->windowTitle(), QString("Zampolo 1.0 - a@b.es"));
    EXPECT_EQ(GetWindowTextLengthA(hwnd), 20);
    char buffer[64];
    EXPECT_EQ(GetWindowTextA(hwnd, buffer, sizeof buffer), 20);
    EXPECT_STREQ(buffer, "Zampolo 1.0 - a@b.es");
    // A too-small buffer gets a truncated, terminated text.
    char small[5];
    EXPECT_EQ(SendMessageA(hwnd, WM_GETTEXT, sizeof small, reinterpret_cast<LPARAM>(small)), 4);
    EXPECT_STREQ(small, "Zamp");
    EXPECT_EQ(SendMessageA(hwnd, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(small)), 0);
    EXPECT_EQ(SendMessageA(hwnd, WM_GETTEXT, 10, 0), 0);
}

TEST_F(WindowTest, CloseBoxBecomesWmCloseAndDefaultDestroys) {
    widget->show();
    widget->close();
    EXPECT_TRUE(SawMessage(WM_CLOSE, 0));
    EXPECT_TRUE(SawMessage(WM_DESTROY, 0));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(widget->isVisible());
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_FALSE(DestroyWindow(hwnd));
}

LRESULT RefusingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back({msg, wParam, lParam});
    if (msg == WM_CLOSE) return 0; // keeps the window
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(WindowTest, ProcedureCanRefuseTheClose) {
    SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&RefusingProc));
    widget->show();
    widget->close();
    EXPECT_TRUE(SawMessage(WM_CLOSE, 0));
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(widget->isVisible());
}

TEST_F(WindowTest, ButtonClickBecomesWmCommandWithTheId) {
    auto* button = new QPushButton(widget.get());
    platform::AttachCommand(hwnd, button, 7);
    button->click();
    EXPECT_TRUE(SawMessage(WM_COMMAND, MAKEWPARAM(7, BN_CLICKED)));
}

TEST_F(WindowTest, QtEventsBecomeMessages) {
    ShowWindow(hwnd, SW_SHOWNORMAL);
    EXPECT_TRUE(SawMessage(WM_SHOWWINDOW, TRUE));
    widget->resize(200, 100);
    ASSERT_TRUE(testsupport::PumpUntil([] { return SawMessage(WM_SIZE, SIZE_RESTORED); }));
    widget->move(30, 40);
    ASSERT_TRUE(testsupport::PumpUntil([] { return SawMessage(WM_MOVE, 0); }));
    widget->update();
    ASSERT_TRUE(testsupport::PumpUntil([] { return SawMessage(WM_PAINT, 0); }));

    ShowWindow(hwnd, SW_MINIMIZE);
    ASSERT_TRUE(testsupport::PumpUntil([] { return SawMessage(WM_SIZE, SIZE_MINIMIZED); }));
    EXPECT_TRUE(IsIconic(hwnd));
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(hwnd));
}

TEST_F(WindowTest, MouseActivationAndFocusBecomeMessages) {
    widget->resize(100, 50);
    QMouseEvent move(QEvent::MouseMove, QPointF(12, 34), QPointF(12, 34), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget.get(), &move);
    ASSERT_TRUE(SawMessage(WM_MOUSEMOVE, 0));
    EXPECT_EQ(g_seen.back().lParam, MAKELPARAM(12, 34));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 6), QPointF(5, 6), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget.get(), &press);
    EXPECT_TRUE(SawMessage(WM_LBUTTONDOWN, 0));
    QEvent activate(QEvent::WindowActivate), deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(widget.get(), &activate);
    QCoreApplication::sendEvent(widget.get(), &deactivate);
    EXPECT_TRUE(SawMessage(WM_ACTIVATE, WA_ACTIVE));
    EXPECT_TRUE(SawMessage(WM_ACTIVATE, WA_INACTIVE));
    QFocusEvent in(QEvent::FocusIn), out(QEvent::FocusOut);
    QCoreApplication::sendEvent(widget.get(), &in);
    QCoreApplication::sendEvent(widget.get(), &out);
    EXPECT_TRUE(SawMessage(WM_SETFOCUS, 0));
    EXPECT_TRUE(SawMessage(WM_KILLFOCUS, 0));
}

TEST(WindowBadInput, NullAndStaleHandlesAreRefused) {
    HWND bogus = reinterpret_cast<HWND>(0xDEAD0);
    for (HWND h : {static_cast<HWND>(nullptr), bogus}) {
        EXPECT_FALSE(IsWindow(h));
        EXPECT_EQ(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0), 0);
        EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
        EXPECT_FALSE(DestroyWindow(h));
        EXPECT_FALSE(ShowWindow(h, SW_SHOW));
        EXPECT_EQ(SetWindowLongA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)), 0);
        EXPECT_EQ(GetWindowLongA(h, GWL_WNDPROC), 0);
        char buffer[8] = "x";
        EXPECT_EQ(GetWindowTextA(h, buffer, sizeof buffer), 0);
        EXPECT_STREQ(buffer, "");
        EXPECT_FALSE(SetWindowTextA(h, "x"));
    }
    EXPECT_EQ(CallWindowProcA(nullptr, nullptr, WM_NULL, 0, 0), 0);
    EXPECT_EQ(platform::AttachWindow(nullptr, RecordingProc), nullptr);
}

TEST(WindowBadInput, WidgetDeletedWithoutDestroyRetiresItsHandle) {
    auto* w = new QWidget;
    HWND h = platform::AttachWindow(w, RecordingProc);
    ASSERT_TRUE(IsWindow(h));
    delete w;
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
}
} // namespace
