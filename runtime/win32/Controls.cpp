// The controls over Windows' own window classes: BUTTON (owner-drawn when graphical),
// STATIC, EDIT, LISTBOX, and a picture box class of the runtime's drawing into a bitmap.
#include "Contrast.h"
#include "Native.h"
#include "Text.h"

#include <algorithm>
#include <cmath>
#include <commctrl.h>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace runtime {
namespace detail {
namespace {
constexpr wchar_t kPictureClass[] = L"ZampoloPicture";
constexpr int kPictureBorder = 2; // the sunken edge of WS_EX_CLIENTEDGE

Native* NativeOf(HWND hwnd) {
    return reinterpret_cast<Native*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        if (Native* n = NativeOf(hwnd); n && n->memory) {
            const RECT& r = paint.rcPaint;
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, n->memory, r.left, r.top,
                   SRCCOPY);
        }
        EndPaint(hwnd, &paint);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void RegisterPictureClass() {
    static const bool registered = [] {
        WNDCLASSW c{};
        // Its own DC: the screen is drawn on at every progress step, and under Wine each
        // new DC costs an X11 drawable set-up.
        c.style = CS_OWNDC;
        c.lpfnWndProc = &PictureProc;
        c.hInstance = GetModuleHandleW(nullptr);
        c.hCursor = LoadCursor(nullptr, IDC_ARROW);
        c.lpszClassName = kPictureClass;
        return RegisterClassW(&c) != 0;
    }();
    (void)registered;
}

// The picture box's image: the size of its inside, filled with its background.
void MakeImage(Native& n) {
    RECT r;
    GetClientRect(n.hwnd, &r);
    n.size = {std::max<LONG>(r.right, 0), std::max<LONG>(r.bottom, 0)};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = std::max<LONG>(n.size.cx, 1);
    info.bmiHeader.biHeight = -std::max<LONG>(n.size.cy, 1); // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT all{0, 0, n.size.cx, n.size.cy};
    FillRect(memory, &all, n.brush);
    if (n.memory) {
        // What was drawn stays, as far as it fits.
        BitBlt(memory, 0, 0, n.size.cx, n.size.cy, n.memory, 0, 0, SRCCOPY);
        SelectObject(n.memory, n.previousBitmap);
        DeleteDC(n.memory);
        DeleteObject(n.bitmap);
    }
    n.memory = memory;
    n.bitmap = bitmap;
    n.previousBitmap = previous;
    // A new window, or a resized one, paints whole.
    SetRectEmpty(&n.undrawn);
    n.lastColor = CLR_INVALID;
}

// The picture boxes that have drawn something not yet on the screen.
std::vector<Native*>& Undrawn() {
    static std::vector<Native*> natives;
    return natives;
}

// Copies what the box has drawn to its window at once. Under Wine a paint through
// WM_PAINT costs six round trips to the server (invalidation, update regions, caret);
// a blit through the box's own DC none.
void ShowDrawn(Native& n) {
    const RECT r = std::exchange(n.undrawn, RECT{});
    // No window: nothing to show, and a null window's DC is the whole screen's.
    if (IsRectEmpty(&r) || !n.hwnd) return;
    if (HDC dc = GetDC(n.hwnd)) {
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, n.memory, r.left, r.top,
               SRCCOPY);
        ReleaseDC(n.hwnd, dc);
    }
}

HWND FormWindowOf(const Native& n) {
    return GetParent(n.hwnd);
}

// The form's tooltip window, made with the first tip.
HWND TipsOf(Form& form) {
    FormNative& f = form.Native();
    if (!f.tips) {
        f.tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, f.hwnd, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SendMessageW(f.tips, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    return f.tips;
}

void SetTip(Form& form, Native& n) {
    HWND tips = TipsOf(form);
    std::wstring text = Wide(n.tip);
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = FormWindowOf(n);
    tool.uId = reinterpret_cast<UINT_PTR>(n.hwnd);
    tool.lpszText = text.data();
    SendMessageW(tips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!text.empty()) SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// A button's window text is what screen readers read: its name, else its tip, else its
// caption. A graphical button paints its caption itself.
void NameButton(Native& n) {
    const String& text = !n.name.empty() ? n.name : !n.tip.empty() ? n.tip : n.caption;
    SetWindowTextW(n.hwnd, Wide(n.graphical ? text : n.caption).c_str());
}

template <class F> void WithoutRedraw(HWND hwnd, F&& f) {
    SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
    f();
    SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd, nullptr, TRUE);
}

String ListText(HWND list, int index) {
    const auto length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return FromWide(text);
}

int ListCountOf(HWND list) {
    return static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
}

void CheckListIndex(Long index, int count) {
    if (index < 0 || index >= count) Raise(err::kInvalidListIndex);
}

String WindowTextOf(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), int(text.size()))));
    return FromWide(text);
}

// A disabled picture, greyed and embossed as the system shows one: drawn onto the
// button's colour, every pixel that stands out from it becomes the relief's shadow with
// a highlight below and to the right.
void DrawDisabledPicture(HDC dc, const Native& n, int x, int y, SIZE size) {
    const int w = size.cx + 1, h = size.cy + 1;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT all{0, 0, w, h};
    FillRect(memory, &all, n.brush);
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    n.picture->get_Width(&hmWidth);
    n.picture->get_Height(&hmHeight);
    n.picture->Render(memory, 0, 0, size.cx, size.cy, 0, hmHeight, hmWidth, -hmHeight, nullptr);
    GdiFlush();
    auto* pixels = static_cast<std::uint32_t*>(bits);
    const auto channel = [](std::uint32_t c, int shift) { return int((c >> shift) & 0xFF); };
    const std::uint32_t back = pixels[static_cast<std::size_t>(w) * h - 1]; // never drawn
    std::vector<bool> stands(static_cast<std::size_t>(w) * h, false);
    for (int i = 0; i < w * h; ++i) {
        const std::uint32_t c = pixels[i];
        const int distance = std::abs(channel(c, 0) - channel(back, 0)) +
                             std::abs(channel(c, 8) - channel(back, 8)) +
                             std::abs(channel(c, 16) - channel(back, 16));
        stands[static_cast<std::size_t>(i)] = distance > 96;
    }
    const auto dib = [](COLORREF c) {
        return std::uint32_t(GetBValue(c)) | std::uint32_t(GetGValue(c)) << 8 |
               std::uint32_t(GetRValue(c)) << 16;
    };
    const std::uint32_t light = dib(GetSysColor(COLOR_3DHILIGHT));
    const std::uint32_t shadow = dib(GetSysColor(COLOR_3DSHADOW));
    std::fill(pixels, pixels + static_cast<std::size_t>(w) * h, back);
    for (int py = 0; py + 1 < h; ++py)
        for (int px = 0; px + 1 < w; ++px)
            if (stands[static_cast<std::size_t>(py) * w + px])
                pixels[static_cast<std::size_t>(py + 1) * w + px + 1] = light;
    for (int py = 0; py + 1 < h; ++py)
        for (int px = 0; px + 1 < w; ++px)
            if (stands[static_cast<std::size_t>(py) * w + px])
                pixels[static_cast<std::size_t>(py) * w + px] = shadow;
    BitBlt(dc, x, y, w, h, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
}
} // namespace

Native::~Native() {
    std::erase(Undrawn(), this);
    if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
    if (font) DeleteObject(font);
    if (brush) DeleteObject(brush);
    if (picture) picture->Release();
    if (memory) {
        SelectObject(memory, previousBitmap);
        DeleteDC(memory);
        DeleteObject(bitmap);
    }
}

void Native::SetBack(Long colour) {
    backColor = colour;
    back = ToColorRef(colour, vbButtonFace);
    if (brush) DeleteObject(brush);
    brush = CreateSolidBrush(back);
}

void Native::SetFore(Long colour) {
    foreColor = colour;
    fore = ToColorRef(colour, vbButtonText);
}

void Native::ReadSystemColours() {
    SetBack(backColor);
    SetFore(foreColor);
    InvalidateRect(hwnd, nullptr, TRUE);
}

std::wstring FullFolder(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
    }
    full.resize(n);
    // No trailing '\' but for a drive's root ("C:\").
    while (full.size() > 3 && full.back() == L'\\') full.pop_back();
    return full;
}

void MakeControlWindow(Native& n, HWND parent) {
    auto* form = static_cast<Form*>(GetPropA(parent, kFormProperty));
    const Look& look = n.look;
    const wchar_t* windowClass = L"";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, exStyle = 0;
    std::wstring text;
    switch (n.kind) {
    case Kind::Button:
        windowClass = L"BUTTON";
        n.graphical = look.Style == vbButtonGraphical;
        style |= WS_TABSTOP | (n.graphical ? BS_OWNERDRAW : BS_PUSHBUTTON | BS_MULTILINE);
        n.SetBack(n.graphical ? look.BackColor : kDefaultColor);
        if (n.graphical && !look.Picture.empty() && !n.picture)
            n.picture = LoadPicture(look.Picture);
        break;
    case Kind::Label:
        windowClass = L"STATIC";
        style &= ~WS_CLIPSIBLINGS; // labels that overlap show each other's text
        style |= SS_NOPREFIX | (look.Alignment == vbCenter         ? SS_CENTER
                                : look.Alignment == vbRightJustify ? SS_RIGHT
                                                                   : SS_LEFT);
        text = Wide(look.Caption);
        n.transparent = look.BackStyle == vbTransparent;
        n.SetBack(look.BackColor);
        n.SetFore(look.ForeColor);
        break;
    case Kind::TextBox:
        windowClass = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        text = Wide(look.Caption);
        break;
    case Kind::ListBox:
    case Kind::FileList:
        windowClass = L"LISTBOX";
        style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case Kind::Picture:
        RegisterPictureClass();
        windowClass = kPictureClass;
        if (look.BorderStyle != vbBSNone) exStyle = WS_EX_CLIENTEDGE;
        n.SetBack(look.BackColor);
        n.SetFore(look.ForeColor);
        break;
    }
    n.hwnd = CreateWindowExW(exStyle, windowClass, text.c_str(), style, Pixels(look.Left),
                             Pixels(look.Top), Pixels(look.Width), Pixels(look.Height), parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(n.id)),
                             GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(n.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&n));
    const FontSpec& formFont = form ? form->Native().look.Font : FontSpec{u"Arial", 8.25f};
    const FontSpec& f = look.Font;
    if (!n.font && !(f.Name.empty() && f.Size <= 0 && !f.Bold && !f.Italic))
        n.font = MakeFont(f, formFont);
    HFONT font = n.font ? n.font : form ? form->Native().font : nullptr;
    if (font) SendMessageW(n.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (n.kind == Kind::Button) {
        n.caption = look.Caption;
        NameButton(n);
    }
    if (n.kind == Kind::Picture) MakeImage(n);
    if (form && !n.tip.empty()) SetTip(*form, n);
}

void DrawButton(const DRAWITEMSTRUCT& item) {
    Native* n = NativeOf(item.hwndItem);
    if (!n) return;
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    const bool disabled = item.itemState & ODS_DISABLED;
    FillRect(dc, &r, n->brush);
    DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    RECT inside = r;
    InflateRect(&inside, -1, -1);
    if (pressed) OffsetRect(&inside, 1, 1);

    // The picture above the caption, both centred.
    SIZE picture = n->picture ? PictureSize(n->picture) : SIZE{0, 0};
    auto* font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    HGDIOBJ previousFont = SelectObject(dc, font);
    const std::wstring caption = Wide(n->caption);
    RECT text = inside;
    int textHeight = 0;
    if (!caption.empty())
        textHeight = DrawTextW(dc, caption.c_str(), -1, &text,
                               DT_CALCRECT | DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    const int width = inside.right - inside.left, height = inside.bottom - inside.top;
    int top = inside.top + (height - picture.cy - textHeight) / 2;
    if (n->picture) {
        const int x = inside.left + (width - picture.cx) / 2;
        OLE_XSIZE_HIMETRIC hmWidth = 0;
        OLE_YSIZE_HIMETRIC hmHeight = 0;
        n->picture->get_Width(&hmWidth);
        n->picture->get_Height(&hmHeight);
        if (!disabled) {
            n->picture->Render(dc, x, top, picture.cx, picture.cy, 0, hmHeight, hmWidth, -hmHeight,
                               nullptr);
        } else {
            DrawDisabledPicture(dc, *n, x, top, picture);
        }
        top += picture.cy;
    }
    if (!caption.empty()) {
        RECT place{inside.left, top, inside.right, top + textHeight};
        SetBkMode(dc, TRANSPARENT);
        if (disabled) {
            // Etched, as the system draws disabled text.
            OffsetRect(&place, 1, 1);
            SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
            DrawTextW(dc, caption.c_str(), -1, &place, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
            OffsetRect(&place, -1, -1);
            SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        } else {
            // The designed background may be as dark as the system's button text.
            SetTextColor(dc, ReadableOn(n->back, GetSysColor(COLOR_BTNTEXT)));
        }
        DrawTextW(dc, caption.c_str(), -1, &place, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    }
    SelectObject(dc, previousFont);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = r;
        InflateRect(&focus, -2, -2);
        DrawFocusRect(dc, &focus);
    }
}

HBRUSH LabelColours(HWND control, HDC dc) {
    Native* n = NativeOf(control);
    if (!n || n->kind != Kind::Label) return nullptr;
    SetTextColor(dc, n->fore);
    if (n->transparent) {
        // Only the text: the form has painted under it (labels may overlap).
        SetBkMode(dc, TRANSPARENT);
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    }
    SetBkColor(dc, n->back);
    return n->brush;
}
} // namespace detail

namespace {
using detail::Kind;
using detail::Wide;

std::unique_ptr<detail::Native> Make(Kind kind, const Look& look) {
    return std::make_unique<detail::Native>(kind, look);
}

HWND Window(const Control& c) {
    return c.Native().hwnd;
}

// A transparent label's old text is the form's to paint over.
void RepaintUnder(HWND control) {
    HWND parent = GetParent(control);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    RedrawWindow(parent, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

} // namespace

// --- Control ---

Control::Control(Form* form, const Look& look, std::unique_ptr<detail::Native> native)
    : Left(Placement(left_)), Top(Placement(top_)), Width(Placement(width_)),
      Height(Placement(height_)),
      Enabled([this] { return IsWindowEnabled(Window(*this)) != FALSE; },
              [this](const bool& v) { EnableWindow(Window(*this), v); }),
      Visible([this] { return (GetWindowLongW(Window(*this), GWL_STYLE) & WS_VISIBLE) != 0; },
              [this](const bool& v) { ShowWindow(Window(*this), v ? SW_SHOWNA : SW_HIDE); }),
      TabIndex([this] { return tabIndex_; }, [this](const Integer& v) { tabIndex_ = v; }),
      ToolTipText([this] { return native_->tip; },
                  [this](const String& v) {
                      native_->tip = v;
                      detail::SetTip(form_, *native_);
                      if (native_->kind == Kind::Button) detail::NameButton(*native_);
                  }),
      AccessibleName(
          [this] {
              if (named_) return native_->name;
              if (!native_->tip.empty()) return native_->tip;
              return native_->kind == Kind::Button ? native_->caption : String();
          },
          [this](const String& v) {
              named_ = true;
              native_->name = v;
              if (native_->kind == Kind::Button) detail::NameButton(*native_);
          }),
      form_(*form), native_(std::move(native)), left_(look.Left), top_(look.Top),
      width_(look.Width), height_(look.Height), tabIndex_(look.TabIndex) {
    form_.controls_.push_back(this);
    native_->id = kFirstControlId + static_cast<int>(form_.controls_.size()) - 1;
    detail::MakeControlWindow(*native_, form_.Native().hwnd);
}

Control::~Control() {
    std::erase(form_.controls_, this);
}

void Control::Place() {
    native_->look.Left = left_;
    native_->look.Top = top_;
    native_->look.Width = width_;
    native_->look.Height = height_;
    MoveWindow(native_->hwnd, detail::Pixels(left_), detail::Pixels(top_), detail::Pixels(width_),
               detail::Pixels(height_), TRUE);
    if (native_->kind == Kind::Picture) detail::MakeImage(*native_);
}

// --- CommandButton ---

CommandButton::CommandButton(Form* form, const Look& look)
    : Control(form, look, Make(Kind::Button, look)),
      Caption([this] { return native_->caption; },
              [this](const String& v) {
                  native_->caption = v;
                  native_->look.Caption = v;
                  detail::NameButton(*native_);
                  InvalidateRect(native_->hwnd, nullptr, TRUE);
              }),
      Value([] { return false; },
            [this](const bool& v) {
                // A click, as the button's own: WM_COMMAND through the form's procedure.
                HWND button = native_->hwnd;
                if (v && IsWindowEnabled(button))
                    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(native_->id, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(button));
            }) {}

// --- Label ---

Label::Label(Form* form, const Look& look)
    : Control(form, look, Make(Kind::Label, look)),
      Caption([this] { return detail::WindowTextOf(native_->hwnd); },
              [this](const String& v) {
                  // The same text again (a countdown within one second) repaints
                  // nothing, as on Qt.
                  if (detail::WindowTextOf(native_->hwnd) == v) return;
                  SetWindowTextW(native_->hwnd, Wide(v).c_str());
                  if (native_->transparent) RepaintUnder(native_->hwnd);
              }),
      BackColor([this] { return backColor_; },
                [this](const Long& v) {
                    backColor_ = v;
                    native_->SetBack(v);
                    InvalidateRect(native_->hwnd, nullptr, TRUE);
                }),
      ForeColor([this] { return foreColor_; },
                [this](const Long& v) {
                    foreColor_ = v;
                    native_->SetFore(v);
                    InvalidateRect(native_->hwnd, nullptr, TRUE);
                }),
      backColor_(look.BackColor), foreColor_(look.ForeColor) {}

// --- TextBox ---

TextBox::TextBox(Form* form, const Look& look)
    : Control(form, look, Make(Kind::TextBox, look)),
      Text([this] { return detail::WindowTextOf(native_->hwnd); },
           [this](const String& v) { SetWindowTextW(native_->hwnd, Wide(v).c_str()); }) {}

// --- ListBox ---

ListBox::ListBox(Form* form, const Look& look)
    : Control(form, look, Make(Kind::ListBox, look)),
      ListCount([this] { return Integer(detail::ListCountOf(native_->hwnd)); }) {}

void ListBox::AddItem(const String& item) {
    const std::wstring text = Wide(item);
    SendMessageW(native_->hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ListBox::Clear() {
    SendMessageW(native_->hwnd, LB_RESETCONTENT, 0, 0);
}

String ListBox::List(Integer index) const {
    detail::CheckListIndex(index, detail::ListCountOf(native_->hwnd));
    return detail::ListText(native_->hwnd, index);
}

ListBox::Item& ListBox::Item::operator=(const String& text) {
    HWND list = box_.native_->hwnd;
    const int count = detail::ListCountOf(list);
    const std::wstring wide = Wide(text);
    if (index_ == count) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    } else {
        detail::CheckListIndex(index_, count);
        SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(int(index_)), 0);
        SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(int(index_)),
                     reinterpret_cast<LPARAM>(wide.c_str()));
    }
    return *this;
}

ListBox::Item::operator String() const {
    return std::as_const(box_).List(index_);
}

// --- FileListBox ---

FileListBox::FileListBox(Form* form, const Look& look)
    : Control(form, look, Make(Kind::FileList, look)),
      Path([this] { return detail::Utf16(folder_); },
           [this](const String& v) {
               const std::wstring folder = v.empty() ? std::wstring() : detail::FullFolder(Wide(v));
               const DWORD attributes =
                   folder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(folder.c_str());
               if (attributes == INVALID_FILE_ATTRIBUTES ||
                   !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                   Raise(err::kPathNotFound);
               Fill(detail::Utf8(detail::FromWide(folder)));
           }),
      ListCount([this] { return Long(detail::ListCountOf(native_->hwnd)); }) {
    std::wstring here(GetCurrentDirectoryW(0, nullptr), L'\0');
    here.resize(GetCurrentDirectoryW(DWORD(here.size()), here.data()));
    const std::string folder = detail::Utf8(detail::FromWide(detail::FullFolder(here)));
    try {
        Fill(folder);
    } catch (const RuntimeError&) {
        folder_ = folder; // an unreadable current directory lists nothing
    }
}

// The folder's ordinary files: neither folders nor hidden or system files.
void FileListBox::Fill(const std::string& folder) {
    std::wstring pattern = Wide(detail::Utf16(folder));
    if (pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    std::vector<std::wstring> names;
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY) Raise(err::kPathNotFound);
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
            Raise(err::kPathFileAccess);
    } else {
        constexpr DWORD kLeftOut =
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        do {
            if (!(found.dwFileAttributes & kLeftOut)) names.emplace_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        const int c = lstrcmpiW(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
    HWND list = native_->hwnd;
    detail::WithoutRedraw(list, [&] {
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        for (const std::wstring& name : names)
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    });
    folder_ = folder;
}

String FileListBox::List(Long index) const {
    detail::CheckListIndex(index, detail::ListCountOf(native_->hwnd));
    return detail::ListText(native_->hwnd, index);
}

// --- PictureBox ---

PictureBox::PictureBox(Form* form, const Look& look)
    : Control(form, look, Make(Kind::Picture, look)),
      AutoRedraw([this] { return autoRedraw_; },
                 [this](const bool& v) {
                     autoRedraw_ = v;
                     if (!v) detail::ShowDrawn(*native_);
                 }),
      ForeColor([this] { return foreColor_; },
                [this](const Long& v) {
                    foreColor_ = v;
                    native_->SetFore(v);
                }),
      BackColor([this] { return backColor_; },
                [this](const Long& v) {
                    backColor_ = v;
                    native_->SetBack(v);
                    Cls();
                }),
      ScaleWidth([this] { return Single(native_->size.cx * detail::TwipsPerPixel()); }),
      ScaleHeight([this] { return Single(native_->size.cy * detail::TwipsPerPixel()); }),
      AccessibleRole([this] { return Integer(native_->role); },
                     [this](const Integer& v) { native_->role = v; }) {
    foreColor_ = look.ForeColor;
    backColor_ = look.BackColor;
}

void PictureBox::Cls() {
    auto& n = *native_;
    RECT all{0, 0, n.size.cx, n.size.cy};
    FillRect(n.memory, &all, n.brush);
    InvalidateRect(n.hwnd, nullptr, FALSE);
    SetRectEmpty(&n.undrawn);
    n.lastColor = CLR_INVALID;
}

void PictureBox::Line(Single x1, Single y1, Single x2, Single y2, Long color) {
    auto& n = *native_;
    // The pixel a coordinate falls in.
    const auto pixel = [](Single twips) {
        const double q = std::floor(twips / detail::TwipsPerPixel());
        return static_cast<int>(std::clamp(std::isnan(q) ? -1e9 : q, -1e9, 1e9));
    };
    const int px1 = pixel(x1), py1 = pixel(y1), px2 = pixel(x2), py2 = pixel(y2);
    const COLORREF rgb = color == kDefaultColor ? n.fore : detail::ToColorRef(color, color);
    // A bar drawn a twip at a time draws each pixel column many times over.
    if (rgb == n.lastColor && n.lastFrom.x == px1 && n.lastFrom.y == py1 && n.lastTo.x == px2 &&
        n.lastTo.y == py2)
        return;
    n.lastFrom = {px1, py1};
    n.lastTo = {px2, py2};
    n.lastColor = rgb;
    // Both ends are drawn.
    RECT changed{std::min(px1, px2), std::min(py1, py2), std::max(px1, px2) + 1,
                 std::max(py1, py2) + 1};
    if (px1 == px2 || py1 == py2) {
        HBRUSH brush = CreateSolidBrush(rgb);
        FillRect(n.memory, &changed, brush);
        DeleteObject(brush);
    } else {
        HPEN pen = CreatePen(PS_SOLID, 0, rgb);
        HGDIOBJ previous = SelectObject(n.memory, pen);
        MoveToEx(n.memory, px1, py1, nullptr);
        LineTo(n.memory, px2, py2);
        SetPixel(n.memory, px2, py2, rgb);
        SelectObject(n.memory, previous);
        DeleteObject(pen);
    }
    UnionRect(&n.undrawn, &n.undrawn, &changed);
    if (!autoRedraw_) {
        detail::ShowDrawn(n);
        return;
    }
    // The image holds it; the screen shows all the lines of a handler at once.
    auto& undrawn = detail::Undrawn();
    if (std::find(undrawn.begin(), undrawn.end(), &n) == undrawn.end()) undrawn.push_back(&n);
}

void detail::ShowDrawnPictures() {
    for (Native* n : std::exchange(Undrawn(), {})) ShowDrawn(*n);
}
} // namespace runtime
