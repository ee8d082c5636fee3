// REGSVR32.EXE [/u] [/s] LIBRARY: loads the library as LoadLibraryA does and calls its
// DllRegisterServer (DllUnregisterServer with /u), then reports in a message box
// (none with /s). The report also goes to standard output. Exit status 0 only on
// success.
#include "platform/CodePage.h"
#include "platform/Libraries.h"
#include "platform/Messages.h"
#include "platform/QtBridge.h"
#include "platform/System.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {
using RegisterFunction = std::int32_t (*)();

enum Exit { kOk = 0, kUsage = 1, kNotFound = 3, kNoEntryPoint = 4, kFailed = 5 };

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Minimises the box once the window system has taken it up, which its first activation
// shows: a request made before that (a state set before exec(), or at the first exposure)
// may be dropped, leaving the box open.
class IconifyWhenActive : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::WindowActivate && !done_) {
            done_ = true;
            static_cast<QWidget*>(object)->showMinimized();
        }
        return false;
    }

private:
    bool done_ = false;
};

void Report(const QString& text, bool silent) {
    std::printf("%s\n", text.toStdString().c_str());
    std::fflush(stdout);
    if (silent) return;
    QMessageBox box;
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle("RegSvr32");
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    // Started minimised (show state 2 or 6): the report waits in the task bar.
    const int state = platform::StartupShowState();
    IconifyWhenActive iconify;
    if (state == SW_SHOWMINIMIZED || state == SW_MINIMIZE) box.installEventFilter(&iconify);
    box.exec();
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("RegSvr32");
    platform::UseSpanishTexts();
    bool silent = false, unregister = false;
    std::string library;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "/s" || arg == "/S" || arg == "-s")
            silent = true;
        else if (arg == "/u" || arg == "/U" || arg == "-u")
            unregister = true;
        else
            library = arg;
    }
    if (library.empty()) {
        Report("Uso: REGSVR32.EXE [/u] [/s] biblioteca", silent);
        return kUsage;
    }
    const QString name = Text(library);
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    // Arguments arrive as native text; the loader takes the 8-bit code page.
    HMODULE module = LoadLibraryA(platform::ToAnsi(name.toStdU16String()).c_str());
    if (!module) {
        Report(QString("No se pudo cargar el módulo \"%1\".\n\nCompruebe que el archivo existe "
                       "y que es una biblioteca válida.")
                   .arg(name),
               silent);
        return kNotFound;
    }
    auto function = reinterpret_cast<RegisterFunction>(GetProcAddress(module, entry));
    if (!function) {
        Report(QString("Se cargó el módulo \"%1\", pero no se encontró el punto de entrada %2.")
                   .arg(name, entry),
               silent);
        return kNoEntryPoint;
    }
    const std::int32_t result = function();
    if (result != 0) {
        Report(QString("Se llamó a %1 en el módulo \"%2\", pero la llamada falló con el código "
                       "0x%3.")
                   .arg(entry, name)
                   .arg(static_cast<std::uint32_t>(result), 8, 16, QChar('0')),
               silent);
        return kFailed;
    }
    Report(QString("%1 en %2 se ejecutó correctamente.").arg(entry, name), silent);
    return kOk;
}
