// Handed folders as both systems keep them: one waits until no event handler runs,
// then goes to the program through a message to its window.
#include "HandedFolders.h"

#include "runtime/HandedFolders.h"

#include "platform/Messages.h"

#include <optional>
#include <utility>

namespace runtime {
namespace {
struct Receiver {
    String name;
    HWND window = nullptr;
    std::function<void(const String&)> opened;
};
// Leaked: a handed folder may come while the program exits.
Receiver& TheReceiver() {
    static auto* receiver = new Receiver;
    return *receiver;
}
std::optional<String> waiting;
int runningEvents = 0;

void PostDelivery() {
    PostMessageA(TheReceiver().window, detail::kDeliverFolder, 0, 0);
}
} // namespace

void detail::EventStarted() noexcept {
    ++runningEvents;
}

void detail::EventEnded() noexcept {
    if (--runningEvents == 0 && waiting) PostDelivery();
}

void AcceptFolders(const String& Name, HWND Window,
                   std::function<void(const String& Folder)> Opened) {
    TheReceiver() = {Name, Window, std::move(Opened)};
    detail::AcceptDrops(Name, Window);
}

bool detail::HandFolder(const String& folder) {
    const Receiver& receiver = TheReceiver();
    if (!receiver.opened || !IsWindow(receiver.window)) return false;
    waiting = folder;
    if (runningEvents == 0) PostDelivery();
    return true;
}

void detail::DeliverFolder() {
    // Several deliveries may be posted for one folder: the first takes it.
    const Receiver& receiver = TheReceiver();
    if (!waiting || runningEvents > 0 || !IsWindow(receiver.window)) return;
    const String folder = *std::exchange(waiting, std::nullopt);
    RunEvent([&] { receiver.opened(folder); });
}
} // namespace runtime
