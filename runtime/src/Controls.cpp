// The controls over Qt widgets.
#include "Native.h"

#include "platform/Paths.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <qdrawutil.h>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace runtime {
namespace {
using detail::FromQString;
using detail::ToQColor;
using detail::ToQString;

template <class W> std::unique_ptr<detail::Native> Make(Form* form) {
    return std::make_unique<detail::Native>(new W(&form->Native().widget));
}

template <class W> W& As(const Control& c) {
    return *static_cast<W*>(c.Native().widget);
}

void ApplyFont(QWidget& w, const FontSpec& spec) {
    if (spec.Name.empty() && spec.Size <= 0 && !spec.Bold && !spec.Italic) return;
    QFont font = w.font(); // the form's
    if (!spec.Name.empty()) font.setFamily(ToQString(spec.Name));
    if (spec.Size > 0) font.setPointSizeF(spec.Size);
    font.setBold(spec.Bold);
    font.setItalic(spec.Italic);
    w.setFont(font);
}

void SetColor(QWidget& w, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = w.palette();
    palette.setColor(role, color);
    w.setPalette(palette);
}

void CheckListIndex(Integer index, int count) {
    if (index < 0 || index >= count) Raise(err::kInvalidListIndex);
}

// The surface of a PictureBox: a persistent image inside a sunken border.
class PictureWidget : public QWidget {
public:
    static constexpr int kBorder = 2;
    using QWidget::QWidget;

    QImage image;
    QColor back, fore;

    QRect Inside() const { return rect().adjusted(kBorder, kBorder, -kBorder, -kBorder); }

protected:
    void resizeEvent(QResizeEvent*) override {
        const QSize size = Inside().size().expandedTo(QSize(0, 0));
        if (size == image.size()) return;
        QImage resized(size, QImage::Format_RGB32);
        resized.fill(back);
        QPainter(&resized).drawImage(0, 0, image);
        image = resized;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        qDrawWinPanel(&painter, rect(), palette(), true);
        painter.drawImage(Inside().topLeft(), image);
    }
};

// Graphical buttons show their background colour through a style sheet, which every
// Qt style honours.
void MakeGraphical(QPushButton& b, const QColor& color) {
    b.setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 2px outset %1; }"
                                   "QPushButton:pressed { border-style: inset; }")
                        .arg(color.name()));
}
} // namespace

detail::ButtonWidget::ButtonWidget(QWidget* parent)
    : QPushButton(parent), picture(new QLabel(this)), caption(new QLabel(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(0);
    layout->addStretch();
    for (QLabel* part : {picture, caption}) {
        part->setAlignment(Qt::AlignCenter);
        part->setAttribute(Qt::WA_TransparentForMouseEvents);
        part->hide();
        layout->addWidget(part);
    }
    caption->setWordWrap(true);
    caption->setTextFormat(Qt::PlainText);
    layout->addStretch();
}

// --- Control ---

Control::Control(Form* form, const Look& look, std::unique_ptr<detail::Native> native)
    : Left([this] { return left_; },
           [this](const Single& v) {
               left_ = v;
               Place();
           }),
      Top([this] { return top_; },
          [this](const Single& v) {
              top_ = v;
              Place();
          }),
      Width([this] { return width_; },
            [this](const Single& v) {
                width_ = v;
                Place();
            }),
      Height([this] { return height_; },
             [this](const Single& v) {
                 height_ = v;
                 Place();
             }),
      Enabled([this] { return native_->widget->isEnabled(); },
              [this](const bool& v) { native_->widget->setEnabled(v); }),
      Visible([this] { return !native_->widget->isHidden(); },
              [this](const bool& v) { native_->widget->setVisible(v); }),
      TabIndex([this] { return tabIndex_; }, [this](const Integer& v) { tabIndex_ = v; }),
      ToolTipText([this] { return FromQString(native_->widget->toolTip()); },
                  [this](const String& v) { native_->widget->setToolTip(ToQString(v)); }),
      AccessibleName([this] { return FromQString(native_->widget->accessibleName()); },
                     [this](const String& v) {
                         named_ = true;
                         native_->widget->setAccessibleName(ToQString(v));
                     }),
      form_(*form), native_(std::move(native)), left_(look.Left), top_(look.Top),
      width_(look.Width), height_(look.Height), tabIndex_(look.TabIndex) {
    QWidget& w = *native_->widget;
    ApplyFont(w, look.Font);
    Place();
    w.show(); // shown with its form
    form_.controls_.push_back(this);
}

Control::~Control() {
    std::erase(form_.controls_, this);
    if (QCoreApplication::instance()) delete native_->widget; // else its form leaves it
}

void Control::Place() {
    native_->widget->setGeometry(detail::Pixels(left_), detail::Pixels(top_),
                                 detail::Pixels(width_), detail::Pixels(height_));
}

// --- CommandButton ---

CommandButton::CommandButton(Form* form, const Look& look)
    : Control(form, look, Make<detail::ButtonWidget>(form)),
      Caption([this] { return FromQString(As<detail::ButtonWidget>(*this).caption->text()); },
              [this](const String& v) {
                  QLabel* caption = As<detail::ButtonWidget>(*this).caption;
                  caption->setText(ToQString(v));
                  caption->setVisible(!v.empty());
                  if (!named_) native_->widget->setAccessibleName(ToQString(v));
              }),
      Value([] { return false; },
            [this](const bool& v) {
                if (v) As<QPushButton>(*this).click();
            }) {
    auto& b = As<detail::ButtonWidget>(*this);
    b.setAutoDefault(false);
    Caption = look.Caption;
    if (look.Style == vbButtonGraphical) {
        MakeGraphical(b, ToQColor(look.BackColor, ToQColor(vbButtonFace)));
        if (!look.Picture.empty()) {
            b.picture->setPixmap(detail::LoadPixmap(look.Picture));
            b.picture->show();
        }
    }
}

// --- Label ---

Label::Label(Form* form, const Look& look)
    : Control(form, look, Make<QLabel>(form)),
      Caption([this] { return FromQString(As<QLabel>(*this).text()); },
              [this](const String& v) { As<QLabel>(*this).setText(ToQString(v)); }),
      BackColor([this] { return backColor_; },
                [this](const Long& v) {
                    backColor_ = v;
                    SetColor(As<QLabel>(*this), QPalette::Window,
                             ToQColor(v, ToQColor(vbButtonFace)));
                }),
      ForeColor([this] { return foreColor_; },
                [this](const Long& v) {
                    foreColor_ = v;
                    SetColor(As<QLabel>(*this), QPalette::WindowText,
                             ToQColor(v, ToQColor(vbButtonText)));
                }) {
    auto& l = As<QLabel>(*this);
    l.setTextFormat(Qt::PlainText);
    l.setWordWrap(true);
    l.setText(ToQString(look.Caption));
    const Qt::Alignment horizontal = look.Alignment == vbCenter         ? Qt::AlignHCenter
                                     : look.Alignment == vbRightJustify ? Qt::AlignRight
                                                                        : Qt::AlignLeft;
    l.setAlignment(horizontal | Qt::AlignTop);
    l.setAutoFillBackground(look.BackStyle != vbTransparent);
    BackColor = look.BackColor;
    ForeColor = look.ForeColor;
}

// --- TextBox ---

TextBox::TextBox(Form* form, const Look& look)
    : Control(form, look, Make<QLineEdit>(form)),
      Text([this] { return FromQString(As<QLineEdit>(*this).text()); },
           [this](const String& v) { As<QLineEdit>(*this).setText(ToQString(v)); }) {
    As<QLineEdit>(*this).setText(ToQString(look.Caption));
}

// --- ListBox ---

ListBox::ListBox(Form* form, const Look& look)
    : Control(form, look, Make<QListWidget>(form)),
      ListCount([this] { return Integer(As<QListWidget>(*this).count()); }) {}

void ListBox::AddItem(const String& item) {
    As<QListWidget>(*this).addItem(ToQString(item));
}
void ListBox::Clear() {
    As<QListWidget>(*this).clear();
}

String ListBox::List(Integer index) const {
    auto& list = As<QListWidget>(*this);
    CheckListIndex(index, list.count());
    return FromQString(list.item(index)->text());
}

ListBox::Item& ListBox::Item::operator=(const String& text) {
    auto& list = As<QListWidget>(box_);
    if (index_ == list.count()) {
        list.addItem(ToQString(text));
    } else {
        CheckListIndex(index_, list.count());
        list.item(index_)->setText(ToQString(text));
    }
    return *this;
}

ListBox::Item::operator String() const {
    return std::as_const(box_).List(index_);
}

// --- FileListBox ---

FileListBox::FileListBox(Form* form, const Look& look)
    : Control(form, look, Make<QListWidget>(form)),
      Path([this] { return platform::FromNativePath(folder_); },
           [this](const String& v) {
               namespace fs = std::filesystem;
               std::error_code ec;
               fs::path p = fs::absolute(platform::ToNativePath(v), ec).lexically_normal();
               std::string native = p.string();
               while (native.size() > 1 && native.back() == '/') native.pop_back();
               struct stat st {};
               if (ec || v.empty() || stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                   Raise(err::kPathNotFound);
               Fill(native);
           }),
      ListCount([this] { return Integer(As<QListWidget>(*this).count()); }) {
    std::error_code ec;
    const std::string here = std::filesystem::current_path(ec).string();
    try {
        if (!ec) Fill(here);
    } catch (const RuntimeError&) {
        folder_ = here; // an unreadable current directory lists nothing
    }
}

void FileListBox::Fill(const std::string& native) {
    DIR* dir = opendir(native.c_str());
    if (!dir)
        Raise(errno == ENOENT || errno == ENOTDIR ? err::kPathNotFound : err::kPathFileAccess);
    QStringList names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') continue;
        struct stat st {};
        const std::string full = (native == "/" ? "" : native) + "/" + name;
        if (stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        names.push_back(ToQString(platform::FromNativePath(name)));
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    auto& list = As<QListWidget>(*this);
    list.clear();
    list.addItems(names);
    folder_ = native;
}

String FileListBox::List(Integer index) const {
    auto& list = As<QListWidget>(*this);
    CheckListIndex(index, list.count());
    return FromQString(list.item(index)->text());
}

// --- PictureBox ---

PictureBox::PictureBox(Form* form, const Look& look)
    : Control(form, look, Make<PictureWidget>(form)),
      AutoRedraw([this] { return autoRedraw_; }, [this](const bool& v) { autoRedraw_ = v; }),
      ForeColor([this] { return foreColor_; },
                [this](const Long& v) {
                    foreColor_ = v;
                    As<PictureWidget>(*this).fore = ToQColor(v, ToQColor(vbButtonText));
                }),
      BackColor([this] { return backColor_; },
                [this](const Long& v) {
                    backColor_ = v;
                    As<PictureWidget>(*this).back = ToQColor(v, ToQColor(vbButtonFace));
                    Cls();
                }),
      ScaleWidth([this] {
          return static_cast<Single>(As<PictureWidget>(*this).image.width() *
                                     detail::kTwipsPerPixel);
      }),
      ScaleHeight([this] {
          return static_cast<Single>(As<PictureWidget>(*this).image.height() *
                                     detail::kTwipsPerPixel);
      }),
      AccessibleRole(
          [this] { return Integer(native_->widget->property(detail::kRole).toInt()); },
          [this](const Integer& v) { native_->widget->setProperty(detail::kRole, int(v)); }) {
    auto& w = As<PictureWidget>(*this);
    foreColor_ = look.ForeColor;
    backColor_ = look.BackColor;
    w.back = ToQColor(look.BackColor, ToQColor(vbButtonFace));
    w.fore = ToQColor(look.ForeColor, ToQColor(vbButtonText));
    const QSize inside = w.Inside().size().expandedTo(QSize(0, 0));
    w.image = QImage(inside, QImage::Format_RGB32);
    w.image.fill(w.back);
}

void PictureBox::Cls() {
    auto& w = As<PictureWidget>(*this);
    w.image.fill(w.back);
    w.update();
}

void PictureBox::Line(Single x1, Single y1, Single x2, Single y2, Long color) {
    auto& w = As<PictureWidget>(*this);
    const auto px = [](Single twips) {
        return static_cast<int>(std::floor(twips / detail::kTwipsPerPixel));
    };
    QPainter painter(&w.image);
    painter.setPen(QPen(ToQColor(color, w.fore), 0));
    painter.drawLine(px(x1), px(y1), px(x2), px(y2));
    w.update();
}

bool detail::IsPictureBox(const QWidget* widget) {
    return dynamic_cast<const PictureWidget*>(widget);
}

double detail::DrawnPercent(const QWidget* widget) {
    const auto* w = dynamic_cast<const PictureWidget*>(widget);
    if (!w || w->image.width() == 0) return 0;
    const QRgb back = w->back.rgb();
    for (int x = w->image.width() - 1; x >= 0; --x)
        for (int y = 0; y < w->image.height(); ++y)
            if (w->image.pixel(x, y) != back) return 100.0 * (x + 1) / w->image.width();
    return 0;
}
} // namespace runtime
