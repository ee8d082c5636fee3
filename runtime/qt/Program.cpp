// The programs' entry.
#include "runtime/Forms.h"
#include "runtime/Services.h"

#include "platform/QtBridge.h"

#include <QApplication>

#include <cstdlib>
#include <memory>

namespace runtime {
namespace detail {
void SetRunningProgram(bool running);
void KeepCommandLine(int argc, char** argv);
} // namespace detail

int Main(int& argc, char** argv, const String& title,
         const std::function<std::shared_ptr<Form>()>& startupForm) {
    // The program's arguments are its own: Qt sees only the program's name, so that a
    // folder named like one of Qt's options (-reverse, -style) reaches the program.
    detail::KeepCommandLine(argc, argv);
    static int qtArgc = 1;
    static char name[] = "zampolo";
    static char* qtArgv[] = {argc > 0 && argv[0] ? argv[0] : name, nullptr};
    std::unique_ptr<QApplication> app;
    if (!QCoreApplication::instance()) {
        // A repaint through shared memory makes the X server answer with an event: two
        // more thread wake-ups for each small repaint. The windows here are small.
        setenv("QT_XCB_NO_MITSHM", "1", 0);
        app = std::make_unique<QApplication>(qtArgc, qtArgv);
    }
    // The program ends when its last form unloads, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    if (!title.empty()) App.Title = title;
    // Errors that escape a window procedure the program installed itself.
    platform::SetUncaughtExceptionHandler([](std::exception_ptr e) { ReportUntrapped(e); });

    std::shared_ptr<Form> form;
    detail::SetRunningProgram(true);
    RunEvent([&] {
        form = startupForm();
        form->Show();
    });
    const int status = LoadedForms() > 0 ? QCoreApplication::exec() : 0;
    detail::SetRunningProgram(false);
    form.reset();
    return status;
}
} // namespace runtime
