// The desktop's own folder chooser: org.freedesktop.portal.FileChooser on the session
// bus, which the desktop draws in a process of its own.
#pragma once

#include <optional>
#include <string>

class QString;
class QWidget;

namespace platform::detail {
// How the portal's chooser ended.
struct PortalChoice {
    bool answered = false;             // false: no portal to ask; the caller shows its own
    std::optional<std::string> folder; // the native path; none on cancel or a non-local folder
};

// Asks the portal for one folder, modal to the program as a dialog of its own would be:
// its windows take no input until the chooser is gone, while posted messages keep
// arriving. Unanswered without a display, a session bus or a portal, on an error reply,
// when the call is not answered within a few seconds, and when the portal leaves the
// bus with its chooser open. Window thread only.
PortalChoice ChooseFolderWithPortal(QWidget* owner, const QString& title);
} // namespace platform::detail
