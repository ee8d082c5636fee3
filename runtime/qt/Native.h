// The Qt side of forms and controls; only the runtime (and its tests) include this.
#pragma once

#include "runtime/Forms.h"

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>

#include <optional>
#include <string>

namespace runtime::detail {
inline constexpr double kTwipsPerPixel = 15.0;
inline int Pixels(Single twips) {
    return qRound(twips / kTwipsPerPixel);
}

// A control's widget, a child of its form's window, which owns it.
struct Native {
    explicit Native(QWidget* w) : widget(w) {}
    virtual ~Native() = default;
    QWidget* widget;
};

// A command button: its picture above its caption, which wraps at words as a
// button's caption does.
class ButtonWidget : public QPushButton {
public:
    explicit ButtonWidget(QWidget* parent);
    QLabel* picture;
    QLabel* caption;
};

// The form's top-level widget.
class FormWidget : public QWidget {
public:
    FormWidget() : QWidget(nullptr) {}
};

struct FormNative {
    FormWidget widget;
};

// An RGB or system colour (from Qt's palette); kDefaultColor gives fallback.
QColor ToQColor(Long color, QColor fallback = {});
// A picture from a Qt resource or file: error 53 when missing, 481 when unreadable.
QPixmap LoadPixmap(const String& path);
QString ToQString(const String& text);
// Our accessibility for forms and controls; once the application exists.
void UseAccessibility();
// A picture box's AccessibleRole, kept on its widget for the accessibility factory.
inline constexpr char kRole[] = "zampoloAccessibleRole";
// How far from the left a picture box is drawn: the rightmost column inside its border
// that holds anything but the background, as a percentage of its inner width.
double DrawnPercent(const QWidget* widget);
bool IsPictureBox(const QWidget* widget);
String FromQString(const QString& text);
// The program's arguments, as Main got them once Qt took its own.
void KeepCommandLine(int argc, char** argv);
// The native path of a file:// URI of a folder of this machine; nothing otherwise.
std::optional<std::string> OpenedFolder(const QString& uri);
} // namespace runtime::detail
