// The controls over Qt widgets.
#include "Contrast.h"
#include "Native.h"

#include "platform/Paths.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>
#include <qdrawutil.h>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <optional>
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

void CheckListIndex(Long index, int count) {
    if (index < 0 || index >= count) Raise(err::kInvalidListIndex);
}

// The surface of a PictureBox: a persistent image inside a sunken border. Drawing
// goes into the image and repaints only the pixels it changed.
class PictureWidget : public QWidget {
public:
    static constexpr int kBorder = 2;
    using QWidget::QWidget;

    QImage image;
    QColor back;
    QRgb fore = 0;

    QRect Inside() const { return rect().adjusted(kBorder, kBorder, -kBorder, -kBorder); }

    void Clear() {
        image.fill(back);
        last_ = {};
        update(Inside());
    }

    // The pixel a coordinate in twips falls in; each of the four coordinates of a line
    // keeps its latest conversion, since a bar repeats them line after line.
    int Pixel(int slot, Single twips) {
        if (twips == twips_[slot]) return pixel_[slot];
        double q = twips / detail::kTwipsPerPixel;
        if (!(q >= -1e9)) q = -1e9; // NaN too
        if (q > 1e9) q = 1e9;
        const int whole = static_cast<int>(q);
        twips_[slot] = twips;
        pixel_[slot] = whole - (q < whole ? 1 : 0); // floor() without a library call
        return pixel_[slot];
    }

    // A line with a cosmetic pen, both ends included, in image pixels.
    void DrawLine(const QLine& line, QRgb rgb) {
        // Lines a scale finer than a pixel land on the same pixels many times over.
        if (last_ && last_->line == line && last_->rgb == rgb) return;
        last_ = Drawn{line, rgb};
        // The pixels between the ends, both included, inside the image.
        const QRect changed =
            QRect(QPoint(std::min(line.x1(), line.x2()), std::min(line.y1(), line.y2())),
                  QPoint(std::max(line.x1(), line.x2()), std::max(line.y1(), line.y2())))
                .intersected(image.rect());
        if (changed.isEmpty()) return;
        if (line.x1() == line.x2() || line.y1() == line.y2()) {
            // Straight lines are the usual case: fill them without a painter.
            uchar* bits = image.bits();
            for (int y = changed.top(); y <= changed.bottom(); ++y) {
                auto* row = reinterpret_cast<QRgb*>(bits + y * image.bytesPerLine());
                std::fill(row + changed.left(), row + changed.right() + 1, rgb);
            }
        } else {
            QPainter painter(&image);
            painter.setPen(QPen(QColor(rgb), 0));
            painter.drawLine(line);
        }
        // Qt repaints once for all the lines of one handler, after it.
        update(changed.translated(Inside().topLeft()));
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        const QSize size = Inside().size().expandedTo(QSize(0, 0));
        if (size == image.size()) return;
        QImage resized(size, QImage::Format_RGB32);
        resized.fill(back);
        QPainter(&resized).drawImage(0, 0, image);
        image = resized;
        last_ = {};
    }
    void paintEvent(QPaintEvent* e) override {
        QPainter painter(this);
        const QRect inside = Inside();
        if (!inside.contains(e->rect())) qDrawWinPanel(&painter, rect(), palette(), true);
        const QRect part = e->rect().intersected(inside);
        painter.drawImage(part.topLeft(), image, part.translated(-inside.topLeft()));
    }

private:
    struct Drawn {
        QLine line;
        QRgb rgb;
    };
    std::optional<Drawn> last_; // the latest drawing, while nothing else has drawn since
    Single twips_[4] = {0, 0, 0, 0};
    int pixel_[4] = {0, 0, 0, 0};
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
    : Left(Placement(left_)), Top(Placement(top_)), Width(Placement(width_)),
      Height(Placement(height_)),
      Enabled([this] { return native_->widget->isEnabled(); },
              [this](const bool& v) { native_->widget->setEnabled(v); }),
      Visible([this] { return !native_->widget->isHidden(); },
              [this](const bool& v) { native_->widget->setVisible(v); }),
      TabIndex([this] { return tabIndex_; }, [this](const Integer& v) { tabIndex_ = v; }),
      ToolTipText([this] { return FromQString(native_->widget->toolTip()); },
                  [this](const String& v) {
                      native_->widget->setToolTip(ToQString(v));
                      if (!named_) native_->widget->setAccessibleName(ToQString(v));
                  }),
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
                  if (!named_ && native_->widget->toolTip().isEmpty())
                      native_->widget->setAccessibleName(ToQString(v));
              }),
      Value([] { return false; },
            [this](const bool& v) {
                if (v) As<QPushButton>(*this).click();
            }) {
    auto& b = As<detail::ButtonWidget>(*this);
    b.setAutoDefault(false);
    Caption = look.Caption;
    if (look.Style == vbButtonGraphical) {
        const QColor back = ToQColor(look.BackColor, ToQColor(vbButtonFace));
        MakeGraphical(b, back);
        // The designed background may be as dark as the palette's button text (a dark
        // palette); a disabled caption keeps the palette's grey.
        const auto bgr = [](QColor c) {
            return std::uint32_t(c.blue() << 16 | c.green() << 8 | c.red());
        };
        const std::uint32_t text =
            detail::ReadableOn(bgr(back), bgr(b.palette().color(QPalette::ButtonText)));
        QPalette palette = b.caption->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive})
            palette.setColor(group, QPalette::WindowText,
                             QColor(text & 0xFF, (text >> 8) & 0xFF, text >> 16));
        b.caption->setPalette(palette);
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

namespace {
// Plain strings behind a view: a folder of 50,000 files costs a few MB so, where list
// items would cost ten times that.
class FileListWidget : public QListView {
public:
    explicit FileListWidget(QWidget* parent)
        : QListView(parent), names(new QStringListModel(this)) {
        setUniformItemSizes(true); // no layout pass over every name
        setModel(names);
    }
    QStringListModel* names;
};
} // namespace

FileListBox::FileListBox(Form* form, const Look& look)
    : Control(form, look, Make<FileListWidget>(form)),
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
      ListCount([this] { return Long(As<FileListWidget>(*this).names->rowCount()); }) {
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
        // The kind from the listing where it tells; a link or an unknown kind is looked up.
        if (entry->d_type != DT_REG) {
            if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) continue;
            struct stat st {};
            const std::string full = (native == "/" ? "" : native) + "/" + name;
            if (stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        }
        names.push_back(ToQString(platform::FromNativePath(name)));
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    As<FileListWidget>(*this).names->setStringList(names);
    folder_ = native;
}

String FileListBox::List(Long index) const {
    const QStringList names = As<FileListWidget>(*this).names->stringList(); // shared, not copied
    CheckListIndex(index, static_cast<int>(names.size()));
    return FromQString(names.at(index));
}

// --- PictureBox ---

PictureBox::PictureBox(Form* form, const Look& look)
    : Control(form, look, Make<PictureWidget>(form)),
      AutoRedraw([this] { return autoRedraw_; }, [this](const bool& v) { autoRedraw_ = v; }),
      ForeColor([this] { return foreColor_; },
                [this](const Long& v) {
                    foreColor_ = v;
                    As<PictureWidget>(*this).fore = ToQColor(v, ToQColor(vbButtonText)).rgb();
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
    w.fore = ToQColor(look.ForeColor, ToQColor(vbButtonText)).rgb();
    const QSize inside = w.Inside().size().expandedTo(QSize(0, 0));
    w.image = QImage(inside, QImage::Format_RGB32);
    w.image.fill(w.back);
    // Its border and image cover every pixel: the form under it is not painted first.
    w.setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::Cls() {
    As<PictureWidget>(*this).Clear();
}

void PictureBox::Line(Single x1, Single y1, Single x2, Single y2, Long color) {
    auto& w = As<PictureWidget>(*this);
    // A bar is drawn line by line from one side to the other: the other ends repeat.
    const int px1 = w.Pixel(0, x1), py1 = w.Pixel(1, y1);
    const int px2 = x2 == x1 ? px1 : w.Pixel(2, x2);
    const int py2 = y2 == y1 ? py1 : w.Pixel(3, y2);
    w.DrawLine(QLine(px1, py1, px2, py2), color == kDefaultColor ? w.fore : ToQColor(color).rgb());
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
