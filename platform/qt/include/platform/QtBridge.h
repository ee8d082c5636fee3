// The C++ side of the platform for the runtime: how a Qt widget becomes a window.
// Only the runtime includes this; the programs see handles and messages only.
#pragma once

#include "platform/Types.h"

#include <exception>
#include <functional>
#include <optional>
#include <string>

class QWidget;
class QAbstractButton;
class QString;

namespace platform {
// Gives a top-level widget a handle and a window procedure, and turns its Qt events
// into messages (table in Window.cpp). The widget stays owned by the caller; it must
// outlive the handle (call DestroyWindow before deleting it). Sends WM_CREATE.
// Must run on the GUI thread, with a QApplication.
ZPAPI HWND AttachWindow(QWidget* widget, WNDPROC proc);
ZPAPI QWidget* WidgetOf(HWND hwnd);
ZPAPI HWND WindowOf(const QWidget* widget);
// A click of button sends WM_COMMAND(MAKEWPARAM(id, BN_CLICKED), 0) to the window.
ZPAPI void AttachCommand(HWND hwnd, QAbstractButton* button, int id);
// Called when an exception leaves a window procedure that the platform ran from Qt's
// event loop; the default prints it and ends the process with status 3.
ZPAPI void SetUncaughtExceptionHandler(std::function<void(std::exception_ptr)> handler);
// Qt's own texts in dialogs (buttons, the chooser's labels) in Spanish, like the rest
// of the programs. The platform's dialogs call it; a tool with its own Qt dialogs
// calls it once its application exists. Window thread only.
ZPAPI void UseSpanishTexts();
// The native path of a file:// URI of this machine (no host, or localhost), its bytes
// exactly as the URI spells them, no '/' at its end; nothing for any other URI.
ZPAPI std::optional<std::string> LocalPathOfUri(const QString& uri);
// The window thread's event loop ran a window procedure: used by tests to wait.
ZPAPI bool IsWindowThread();
} // namespace platform
