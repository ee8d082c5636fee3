// MPRIS 2 over QtDBus: one object, /org/mpris/MediaPlayer2, with the root and the
// player interfaces, answered message by message (a virtual object needs no moc).
#include "runtime/MediaRemote.h"
#include "runtime/Errors.h"

#include "HandedFolders.h"
#include "Native.h"

#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/QtBridge.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <unistd.h>

namespace runtime {
namespace {
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kApplication = QStringLiteral("org.freedesktop.Application");

const char* const kInterfaces = R"(
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition">
      <arg name="TrackId" type="o" direction="in"/>
      <arg name="Position" type="x" direction="in"/>
    </method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="LoopStatus" type="s" access="readwrite"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="Shuffle" type="b" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
  <interface name="org.freedesktop.Application">
    <method name="Activate"><arg name="platform_data" type="a{sv}" direction="in"/></method>
  </interface>
)";

class Mpris : public QDBusVirtualObject {
public:
    Mpris(MediaRemote remote, QObject* parent)
        : QDBusVirtualObject(parent), remote_(std::move(remote)) {}

    QString introspect(const QString&) const override { return QString::fromUtf8(kInterfaces); }

    // QtDBus hands the calls to the object's thread, the window thread, through the
    // event loop.
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString interface = message.interface();
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        if (interface == kProperties) {
            const QString of = args.value(0).toString();
            const QVariantMap all = of == kRoot     ? RootProperties()
                                    : of == kPlayer ? PlayerProperties()
                                                    : QVariantMap();
            const QString name = args.value(1).toString();
            if (member == QLatin1String("GetAll")) {
                connection.send(message.createReply(all));
            } else if (member == QLatin1String("Get") && all.contains(name)) {
                connection.send(
                    message.createReply(QVariant::fromValue(QDBusVariant(all.value(name)))));
            } else if (member == QLatin1String("Set") && of == kPlayer &&
                       QStringList{"LoopStatus", "Rate", "Shuffle", "Volume"}.contains(name)) {
                connection.send(message.createReply()); // accepted, and nothing changes
            } else if (member == QLatin1String("Set") && all.contains(name)) {
                connection.send(message.createErrorReply(
                    QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"), name));
            } else {
                connection.send(message.createErrorReply(
                    QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"), name));
            }
            return true;
        }
        if (interface == kApplication && member == QLatin1String("Activate")) {
            connection.send(message.createReply());
            // A later start's leave to take the focus, which Qt's Wayland platform uses
            // (and clears) at the next activation; X ignores it.
            const QString token = qdbus_cast<QVariantMap>(args.value(0))
                                      .value(QStringLiteral("activation-token"))
                                      .toString();
            if (!token.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
            Raise();
            return true;
        }
        if (interface != kRoot && interface != kPlayer) return false; // Introspect, Peer
        static const QStringList commands{"Play", "PlayPause", "Stop", "Next", "Previous", "Quit"};
        if (member == QLatin1String("OpenUri") && interface == kPlayer) {
            OpenUri(message, connection);
            return true;
        }
        static const QStringList ignored{"Pause", "Seek", "SetPosition"};
        const qsizetype command = commands.indexOf(member);
        if (command < 0 && member != QLatin1String("Raise") && !ignored.contains(member))
            return false;
        connection.send(message.createReply());
        if (member == QLatin1String("Raise")) {
            Raise();
        } else if (command >= 0 && remote_.Received && !QApplication::activeModalWidget()) {
            // A modal box takes every click of its program; so it takes these.
            RunEvent([&] { remote_.Received(static_cast<MediaCommand>(command)); });
        }
        return true;
    }

    void Announce(const MediaStatus& s) {
        QVariantMap changed;
        if (s.Playing != status_.Playing) changed["PlaybackStatus"] = PlaybackStatus(s);
        if (s.CanPlay != status_.CanPlay) changed["CanPlay"] = s.CanPlay;
        if (s.CanGoNext != status_.CanGoNext) changed["CanGoNext"] = s.CanGoNext;
        if (s.CanGoPrevious != status_.CanGoPrevious) changed["CanGoPrevious"] = s.CanGoPrevious;
        const bool song = s.Track != status_.Track || s.Title != status_.Title ||
                          s.Path != status_.Path || s.LengthMs != status_.LengthMs;
        status_ = s;
        if (song) changed["Metadata"] = Metadata();
        if (changed.isEmpty()) return;
        QDBusMessage signal =
            QDBusMessage::createSignal(kPath, kProperties, QStringLiteral("PropertiesChanged"));
        signal << kPlayer << changed << QStringList();
        QDBusConnection::sessionBus().send(signal); // a bus that went away takes nothing
    }

private:
    // A folder of this machine goes to the program as if handed by another start;
    // anything else is refused and changes nothing. A program whose window has gone
    // (it is ending) takes no folder: the caller may go on alone.
    static void OpenUri(const QDBusMessage& message, const QDBusConnection& connection) {
        const QString uri = message.arguments().value(0).toString();
        const std::optional<std::string> folder = detail::OpenedFolder(uri);
        if (folder && detail::HandFolder(platform::FromNativePath(*folder))) {
            connection.send(message.createReply());
        } else if (folder) {
            connection.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.Failed"),
                                         QStringLiteral("El reproductor se está cerrando")));
        } else {
            connection.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                QStringLiteral("No es una carpeta de este equipo: ") + uri));
        }
    }

    static QString PlaybackStatus(const MediaStatus& s) {
        return s.Playing ? QStringLiteral("Playing") : QStringLiteral("Stopped");
    }

    QVariantMap RootProperties() const {
        return {{"CanQuit", true},
                {"CanRaise", true},
                {"HasTrackList", false},
                {"Identity", detail::ToQString(remote_.Identity)},
                {"DesktopEntry", detail::ToQString(remote_.Name)},
                {"SupportedUriSchemes", QStringList{"file"}},
                {"SupportedMimeTypes", QStringList{"inode/directory"}}};
    }

    QVariantMap PlayerProperties() const {
        const Double position = remote_.PositionMs ? remote_.PositionMs() : 0;
        return {{"PlaybackStatus", PlaybackStatus(status_)},
                {"LoopStatus", QStringLiteral("Playlist")},
                {"Rate", 1.0},
                {"Shuffle", true},
                {"Metadata", Metadata()},
                {"Volume", 1.0},
                {"Position", Microseconds(position)},
                {"MinimumRate", 1.0},
                {"MaximumRate", 1.0},
                {"CanGoNext", status_.CanGoNext},
                {"CanGoPrevious", status_.CanGoPrevious},
                {"CanPlay", status_.CanPlay},
                {"CanPause", false},
                {"CanSeek", false},
                {"CanControl", true}};
    }

    static qlonglong Microseconds(Double ms) {
        return ms > 0 && ms < 1e15 ? static_cast<qlonglong>(ms * 1000) : 0;
    }

    QVariantMap Metadata() const {
        if (status_.Track == 0) {
            return {{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(
                                          "/org/mpris/MediaPlayer2/TrackList/NoTrack"))}};
        }
        // Track ids outside /org/mpris, which MPRIS keeps for itself.
        const QString track = QStringLiteral("/%1/track/%2")
                                  .arg(detail::ToQString(remote_.Name))
                                  .arg(static_cast<qlonglong>(status_.Track));
        const QString native = QFile::decodeName(platform::ToNativePath(status_.Path).c_str());
        QVariantMap m{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(track))},
                      {"xesam:title", detail::ToQString(status_.Title)},
                      {"xesam:url", QUrl::fromLocalFile(native).toString(QUrl::FullyEncoded)}};
        if (status_.LengthMs > 0) m["mpris:length"] = Microseconds(status_.LengthMs);
        return m;
    }

    void Raise() {
        QWidget* w = platform::WidgetOf(remote_.Window);
        if (!w) return;
        if (w->isMinimized()) ShowWindow(remote_.Window, SW_RESTORE);
        w->raise();
        w->activateWindow();
    }

    MediaRemote remote_;
    MediaStatus status_; // as last announced
};

QPointer<Mpris> service;
} // namespace

bool OfferMediaRemote(MediaRemote remote) {
    if (service || !QCoreApplication::instance()) return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    const QString name = kRoot + '.' + detail::ToQString(remote.Name);
    auto* mpris = new Mpris(std::move(remote), QCoreApplication::instance());
    if (!bus.registerVirtualObject(kPath, mpris)) {
        delete mpris;
        return false;
    }
    // The object is there before its name, so a remote that sees the name can call; a
    // start that took the name already to be the one player keeps it (another start
    // that calls before the object is there asks again).
    if (!bus.registerService(name) &&
        !bus.registerService(name + QStringLiteral(".instance") + QString::number(getpid()))) {
        bus.unregisterObject(kPath);
        delete mpris;
        return false;
    }
    service = mpris;
    return true;
}

void AnnounceMedia(const MediaStatus& status) {
    if (service) service->Announce(status);
}
} // namespace runtime
