// What screen readers are given: names, the controls inside the client area, a
// progress bar's value and a label's text, read through Qt's accessibility.
#include "Native.h"

#include "runtime/VB.h"

#include <QAccessible>
#include <gtest/gtest.h>

using namespace runtime;

namespace {
class Strip : public Form {
public:
    Strip() : Form({.ClientWidth = 6705, .ClientHeight = 1185}) {}
    CommandButton Command1{
        this, {.Left = 120, .Top = 120, .Width = 615, .Height = 615, .Caption = u"Copiar"}};
    ListBox List1{this, {.Left = 120, .Top = 1560, .Width = 10335, .Height = 2160}};
    PictureBox ProgressBar{this, {.Left = 120, .Top = 840, .Width = 6555, .Height = 240}};
    Label LCD{this, {.Left = 3960, .Top = 120, .Width = 1245, .Height = 540, .Caption = u"00:00"}};
};

QAccessibleInterface* Of(Control& c) {
    return QAccessible::queryAccessibleInterface(c.Native().widget);
}
} // namespace

TEST(Accessibility, NamesRolesAndValuesOfTheControlsInsideTheForm) {
    Strip f;
    f.Show();
    QAccessibleInterface* form = QAccessible::queryAccessibleInterface(&f.Native().widget);
    ASSERT_EQ(form->childCount(), 3); // the list lies below the client area
    EXPECT_EQ(form->indexOfChild(Of(f.List1)), -1);
    EXPECT_EQ(form->child(form->indexOfChild(Of(f.LCD))), Of(f.LCD));

    EXPECT_EQ(Of(f.Command1)->text(QAccessible::Name), "Copiar"); // its caption...
    f.Command1.AccessibleName = u"Copiar archivos";
    f.Command1.Caption = u"Otro";
    EXPECT_EQ(Of(f.Command1)->text(QAccessible::Name), "Copiar archivos"); // ...until named

    f.LCD.AccessibleName = u"Tiempo restante";
    f.LCD.Caption = u"03:12";
    EXPECT_EQ(Of(f.LCD)->text(QAccessible::Name), "Tiempo restante");
    EXPECT_EQ(Of(f.LCD)->textInterface()->text(0, 5), "03:12");

    QAccessibleInterface* bar = Of(f.ProgressBar);
    EXPECT_EQ(bar->valueInterface(), nullptr);
    f.ProgressBar.AccessibleRole = vbRoleProgressBar; // after Qt made its interface
    ASSERT_EQ(bar->role(), QAccessible::ProgressBar);
    EXPECT_EQ(bar->valueInterface()->currentValue().toDouble(), 0.0);
    const Single quarter = f.ProgressBar.ScaleWidth / 4;
    for (Integer x = 0; x < quarter; x += 15) f.ProgressBar.Line(x, 0, x, 100);
    EXPECT_NEAR(bar->valueInterface()->currentValue().toDouble(), 25.0, 0.5);
    f.ProgressBar.Cls();
    EXPECT_EQ(bar->valueInterface()->currentValue().toDouble(), 0.0);
}
