// What screen readers are given, read through Qt's accessibility. (The player's
// end-to-end test reads the same through AT-SPI.)
#include "Native.h"

#include "runtime/VB.h"

#include <QAccessible>
#include <gtest/gtest.h>

using namespace runtime;

namespace {
class Strip : public Form {
public:
    Strip() : Form({.ClientWidth = 6705, .ClientHeight = 1185}) {}
    CommandButton Command1{this, {.Width = 615, .Height = 615, .Caption = u"Copiar"}};
    ListBox List1{this, {.Left = 120, .Top = 1560, .Width = 10335, .Height = 2160}};
    PictureBox ProgressBar{this, {.Left = 120, .Top = 840, .Width = 6555, .Height = 240}};
};

QAccessibleInterface* Of(Control& c) {
    return QAccessible::queryAccessibleInterface(c.Native().widget);
}
} // namespace

TEST(Accessibility, CaptionsNameButtonsAndTheBarFollowsTheDrawing) {
    Strip f;
    f.Show();
    QAccessibleInterface* form = QAccessible::queryAccessibleInterface(&f.Native().widget);
    EXPECT_EQ(form->childCount(), 2); // the list lies below the client area
    EXPECT_EQ(form->indexOfChild(Of(f.List1)), -1);

    EXPECT_EQ(Of(f.Command1)->text(QAccessible::Name), "Copiar"); // its caption...
    f.Command1.AccessibleName = u"Copiar archivos";
    f.Command1.Caption = u"Otro";
    EXPECT_EQ(Of(f.Command1)->text(QAccessible::Name), "Copiar archivos"); // ...until named

    QAccessibleInterface* bar = Of(f.ProgressBar);
    f.ProgressBar.AccessibleRole = vbRoleProgressBar; // after Qt made its interface
    ASSERT_EQ(bar->role(), QAccessible::ProgressBar);
    const Single quarter = f.ProgressBar.ScaleWidth / 4;
    for (Integer x = 0; x < quarter; x += 15) f.ProgressBar.Line(x, 0, x, 100);
    EXPECT_NEAR(bar->valueInterface()->currentValue().toDouble(), 25.0, 0.5);
    f.ProgressBar.Cls();
    EXPECT_EQ(bar->valueInterface()->currentValue().toDouble(), 0.0);
}
