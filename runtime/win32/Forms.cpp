// Forms: a top-level window of the form's own class, its procedure and the form's events.
#include "HandedFolders.h"
#include "Native.h"
#include "Text.h"

#include "platform/CodePage.h"
#include "platform/System.h"

#include <algorithm>
#include <cmath>

namespace runtime {
namespace detail {
DWORD windowThread = 0;

double TwipsPerPixel() {
    static const double twips = [] {
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return 1440.0 / (dpi > 0 ? dpi : 96);
    }();
    return twips;
}

int Pixels(Single twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixel()));
}

COLORREF ToColorRef(Long color, Long fallback) {
    if (color == kDefaultColor) color = fallback;
    const auto bits = static_cast<std::uint32_t>(color);
    if (bits & 0x80000000u) return GetSysColor(static_cast<int>(bits & 0xFF));
    return bits & 0xFFFFFF;
}

std::wstring Wide(const String& text) {
    return std::wstring(text.begin(), text.end());
}

String FromWide(const std::wstring& text) {
    return String(text.begin(), text.end());
}

HFONT MakeFont(const FontSpec& spec, const FontSpec& form) {
    const String& name = spec.Name.empty() ? form.Name : spec.Name;
    const Single points = spec.Size > 0 ? spec.Size : form.Size;
    const bool plain = spec.Name.empty() && spec.Size <= 0 && !spec.Bold && !spec.Italic;
    const bool bold = plain ? form.Bold : spec.Bold;
    const bool italic = plain ? form.Italic : spec.Italic;
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(points * 1440.0 / 72.0 / TwipsPerPixel()));
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = italic;
    font.lfCharSet = DEFAULT_CHARSET;
    const std::wstring face = Wide(name);
    lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

FormNative::~FormNative() {
    if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
    if (font) DeleteObject(font);
    if (brush) DeleteObject(brush);
    if (icon) icon->Release();
}
} // namespace detail

namespace {
int loadedForms = 0;
bool runningProgram = false;
constexpr char kFormClass[] = "ZampoloForm";

// A graphical (owner-drawn) button tells the second click of a quick double-click as
// BN_DOUBLECLICKED: a click all the same.
bool IsClick(unsigned notification) {
    return notification == BN_CLICKED || notification == BN_DOUBLECLICKED;
}

// The form's window: its designed border and boxes around a client area of the designed
// size, placed by the window system. Hidden until shown.
HWND MakeFormWindow(Form& form, detail::FormNative& n, WNDPROC proc) {
    static const bool registered = [proc] {
        WNDCLASSA c{};
        c.style = CS_DBLCLKS;
        c.lpfnWndProc = proc;
        c.hInstance = GetModuleHandleA(nullptr);
        c.hCursor = LoadCursor(nullptr, IDC_ARROW);
        c.lpszClassName = kFormClass;
        return RegisterClassA(&c) != 0;
    }();
    (void)registered;
    detail::windowThread = GetCurrentThreadId();
    const FormLook& look = n.look;
    // The form paints under its controls too: transparent labels show it.
    DWORD style = WS_CAPTION | WS_SYSMENU;
    if (look.BorderStyle == vbBSNone) style = WS_POPUP;
    if (look.BorderStyle == vbSizable) style |= WS_THICKFRAME;
    if (look.MinButton) style |= WS_MINIMIZEBOX;
    if (look.MaxButton) style |= WS_MAXIMIZEBOX;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    RECT r{0, 0, detail::Pixels(look.ClientWidth), detail::Pixels(look.ClientHeight)};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    const std::string caption = platform::ToAnsi(look.Caption);
    HWND hwnd = CreateWindowExA(exStyle, kFormClass, caption.c_str(), style, CW_USEDEFAULT,
                                CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    SetPropA(hwnd, detail::kFormProperty, &form);
    if (n.icon) {
        OLE_HANDLE handle = 0;
        n.icon->get_Handle(&handle);
        const LPARAM icon = reinterpret_cast<LPARAM>(platform::HandleFromOle(handle));
        SendMessageA(hwnd, WM_SETICON, ICON_BIG, icon);
        SendMessageA(hwnd, WM_SETICON, ICON_SMALL, icon);
    }
    return hwnd;
}
} // namespace

int LoadedForms() {
    return loadedForms;
}

namespace detail {
void SetRunningProgram(bool running) {
    runningProgram = running;
}
} // namespace detail

Form::Form(const FormLook& look)
    : hWnd([this] {
          Load();
          return hwnd_;
      }),
      Caption(WindowCaption([this] { return native_->look.Caption; },
                            [this](const String& text) {
                                SetWindowTextA(native_->hwnd, platform::ToAnsi(text).c_str());
                                native_->look.Caption = text;
                            })),
      WindowState(
          [this]() -> Integer {
              if (IsIconic(hwnd_)) return vbMinimized;
              return IsZoomed(hwnd_) ? vbMaximized : vbNormal;
          },
          [this](const Integer& state) {
              Load();
              if (state == vbMinimized)
                  ShowWindow(hwnd_, SW_MINIMIZE);
              else if (state == vbMaximized)
                  ShowWindow(hwnd_, SW_MAXIMIZE);
              else if (state == vbNormal)
                  ShowWindow(hwnd_, SW_RESTORE);
              else
                  Raise(err::kInvalidCall);
          }),
      native_(std::make_unique<detail::FormNative>(look)) {
    auto& n = *native_;
    n.font = detail::MakeFont(look.Font, look.Font);
    n.brush = CreateSolidBrush(detail::ToColorRef(look.BackColor, vbButtonFace));
    if (!look.Icon.empty()) n.icon = detail::LoadPicture(look.Icon);
    n.hwnd = MakeFormWindow(*this, n, &Form::WindowProc);
}

Form::~Form() {
    if (hwnd_) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        // A procedure the program installed must not see a form that is half destroyed.
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form::WindowProc));
        DestroyWindow(hwnd_);
        --loadedForms;
    }
}

void Form::Load() {
    if (hwnd_) return;
    if (!IsWindow(native_->hwnd)) {
        // Loaded again after an unload: the windows are made again from the design.
        native_->hwnd = MakeFormWindow(*this, *native_, &Form::WindowProc);
        native_->tips = nullptr;
        for (Control* c : controls_) detail::MakeControlWindow(c->Native(), native_->hwnd);
    }
    hwnd_ = native_->hwnd;
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ++loadedForms;
    // Tab order: numbered controls first, by number, then the others in creation order.
    // Dialog navigation follows the windows' order.
    std::vector<Control*> order = controls_;
    std::stable_sort(order.begin(), order.end(), [](Control* a, Control* b) {
        const int ia = a->TabIndex.Get(), ib = b->TabIndex.Get();
        return (ia < 0 ? 1 << 20 : ia) < (ib < 0 ? 1 << 20 : ib);
    });
    HWND previous = HWND_TOP;
    firstFocus_ = nullptr;
    for (Control* c : order) {
        HWND w = c->Native().hwnd;
        SetWindowPos(w, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = w;
        if (!firstFocus_ && (GetWindowLongA(w, GWL_STYLE) & WS_TABSTOP)) firstFocus_ = c;
    }
    Form_Load();
}

void Form::Show() {
    Load();
    if (!hwnd_ || IsWindowVisible(hwnd_)) return;
    ShowWindow(hwnd_, SW_SHOWDEFAULT);
    // The focus starts at the first control of the tab order that takes it.
    if (firstFocus_) SetFocus(firstFocus_->Native().hwnd);
    UpdateWindow(hwnd_);
}

void Form::Unload() {
    Close(vbFormCode);
}

void Form::Close(Integer mode) {
    if (!hwnd_) return;
    Integer cancel = 0;
    Form_QueryUnload(cancel, mode);
    if (cancel != 0) return;
    Form_Unload(cancel);
    if (cancel != 0 || !hwnd_) return;
    HWND hwnd = std::exchange(hwnd_, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
    if (--loadedForms == 0 && runningProgram) PostQuitMessage(0);
}

LRESULT WINAPI Form::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    const bool events = form && !detail::IsEnding();
    switch (msg) {
    case WM_COMMAND: {
        if (!events || !IsClick(HIWORD(wParam))) return 0;
        const int index = LOWORD(wParam) - kFirstControlId;
        if (index < 0 || index >= static_cast<int>(form->controls_.size())) return 0;
        if (auto* button = dynamic_cast<CommandButton*>(form->controls_[index]);
            button && button->Click)
            RunEvent(button->Click);
        return 0;
    }
    case WM_CLOSE:
        if (events) RunEvent([&] { form->Close(vbFormControlMenu); });
        return 0;
    case WM_ERASEBKGND:
        if (auto* owner = static_cast<Form*>(GetPropA(hwnd, detail::kFormProperty))) {
            RECT r;
            GetClientRect(hwnd, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, owner->native_->brush);
            return 1;
        }
        break;
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        // Brushes hold the system colours of when they were made: made again.
        if (auto* owner = static_cast<Form*>(GetPropA(hwnd, detail::kFormProperty))) {
            detail::FormNative& n = *owner->native_;
            DeleteObject(n.brush);
            n.brush = CreateSolidBrush(detail::ToColorRef(n.look.BackColor, vbButtonFace));
            for (Control* c : owner->controls_) c->Native().ReadSystemColours();
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        break;
    case WM_DRAWITEM:
        detail::DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (HBRUSH brush =
                detail::LabelColours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_ENTERIDLE:
        // The loop of a dialog this form owns is about to wait.
        detail::ShowDrawnPictures();
        break;
    case DM_GETDEFID:
        // No default button: Enter clicks nothing.
        return MAKELONG(0, DC_HASDEFID);
    case WM_APPCOMMAND:
        if (events && detail::MediaAppCommand(GET_APPCOMMAND_LPARAM(lParam))) return TRUE;
        break;
    case WM_COPYDATA:
        return events &&
                       detail::FolderCopied(hwnd, *reinterpret_cast<const COPYDATASTRUCT*>(lParam))
                   ? TRUE
                   : FALSE;
    case WM_DROPFILES:
        if (events)
            detail::FilesDropped(hwnd, reinterpret_cast<HDROP>(wParam));
        else
            DragFinish(reinterpret_cast<HDROP>(wParam));
        return 0;
    case detail::kDeliverFolder:
        if (events) detail::DeliverFolder();
        return 0;
    case WM_DESTROY:
        RemovePropA(hwnd, detail::kFormProperty);
        detail::FolderWindowGone(hwnd);
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
} // namespace runtime
