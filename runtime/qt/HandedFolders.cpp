// Handed folders on Linux: the command line's bytes, another start's hand-over through
// the media remote's OpenUri on the session bus, and drops of a text/uri-list.
#include "runtime/HandedFolders.h"

#include "HandedFolders.h"
#include "Native.h"

#include "platform/Paths.h"
#include "platform/QtBridge.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>
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

std::string ProgramName() {
    const std::vector<std::string>& arguments = Arguments();
    return std::filesystem::path(arguments.empty() ? "" : arguments[0]).filename().string();
}

// The one local folder a drop of a text/uri-list carries; nothing for files, several
// items or another machine's.
std::optional<std::string> DroppedFolder(const QMimeData* data) {
    if (!data || !data->hasFormat(QStringLiteral("text/uri-list"))) return {};
    // A file manager may send a name's UTF-8 bytes unescaped: escaped here, they are the
    // same bytes as their percent-escaped form.
    QStringList uris;
    for (const QByteArray& line : data->data(QStringLiteral("text/uri-list")).split('\n')) {
        const QByteArray uri = line.trimmed();
        if (uri.isEmpty() || uri.startsWith('#')) continue;
        QByteArray escaped;
        for (const char c : uri) {
            if (static_cast<unsigned char>(c) < 0x80)
                escaped += c;
            else
                escaped += '%' + QByteArray::number(static_cast<unsigned char>(c), 16);
        }
        uris << QString::fromLatin1(escaped);
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
    std::vector<std::string> arguments = Arguments();
    if (arguments.size() > 1 && arguments[1] == "--") arguments.erase(arguments.begin() + 1);
    if (arguments.size() < 2 || arguments[1].empty()) return u"";
    const std::string& argument = arguments[1];
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(argument, error);
    // LINK/.. is the parent of the link's target, as the system goes there.
    const bool up = std::find(absolute.begin(), absolute.end(), "..") != absolute.end();
    std::string native =
        (up ? std::filesystem::weakly_canonical(absolute, error) : absolute.lexically_normal())
            .string();
    if (error) native = argument;
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    if (!IsFolder(native))
        std::fprintf(stderr, "%s: %s no es una carpeta\n", ProgramName().c_str(), argument.c_str());
    return platform::FromNativePath(native);
}

namespace {
bool OneOf(const QDBusMessage& reply, std::initializer_list<const char*> errors) {
    if (reply.type() != QDBusMessage::ErrorMessage) return false;
    for (const char* error : errors)
        if (reply.errorName() == QLatin1String(error)) return true;
    return false;
}

// The answer of the program that holds the name; a program that has taken its name but
// not yet made its remote is asked again until the deadline. No answer in time: an
// empty message.
QDBusMessage AskOwner(QDBusConnection& bus, QDBusMessage call, const QDeadlineTimer& deadline) {
    call.setAutoStartService(false);
    for (;;) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0) return {};
        const QDBusMessage reply = bus.call(call, QDBus::Block, int(std::min<qint64>(left, 10000)));
        if (!OneOf(reply, {"org.freedesktop.DBus.Error.UnknownObject",
                           "org.freedesktop.DBus.Error.UnknownInterface",
                           "org.freedesktop.DBus.Error.UnknownMethod"}))
            return reply;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// No answer (yet), or a program that went or is ending: its name may be free soon.
bool Passing(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::InvalidMessage ||
           OneOf(reply,
                 {"org.freedesktop.DBus.Error.ServiceUnknown",
                  "org.freedesktop.DBus.Error.NameHasNoOwner", "org.freedesktop.DBus.Error.NoReply",
                  "org.freedesktop.DBus.Error.Timeout", "org.freedesktop.DBus.Error.Failed"});
}

// The launcher's leave to take the focus (Wayland's XDG activation token), handed on
// with the folder, so the player may come to the front. It goes first: the player puts
// it in its environment, which is safest before the folder's song starts the threads
// that read it. An older player does not know the call, and the compositor may still
// refuse: either way nothing else changes.
void HandActivation(QDBusConnection& bus, const QString& service, const QString& path) {
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    if (token.isEmpty()) return;
    QDBusMessage activate = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.Application"), QStringLiteral("Activate"));
    activate << QVariantMap{{QStringLiteral("activation-token"), QString::fromUtf8(token)}};
    bus.call(activate, QDBus::Block, 2000);
}
} // namespace

bool HandToRunningProgram(const String& Name, const String& Folder) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    const QString service = QStringLiteral("org.mpris.MediaPlayer2.") + detail::ToQString(Name);
    const QString path = QStringLiteral("/org/mpris/MediaPlayer2");
    const QByteArray native = QByteArray::fromStdString(platform::ToNativePath(Folder));
    QDBusMessage supported = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    supported << QStringLiteral("org.mpris.MediaPlayer2") << QStringLiteral("SupportedMimeTypes");
    QDBusMessage open = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("OpenUri"));
    open << QString::fromLatin1("file://" + native.toPercentEncoding("/"));

    // However many start at once, one takes the name (a request that does not queue)
    // and is the player; the others hand it their folders. A player that is busy
    // answers once its event loop runs again; one that hangs does not.
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> taken =
            bus.interface()->registerService(service, QDBusConnectionInterface::DontQueueService,
                                             QDBusConnectionInterface::DontAllowReplacement);
        if (!taken.isValid()) return false;
        if (taken.value() == QDBusConnectionInterface::ServiceRegistered) return false;
        // An older player may answer OpenUri and ignore a folder: it must say it takes them.
        const QDBusMessage types = AskOwner(bus, supported, deadline);
        if (types.type() == QDBusMessage::ReplyMessage) {
            const QStringList mimeTypes =
                types.arguments().value(0).value<QDBusVariant>().variant().toStringList();
            if (!mimeTypes.contains(QLatin1String("inode/directory"))) return false;
            HandActivation(bus, service, path);
            const QDBusMessage reply = AskOwner(bus, open, deadline);
            // Taken, or refused as no folder of this machine: this start has nothing to do.
            if (reply.type() == QDBusMessage::ReplyMessage ||
                OneOf(reply, {"org.freedesktop.DBus.Error.InvalidArgs"}))
                return true;
            if (!Passing(reply)) break;
        } else if (!Passing(types)) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::fprintf(
        stderr,
        "%s: el reproductor abierto no ha contestado a tiempo; la carpeta se abre en otro\n",
        ProgramName().c_str());
    return false;
}
} // namespace runtime
