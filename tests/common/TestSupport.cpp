#include "TestSupport.h"

#include "platform/Messages.h"
#include "platform/QtBridge.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

namespace testsupport {
bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) return pred();
        // Blocks for at most a few ms while nothing is queued: no busy loop.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        QCoreApplication::sendPostedEvents();
    }
    return true;
}

void PumpPending() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
void WhenModalShows(std::function<void(QWidget*)> act, std::chrono::milliseconds bound) {
    auto* timer = new QTimer;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act), deadline] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        } else if (std::chrono::steady_clock::now() > deadline) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

void ChooseFolder(QWidget* chooser, const std::string& folder) {
    auto* dialog = qobject_cast<QFileDialog*>(chooser);
    const QFileInfo info(QString::fromStdString(folder));
    dialog->setDirectory(info.absolutePath());
    // Typed, not selectFile: that leaves the name field alone once it has focus,
    // and when the dialog gets focus is up to the window system.
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(info.fileName());
    static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept checks the choice
}

HWND NewWindow(WNDPROC proc) {
    return platform::AttachWindow(new QWidget, proc);
}

void DeleteWindow(HWND hwnd) {
    QWidget* widget = platform::WidgetOf(hwnd);
    DestroyWindow(hwnd);
    delete widget;
}

void SetEnv(const char* name, const std::string& value) {
    setenv(name, value.c_str(), 1);
}
} // namespace testsupport
