// The programs' entry: the window thread's message loop.
#include "Native.h"
#include "Text.h"

#include "runtime/Services.h"

#include <commctrl.h>
#include <exception>
#include <memory>

namespace runtime {
namespace detail {
void SetRunningProgram(bool running);
}

int Main(int&, char**, const String& title,
         const std::function<std::shared_ptr<Form>()>& startupForm) {
    // Pixels as the screen has them: twips follow its resolution.
    SetProcessDPIAware();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    OleInitialize(nullptr);
    if (!title.empty()) App.Title = title;
    // An error that escapes a window procedure the program installed cannot cross the
    // system's frames: it ends here, with the report.
    std::set_terminate([] {
        if (std::exception_ptr e = std::current_exception()) ReportUntrapped(e);
        std::abort();
    });

    std::shared_ptr<Form> form;
    detail::SetRunningProgram(true);
    RunEvent([&] {
        form = startupForm();
        form->Show();
    });
    int status = 0;
    if (LoadedForms() > 0) {
        MSG msg;
        for (;;) {
            // What the handlers drew shows before the thread waits.
            detail::ShowDrawnPictures();
            if (GetMessageA(&msg, nullptr, 0, 0) <= 0) break;
            // Tab and the arrows move between the controls of the form.
            HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
            if (top && IsDialogMessageA(top, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        status = static_cast<int>(msg.wParam);
    }
    detail::SetRunningProgram(false);
    form.reset();
    OleUninitialize();
    return status;
}
} // namespace runtime
