#include "Portal.h"

#include "platform/QtBridge.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace platform::detail {
namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const char* const kResponseSlot = SLOT(Received(uint, QVariantMap));
// The call only makes the request; the chooser then waits for the user as long as it
// likes. A portal that has not made it by then is taken for none.
constexpr int kCallTimeoutMs = 5000;
// A request made too late is closed again, tried every quarter second for five seconds.
constexpr int kLateCloseTries = 20;
constexpr int kLateCloseRetryMs = 250;

// Receives the request's Response (QtDBus hands signals to slots only).
class Response : public QObject {
    Q_OBJECT
public:
    explicit Response(QEventLoop& loop) : loop_(loop) {}
    std::optional<uint> code;
    QVariantMap results;

public Q_SLOTS:
    void Received(uint response, const QVariantMap& values) {
        code = response;
        results = values;
        loop_.quit();
    }

private:
    QEventLoop& loop_;
};

// Blocks the program's windows as a modal dialog does (clicks, keys, the close box; the
// media remotes wait for the modal widget to go) without drawing anything: the chooser
// on the screen is the portal's.
class ModalStandIn {
public:
    ModalStandIn() : widget_(nullptr, Qt::Dialog) {
        widget_.setAttribute(Qt::WA_DontShowOnScreen);
        widget_.setWindowModality(Qt::ApplicationModal);
        widget_.show();
    }
    ~ModalStandIn() { widget_.hide(); }

private:
    QWidget widget_;
};

// The portal hands a Close on to its backend and fails it while the backend is still
// making the chooser; the request stays, so the Close is tried again.
void CloseLateRequest(const QDBusConnection& bus, const QString& path, int tries) {
    QDBusMessage close =
        QDBusMessage::createMethodCall(kService, path, kRequest, QStringLiteral("Close"));
    close.setAutoStartService(false);
    auto* closing = new QDBusPendingCallWatcher(bus.asyncCall(close), QCoreApplication::instance());
    QObject::connect(closing, &QDBusPendingCallWatcher::finished, closing, [=] {
        closing->deleteLater();
        if (closing->isError() && tries > 1)
            QTimer::singleShot(kLateCloseRetryMs, QCoreApplication::instance(),
                               [=] { CloseLateRequest(bus, path, tries - 1); });
    });
}

// The portal's name for our window, so that its chooser stays above it (X only).
QString ParentWindow(QWidget* owner) {
    if (!owner || QGuiApplication::platformName() != QLatin1String("xcb")) return {};
    return QStringLiteral("x11:") + QString::number(owner->window()->winId(), 16);
}

// The request's path as the portal makes it from our name and the token, known before
// the call so that the Response cannot come before we listen.
QString RequestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

// The portal's answer: the first URI it gives.
std::optional<std::string> LocalPath(const QVariantMap& results) {
    const QStringList uris = results.value(QStringLiteral("uris")).toStringList();
    if (uris.isEmpty()) return {};
    return LocalPathOfUri(uris.first());
}
} // namespace

PortalChoice ChooseFolderWithPortal(QWidget* owner, const QString& title) {
    // A chooser belongs beside a window on a display; offscreen there is none.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb") && !platform.startsWith(QLatin1String("wayland")))
        return {};
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return {};

    static int requests = 0;
    const QString token = QStringLiteral("zampolo%1").arg(++requests);
    QString path = RequestPath(bus, token);
    QEventLoop loop;
    Response response(loop);
    bus.connect(kService, path, kRequest, QStringLiteral("Response"), &response, kResponseSlot);
    // A portal that leaves the bus, or a bus that goes, never answers.
    QDBusServiceWatcher watcher(kService, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &loop, &QEventLoop::quit);
    QTimer busCheck;
    QObject::connect(&busCheck, &QTimer::timeout, &loop, [&] {
        if (!bus.isConnected()) loop.quit();
    });
    busCheck.start(1000);

    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.FileChooser"), QStringLiteral("OpenFile"));
    QByteArray home = QFile::encodeName(QDir::homePath());
    home.append('\0'); // a file name as the portal takes it: bytes ending in NUL
    call << ParentWindow(owner) << title
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("modal"), true},
                        {QStringLiteral("directory"), true},
                        {QStringLiteral("current_folder"), home}};
    ModalStandIn modal;
    // A portal that has not made the request in time is taken for none; its reply may
    // still come (then its chooser would open beside ours), so the call outlives us.
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QTimer callTimeout;
    callTimeout.setSingleShot(true);
    QObject::connect(&callTimeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    callTimeout.start(kCallTimeoutMs);
    bool replied = false;
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, &loop, [&] {
        replied = true;
        callTimeout.stop();
        const QDBusPendingReply<QDBusObjectPath> reply = *pending;
        if (reply.isError()) {
            loop.quit();
        } else if (reply.value().path() != path) { // portals before 0.9 chose the path
            bus.disconnect(kService, path, kRequest, QStringLiteral("Response"), &response,
                           kResponseSlot);
            path = reply.value().path();
            bus.connect(kService, path, kRequest, QStringLiteral("Response"), &response,
                        kResponseSlot);
        }
    });
    loop.exec(QEventLoop::DialogExec);
    bus.disconnect(kService, path, kRequest, QStringLiteral("Response"), &response, kResponseSlot);

    if (replied) {
        pending->deleteLater();
    } else {
        QObject::connect(pending, &QDBusPendingCallWatcher::finished, pending, [pending, bus] {
            const QDBusPendingReply<QDBusObjectPath> reply = *pending;
            pending->deleteLater();
            if (reply.isValid()) CloseLateRequest(bus, reply.value().path(), kLateCloseTries);
        });
    }
    if (response.code)
        return {true, *response.code == 0 ? LocalPath(response.results) : std::nullopt};
    return {};
}
} // namespace platform::detail

std::optional<std::string> platform::LocalPathOfUri(const QString& uri) {
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile() ||
        !(url.host().isEmpty() || url.host() == QLatin1String("localhost")))
        return {};
    std::string path =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos) return {};
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

#include "Portal.moc"
