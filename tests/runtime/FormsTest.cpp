#include "Native.h"
#include "TestSupport.h"
#include "Text.h"

#include "runtime/VB.h"

#include "platform/QtBridge.h"
#include "platform/Win32.h"

#include <QAbstractButton>
#include <QWidget>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace runtime;

namespace {
class TestForm : public Form {
public:
    TestForm()
        : Form({.Caption = u"Prueba",
                .BorderStyle = vbFixedSingle,
                .MinButton = false,
                .MaxButton = false,
                .ClientWidth = 6705,
                .ClientHeight = 1185,
                .BackColor = RGB(255, 255, 255),
                .Icon = u":/test/pic.ico"}) {
        Command1.Click = [this] { events.push_back("Click1"); };
        Command2.Click = [this] { events.push_back("Click2"); };
    }

    CommandButton Command1{this,
                           {.Left = 120,
                            .Top = 120,
                            .Width = 615,
                            .Height = 615,
                            .Style = vbButtonGraphical,
                            .BackColor = RGB(128, 255, 128),
                            .Picture = u":/test/pic.gif",
                            .TabIndex = 1}};
    CommandButton Command2{this,
                           {.Left = 720,
                            .Top = 120,
                            .Width = 615,
                            .Height = 615,
                            .Style = vbButtonGraphical,
                            .Caption = u"R",
                            .Font = {u"Arial", 18, true},
                            .BackColor = RGB(255, 128, 255),
                            .TabIndex = 0}};
    TextBox Text1{this, {.Left = 120, .Top = 1200, .Width = 4935, .Height = 315, .TabIndex = 2}};

    std::vector<std::string> events;
    bool visibleAtLoad = true;
    Integer cancelUnload = 0;
    Integer unloadMode = -1;

protected:
    void Form_Load() override {
        events.push_back("Load");
        visibleAtLoad = platform::WidgetOf(hWnd)->isVisible();
    }
    void Form_QueryUnload(Integer& Cancel, Integer UnloadMode) override {
        (void)Cancel;
        unloadMode = UnloadMode;
        events.push_back("QueryUnload");
    }
    void Form_Unload(Integer& Cancel) override {
        events.push_back("Unload");
        Cancel = cancelUnload;
    }
};

// A window procedure that records what passes and hands it on, as a hook does.
std::vector<UINT> seen;
WNDPROC previous = nullptr;
LRESULT Spy(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    seen.push_back(msg);
    return CallWindowProcA(previous, hwnd, msg, wParam, lParam);
}
void Hook(HWND hwnd) {
    seen.clear();
    previous = reinterpret_cast<WNDPROC>(
        SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&Spy)));
}
bool Saw(UINT msg) {
    return std::find(seen.begin(), seen.end(), msg) != seen.end();
}
} // namespace

TEST(Form, LoadRunsOnceBeforeTheWindowIsFirstShown) {
    TestForm form;
    EXPECT_FALSE(form.IsLoaded());
    form.Show();
    form.Show();
    EXPECT_EQ(form.events, std::vector<std::string>{"Load"});
    EXPECT_FALSE(form.visibleAtLoad);
    QWidget* w = platform::WidgetOf(form.hWnd);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->size(), QSize(447, 79)) << "client area in twips, 15 a pixel";
    EXPECT_EQ(w->minimumSize(), w->maximumSize()) << "fixed single border";
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w->windowIcon().isNull());
    EXPECT_EQ(form.Command1.Native().widget->geometry(), QRect(8, 8, 41, 41));
    EXPECT_GE(form.Text1.Native().widget->y(), w->height()) << "placed below the client area";
    std::vector<QWidget*> tabOrder;
    for (QWidget* next = w->nextInFocusChain(); next != w; next = next->nextInFocusChain())
        if (next->focusPolicy() & Qt::TabFocus) tabOrder.push_back(next);
    EXPECT_EQ(tabOrder,
              (std::vector<QWidget*>{form.Command2.Native().widget, form.Command1.Native().widget,
                                     form.Text1.Native().widget}))
        << "tab order by TabIndex";
}

TEST(Form, AButtonClickRaisesClickThroughWmCommand) {
    TestForm form;
    form.Show();
    Hook(form.hWnd);
    form.Command1.Value = true;
    EXPECT_TRUE(Saw(WM_COMMAND));
    EXPECT_EQ(form.events.back(), "Click1");
    static_cast<QAbstractButton*>(form.Command2.Native().widget)->click();
    EXPECT_EQ(form.events.back(), "Click2");
    form.Command1.Enabled = false;
    EXPECT_FALSE(form.Command1.Enabled);
    form.Command1.Value = true;
    EXPECT_EQ(form.events.back(), "Click2") << "a disabled button is not pressed";
}

TEST(Form, CaptionGoesThroughTheWindowProcedure) {
    TestForm form;
    form.Show();
    Hook(form.hWnd);
    form.Me.Caption = u"Canción.mp3";
    EXPECT_TRUE(Saw(WM_SETTEXT));
    EXPECT_EQ(String(form.Caption), u"Canción.mp3");
    EXPECT_TRUE(Saw(WM_GETTEXT));
    EXPECT_EQ(platform::WidgetOf(form.hWnd)->windowTitle(), QString::fromUtf8("Canción.mp3"));
    char text[64];
    EXPECT_EQ(GetWindowTextA(form.hWnd, text, sizeof text),
              static_cast<int>(std::string("Canción.mp3").size()));
}

TEST(Form, ClosingRunsQueryUnloadThenUnloadWhichCanCancel) {
    TestForm form;
    form.Show();
    const int loaded = LoadedForms();
    HWND hwnd = form.hWnd;
    form.cancelUnload = 1;
    platform::WidgetOf(hwnd)->close(); // the close box
    EXPECT_EQ(form.events, (std::vector<std::string>{"Load", "QueryUnload", "Unload"}));
    EXPECT_EQ(int(form.unloadMode), int(vbFormControlMenu));
    EXPECT_TRUE(IsWindow(hwnd));
    form.cancelUnload = 0;
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(LoadedForms(), loaded - 1);
}

TEST(Form, AFormDestroyedWhileLoadedPassesNothingToAHook) {
    HWND hwnd;
    {
        TestForm form;
        form.Show();
        hwnd = form.hWnd;
        Hook(hwnd);
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(Saw(WM_DESTROY));
}

TEST(Form, UnloadFromCodeAndMinimise) {
    TestForm form;
    form.Show();
    form.WindowState = vbMinimized;
    EXPECT_TRUE(IsIconic(form.hWnd));
    EXPECT_EQ(int(form.WindowState.Get()), int(vbMinimized));
    form.Unload();
    EXPECT_EQ(int(form.unloadMode), int(vbFormCode));
    EXPECT_FALSE(form.IsLoaded());
}

namespace {
class FailingForm : public TestForm {
public:
    FailingForm() {
        Command1.Click = [] {
            Integer big = 32767;
            big += 1;
        };
    }
};

class ClosingForm : public TestForm {
protected:
    void Form_Load() override { PostMessageA(hWnd, WM_CLOSE, 0, 0); }
};
} // namespace

TEST(Form, AnErrorEscapingAnEventShowsTheReportAndEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            App.Title = u"Programa";
            SetMessageBoxHookForTesting([](const String& text, const String& title) {
                std::fprintf(stderr, "box [%s]\n", detail::Utf8(title + u"|" + text).c_str());
                return vbOK;
            });
            FailingForm form;
            form.Show();
            form.Command1.Value = true;
            std::fprintf(stderr, "not ended\n");
        },
        testing::ExitedWithCode(kUntrappedErrorStatus),
        "box \\[Programa\\|Error en tiempo de ejecución '6':\n\nDesbordamiento\\]");
}

TEST(Form, AnErrorReportedOffTheWindowThreadGoesToStderr) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto run = [] { std::thread([] { ReportUntrappedError(RuntimeError(48)); }).join(); };
    EXPECT_EXIT(run(), testing::ExitedWithCode(kUntrappedErrorStatus),
                "Error en tiempo de ejecución '48':\n\nError al cargar la biblioteca");
}

TEST(Form, MainReturnsWhenTheLastFormHasUnloaded) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto run = [] {
        int argc = 1;
        char name[] = "prueba";
        char* argv[] = {name, nullptr};
        const int status = RunProgram<ClosingForm>(argc, argv, u"Prueba");
        std::fprintf(stderr, "returned %d, title %s\n", status, detail::Utf8(App.Title).c_str());
        std::fflush(stderr);
        _exit(7);
    };
    EXPECT_EXIT(run(), testing::ExitedWithCode(7), "returned 0, title Prueba");
}

TEST(Form, EndStopsAtOnceWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(End(), testing::ExitedWithCode(0), "");
}
