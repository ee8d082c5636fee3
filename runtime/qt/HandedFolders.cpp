// Handed folders on Linux: the command line's bytes, another start's hand-over through
// the media remote's OpenUri on the session bus, and drops of a text/uri-list.
#include "runtime/HandedFolders.h"

#include "HandedFolders.h"
#include "Native.h"

#include "platform/Paths.h"
#include "platform/QtBridge.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace runtime {
namespace {
std::vector<std::string>& Arguments() {
    static std::vector<std::string> arguments;
    return arguments;
}

bool IsFolder(const std::string& native) {
    std::error_code error;
    return std::filesystem::is_directory(native, error);
}

// The one local folder a drop of a text/uri-list carries; nothing for files, several
// items or another machine's.
std::optional<std::string> DroppedFolder(const QMimeData* data) {
    if (!data || !data->hasFormat(QStringLiteral("text/uri-list"))) return {};
    QStringList uris;
    for (const QByteArray& line : data->data(QStringLiteral("text/uri-list")).split('\n')) {
        const QByteArray uri = line.trimmed();
        if (!uri.isEmpty() && !uri.startsWith('#')) uris << QString::fromLatin1(uri);
    }
    if (uris.size() != 1) return {};
    return detail::OpenedFolder(uris.first());
}

class DropFilter : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return QObject::eventFilter(watched, event);
        auto* drop = static_cast<QDropEvent*>(event);
        const std::optional<std::string> folder = DroppedFolder(drop->mimeData());
        if (!folder) {
            drop->ignore(); // the pointer shows the drop is refused
            return true;
        }
        drop->acceptProposedAction();
        if (type == QEvent::Drop) detail::HandFolder(platform::FromNativePath(*folder));
        return true;
    }
};
} // namespace

namespace detail {
void KeepCommandLine(int argc, char** argv) {
    Arguments().assign(argv, argv + argc);
}

std::optional<std::string> OpenedFolder(const QString& uri) {
    std::optional<std::string> native = platform::LocalPathOfUri(uri);
    if (!native || !IsFolder(*native)) return {};
    return native;
}

void AcceptDrops(const String&, HWND window) {
    QWidget* widget = platform::WidgetOf(window);
    if (!widget) return;
    widget->setAcceptDrops(true);
    widget->installEventFilter(new DropFilter(widget));
}
} // namespace detail

String CommandFolder() {
    const std::vector<std::string>& arguments = Arguments();
    if (arguments.size() < 2 || arguments[1].empty()) return u"";
    std::error_code error;
    std::string native = std::filesystem::absolute(arguments[1], error).lexically_normal().string();
    if (error) native = arguments[1];
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    if (!IsFolder(native)) {
        const std::string program = std::filesystem::path(arguments[0]).filename().string();
        std::fprintf(stderr, "%s: %s no es una carpeta\n", program.c_str(), arguments[1].c_str());
    }
    return platform::FromNativePath(native);
}

bool HandToRunningProgram(const String& Name, const String& Folder) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    const QByteArray native = QByteArray::fromStdString(platform::ToNativePath(Folder));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.mpris.MediaPlayer2.") + detail::ToQString(Name),
        QStringLiteral("/org/mpris/MediaPlayer2"), QStringLiteral("org.mpris.MediaPlayer2.Player"),
        QStringLiteral("OpenUri"));
    call << QString::fromLatin1("file://" + native.toPercentEncoding("/"));
    call.setAutoStartService(false);
    // A player that is busy answers once its event loop runs again; one that hangs does
    // not, and this start goes on alone.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    return reply.type() == QDBusMessage::ReplyMessage ||
           (reply.type() == QDBusMessage::ErrorMessage &&
            reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs"));
}
} // namespace runtime
