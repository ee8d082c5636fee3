// Forms: the window, its procedure and the form's events.
#include "HandedFolders.h"
#include "Native.h"
#include "Text.h"

#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "platform/QtBridge.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QPalette>

#include <algorithm>

namespace runtime {
namespace detail {
QString ToQString(const String& text) {
    // As it is: fromUtf16 would take a leading U+FEFF or U+FFFE for a byte order mark.
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}
String FromQString(const QString& text) {
    return text.toStdU16String();
}

QColor ToQColor(Long color, QColor fallback) {
    if (color == kDefaultColor) return fallback;
    const auto bits = static_cast<std::uint32_t>(color);
    if (!(bits & 0x80000000u)) return QColor(bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF);
    const QPalette palette = QApplication::palette();
    switch (bits & 0xFF) {
    case 2:
    case 13:
        return palette.color(QPalette::Highlight);
    case 9:
    case 14:
        return palette.color(QPalette::HighlightedText);
    case 5:
        return palette.color(QPalette::Base);
    case 8:
        return palette.color(QPalette::Text);
    case 7:
    case 19:
        return palette.color(QPalette::WindowText);
    case 15:
        return palette.color(QPalette::Button);
    case 16:
        return palette.color(QPalette::Dark);
    case 17:
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18:
        return palette.color(QPalette::ButtonText);
    case 20:
        return palette.color(QPalette::Light);
    case 21:
        return palette.color(QPalette::Shadow);
    case 22:
        return palette.color(QPalette::Midlight);
    case 23:
        return palette.color(QPalette::ToolTipText);
    case 24:
        return palette.color(QPalette::ToolTipBase);
    default:
        return palette.color(QPalette::Window);
    }
}

QPixmap LoadPixmap(const String& path) {
    const QString file = ToQString(path);
    if (!QFile::exists(file))
        Raise(err::kFileNotFound, u"No se ha encontrado el archivo '" + path + u"'");
    // Read by the format its suffix names: finding the format from the contents would
    // load every image plugin installed, and keep them all.
    QImageReader reader(file, QFileInfo(file).suffix().toLatin1());
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (image.isNull()) image = QImageReader(file).read(); // a suffix that does not fit
    if (image.isNull()) Raise(err::kInvalidPicture, u"Imagen no válida: '" + path + u"'");
    return QPixmap::fromImage(std::move(image));
}
} // namespace detail

namespace {
int loadedForms = 0;
bool runningProgram = false;

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
      Caption(WindowCaption(
          [this] { return detail::FromQString(native_->widget.windowTitle()); },
          [this](const String& text) { native_->widget.setWindowTitle(detail::ToQString(text)); })),
      WindowState(
          [this]() -> Integer {
              if (IsIconic(hwnd_)) return vbMinimized;
              return native_->widget.isMaximized() ? vbMaximized : vbNormal;
          },
          [this](const Integer& state) {
              Load();
              if (state == vbMinimized)
                  ShowWindow(hwnd_, SW_MINIMIZE);
              else if (state == vbMaximized)
                  native_->widget.showMaximized();
              else if (state == vbNormal)
                  ShowWindow(hwnd_, SW_RESTORE);
              else
                  Raise(err::kInvalidCall);
          }),
      native_(std::make_unique<detail::FormNative>()) {
    detail::UseAccessibility();
    QWidget& w = native_->widget;
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (look.MinButton) flags |= Qt::WindowMinimizeButtonHint;
    if (look.MaxButton) flags |= Qt::WindowMaximizeButtonHint;
    w.setWindowFlags(flags);
    w.setWindowTitle(detail::ToQString(look.Caption));
    const QSize client(detail::Pixels(look.ClientWidth), detail::Pixels(look.ClientHeight));
    if (look.BorderStyle == vbSizable)
        w.resize(client);
    else
        w.setFixedSize(client);
    QPalette palette = w.palette();
    palette.setColor(QPalette::Window, detail::ToQColor(look.BackColor));
    w.setPalette(palette);
    w.setAutoFillBackground(true);
    QFont font(detail::ToQString(look.Font.Name));
    if (look.Font.Size > 0) font.setPointSizeF(look.Font.Size);
    font.setBold(look.Font.Bold);
    font.setItalic(look.Font.Italic);
    w.setFont(font);
    if (!look.Icon.empty()) w.setWindowIcon(QIcon(detail::LoadPixmap(look.Icon)));
}

Form::~Form() {
    // A form outliving the application (a program's own counted reference released at
    // exit) leaves its widgets: the window system is gone.
    if (!QCoreApplication::instance()) {
        (void)native_.release();
        return;
    }
    if (hwnd_) {
        SetWindowLongA(hwnd_, GWL_USERDATA, 0);
        // A procedure the program installed must not see a form that is half destroyed.
        SetWindowLongA(hwnd_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&Form::WindowProc));
        DestroyWindow(hwnd_);
        --loadedForms;
    }
}

void Form::Load() {
    if (hwnd_) return;
    hwnd_ = platform::AttachWindow(&native_->widget, &Form::WindowProc);
    SetWindowLongA(hwnd_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ++loadedForms;
    // Tab order: numbered controls first, by number, then the others in creation order.
    std::vector<Control*> order = controls_;
    std::stable_sort(order.begin(), order.end(), [](Control* a, Control* b) {
        const int ia = a->TabIndex.Get(), ib = b->TabIndex.Get();
        return (ia < 0 ? 1 << 20 : ia) < (ib < 0 ? 1 << 20 : ib);
    });
    QWidget* previous = nullptr;
    firstFocus_ = nullptr;
    for (Control* c : order) {
        QWidget* w = c->Native().widget;
        if (w->focusPolicy() == Qt::NoFocus) continue;
        if (previous) QWidget::setTabOrder(previous, w);
        if (!firstFocus_) firstFocus_ = c;
        previous = w;
    }
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (auto* button = qobject_cast<QAbstractButton*>(controls_[i]->Native().widget))
            platform::AttachCommand(hwnd_, button, kFirstControlId + static_cast<int>(i));
    }
    Form_Load();
}

void Form::Show() {
    Load();
    if (!hwnd_ || native_->widget.isVisible()) return;
    ShowWindow(hwnd_, SW_SHOWDEFAULT);
    // The focus starts at the first control of the tab order that takes it.
    if (firstFocus_) firstFocus_->Native().widget->setFocus();
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
    SetWindowLongA(hwnd, GWL_USERDATA, 0);
    DestroyWindow(hwnd);
    if (--loadedForms == 0 && runningProgram) QCoreApplication::exit(0);
}

LRESULT WINAPI Form::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<Form*>(GetWindowLongA(hwnd, GWL_USERDATA));
    const bool events = form && !detail::IsEnding();
    switch (msg) {
    case WM_COMMAND: {
        if (!events || HIWORD(wParam) != BN_CLICKED) return 0;
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
    case detail::kDeliverFolder:
        if (events) detail::DeliverFolder();
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}
} // namespace runtime
