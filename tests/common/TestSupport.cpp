#include "TestSupport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

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
} // namespace testsupport
