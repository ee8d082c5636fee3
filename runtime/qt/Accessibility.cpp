// What screen readers see of forms and controls, through Qt's accessibility (AT-SPI
// on Linux): a form shows only the controls inside its client area, a named label
// offers its text as its value, and a picture box with the progress bar role is a
// progress bar whose value follows what is drawn.
#include "Native.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

namespace runtime::detail {
namespace {
class FormAccessible : public QAccessibleWidget {
public:
    explicit FormAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Window) {}

    int childCount() const override { return static_cast<int>(Inside().size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> inside = Inside();
        if (index < 0 || index >= inside.size()) return nullptr;
        return QAccessible::queryAccessibleInterface(inside[index]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child) return -1;
        return static_cast<int>(Inside().indexOf(qobject_cast<QWidget*>(child->object())));
    }

private:
    // The working storage below the client area is no control a user can reach.
    QList<QWidget*> Inside() const {
        QList<QWidget*> inside;
        for (QObject* o : widget()->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            if (w && !w->isWindow() && w->geometry().intersects(widget()->rect()))
                inside.push_back(w);
        }
        return inside;
    }
};

// Qt makes a widget's interface once, often before the program has given the control
// its role or name: these read both when asked.
class PictureAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit PictureAccessible(QWidget* w) : QAccessibleWidget(w) {}

    QAccessible::Role role() const override {
        return Progress() ? QAccessible::ProgressBar : QAccessibleWidget::role();
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface && Progress())
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return DrawnPercent(widget()); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 0.0; }

private:
    bool Progress() const { return widget()->property(kRole).toInt() == vbRoleProgressBar; }
};

// A label: named by its text unless it has a name of its own (the time display), and
// its text read as text.
class LabelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit LabelAccessible(QLabel* l) : QAccessibleWidget(l, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value ||
            (t == QAccessible::Name && widget()->accessibleName().isEmpty()))
            return Text();
        return QAccessibleWidget::text(t);
    }
    QString text(int start, int end) const override { return Text().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(Text().size()); }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    QString Text() const { return static_cast<QLabel*>(widget())->text(); }
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
    if (auto* form = dynamic_cast<FormWidget*>(object)) return new FormAccessible(form);
    auto* w = qobject_cast<QWidget*>(object);
    if (!w || !dynamic_cast<FormWidget*>(w->parentWidget())) return nullptr; // not a control
    if (IsPictureBox(w)) return new PictureAccessible(w);
    if (auto* label = qobject_cast<QLabel*>(w)) return new LabelAccessible(label);
    return nullptr;
}
} // namespace

void UseAccessibility() {
    // Factories installed later are asked first: this one after Qt's own.
    static const bool installed = (QAccessible::installFactory(&Factory), true);
    (void)installed;
}
} // namespace runtime::detail
