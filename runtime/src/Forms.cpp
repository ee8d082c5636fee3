// What forms and controls do alike on every system: their text through window
// messages, their placement in twips.
#include "runtime/Forms.h"

#include "platform/CodePage.h"
#include "platform/Messages.h"

#include <algorithm>

namespace runtime {
namespace {
String WindowText(HWND hwnd) {
    const auto length = SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
    const auto n =
        SendMessageA(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<std::size_t>(std::clamp<LRESULT>(n, 0, length)));
    return platform::FromAnsi(buffer);
}
} // namespace

Property<String> Form::WindowCaption(std::function<String()> unloaded,
                                     std::function<void(const String&)> setUnloaded) {
    return {[this, unloaded] { return hwnd_ ? WindowText(hwnd_) : unloaded(); },
            [this, setUnloaded](const String& text) {
                if (!hwnd_) return setUnloaded(text);
                // In the 8-bit code page, as the window's procedure (and a hook) takes it.
                const std::string ansi = platform::ToAnsi(text);
                SendMessageA(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str()));
            }};
}

Property<Single> Control::Placement(Single& twips) {
    return {[&twips] { return twips; },
            [this, &twips](const Single& v) {
                twips = v;
                Place();
            }};
}
} // namespace runtime
