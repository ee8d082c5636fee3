// Forms and controls on Windows' own window classes (needs a display: Xvfb under Wine).
#include "ErrorOf.h"
#include "Native.h"

#include "runtime/MediaRemote.h"

#include <gtest/gtest.h>

using namespace runtime;
using testsupport::ErrorOf;

namespace {
class Form1 : public Form {
public:
    Form1()
        : Form({.Caption = u"Canción",
                .BorderStyle = vbFixedSingle,
                .MinButton = false,
                .MaxButton = false,
                .ClientWidth = 6705,
                .ClientHeight = 1185,
                .Icon = u":/test/pic.ico"}) {
        Command1.Click = [this] { ++clicks; };
    }
    CommandButton Command1{this,
                           {.Width = 615,
                            .Height = 615,
                            .Style = vbButtonGraphical,
                            .BackColor = vbTitleBarText,
                            .Picture = u":/test/pic.gif"}};
    ListBox List1{this, {.Top = 2000, .Width = 1000, .Height = 1000}};
    PictureBox Bar{this, {.Top = 840, .Width = 6555, .Height = 240, .ForeColor = RGB(0, 0, 192)}};
    int clicks = 0;
    Integer keep = 0;

protected:
    void Form_QueryUnload(Integer& Cancel, Integer) override { Cancel = keep; }
};

// Wine makes windows only on a display.
bool NoDisplay() {
    HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, 0, 0, 0, 0);
    return !probe || !DestroyWindow(probe);
}
} // namespace

TEST(NativeForms, WindowClicksKeysNamesAndClose) {
    if (NoDisplay()) GTEST_SKIP() << "no display";
    Form1 f;
    f.Show();
    HWND w = f.hWnd;
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, detail::Pixels(6705));
    EXPECT_EQ(client.bottom, detail::Pixels(1185));
    EXPECT_EQ(f.Caption.Get(), u"Canción") << "through WM_GETTEXT in the ANSI code page";
    SendMessageA(w, WM_COMMAND, MAKEWPARAM(kFirstControlId, BN_CLICKED), 0);
    f.Command1.Value = true;
    f.Command1.Enabled = false;
    f.Command1.Value = true;
    EXPECT_EQ(f.clicks, 2) << "a disabled button takes no press";
    MediaCommand received = MediaCommand::Quit;
    MediaRemote remote;
    remote.Received = [&](MediaCommand c) { received = c; };
    OfferMediaRemote(remote);
    SendMessageA(w, WM_APPCOMMAND, 0, MAKELPARAM(0, APPCOMMAND_MEDIA_NEXTTRACK));
    EXPECT_EQ(received, MediaCommand::Next);
    f.Command1.ToolTipText = u"Reproducir";
    wchar_t name[32] = {};
    GetWindowTextW(f.Command1.Native().hwnd, name, 32);
    EXPECT_STREQ(name, L"Reproducir") << "screen readers read a button's window text";
    // Dialog navigation's Enter and Esc click no control; a double-click is two clicks.
    f.Command1.Enabled = true;
    f.clicks = 0;
    SendMessageA(w, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    SendMessageA(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    HWND button = f.Command1.Native().hwnd;
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        SendMessageA(button, m, MK_LBUTTON * (m != WM_LBUTTONUP), MAKELPARAM(5, 5));
    EXPECT_EQ(f.clicks, 2);
    // A system colour that changes is read again.
    int index = COLOR_CAPTIONTEXT;
    const COLORREF before = GetSysColor(index), changed = RGB(1, 2, 3);
    SetSysColors(1, &index, &changed);
    SendMessageA(w, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(f.Command1.Native().back, changed);
    SetSysColors(1, &index, &before);
    // Lines drawn with AutoRedraw on reach the screen when it goes off or the thread
    // waits, and no sooner.
    HWND bar = f.Bar.Native().hwnd;
    HDC screen = GetDC(bar);
    const auto shown = [&](int x) { return GetPixel(screen, x, 5) == RGB(0, 0, 192); };
    const auto line = [&](int x) {
        f.Bar.Line(x * detail::TwipsPerPixel(), 0, x * detail::TwipsPerPixel(), f.Bar.ScaleHeight);
    };
    UpdateWindow(bar);
    f.Bar.AutoRedraw = true;
    line(10);
    EXPECT_FALSE(shown(10));
    f.Bar.AutoRedraw = false;
    EXPECT_TRUE(shown(10));
    f.Bar.AutoRedraw = true;
    line(70);
    detail::ShowDrawnPictures();
    EXPECT_TRUE(shown(70));
    ReleaseDC(bar, screen);
    f.keep = 1;
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(w));
    f.keep = 0;
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w));
}

TEST(NativeForms, ListsDrawingAndPictures) {
    if (NoDisplay()) GTEST_SKIP() << "no display";
    Form1 f;
    f.List1.AddItem(u"uno");
    f.List1.List(1) = u"dos";
    f.List1.List(0) = f.List1.List(1) + u"!";
    EXPECT_EQ(f.List1.List(0), u"dos!");
    EXPECT_EQ(f.List1.ListCount.Get(), 2);
    EXPECT_EQ(ErrorOf([&] { f.List1.List(3) = u"x"; }), 381);
    // The bar's inside, in twips: its width less the 2-pixel border on each side.
    EXPECT_EQ(f.Bar.ScaleWidth.Get(), Single((detail::Pixels(6555) - 4) * detail::TwipsPerPixel()));
    f.Bar.Line(0, 0, f.Bar.ScaleWidth / 2, 0);
    HDC image = f.Bar.Native().memory;
    EXPECT_EQ(GetPixel(image, 0, 0), COLORREF{0xC00000}) << "ForeColor";
    EXPECT_EQ(GetPixel(image, f.Bar.Native().size.cx - 1, 0), GetSysColor(COLOR_BTNFACE));
    f.Bar.Cls();
    EXPECT_EQ(GetPixel(image, 0, 0), GetSysColor(COLOR_BTNFACE));
    for (auto [path, width] :
         {std::pair{u":/test/pic.gif", 16}, {u":/test/pic.bmp", 16}, {u":/test/pic.ico", 32}}) {
        IPicture* picture = detail::LoadPicture(path);
        EXPECT_EQ(detail::PictureSize(picture).cx, width);
        picture->Release();
    }
    EXPECT_EQ(ErrorOf([] { detail::LoadPicture(u":/test/missing.gif"); }), 53);
    EXPECT_EQ(ErrorOf([] { detail::LoadPicture(u":/test/broken.gif"); }), 481);
}
