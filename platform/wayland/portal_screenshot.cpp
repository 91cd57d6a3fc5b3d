#include "platform/wayland/portal_screenshot.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <atomic>
#include <cmath>

namespace quelm::wayland {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Receives the Request's Response signal and ends the wait.
class ResponseWaiter : public QObject {
    Q_OBJECT
public:
    QEventLoop loop;
    bool answered = false;
    uint code = 0;
    QVariantMap results;
    QString error;

public slots:
    void OnResponse(uint response, const QVariantMap& values) {
        answered = true;
        code = response;
        results = values;
        loop.quit();
    }
};

bool SessionBusKnown() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

QString ResponseFailure(uint code) {
    constexpr uint kCancelled = 1;
    return code == kCancelled ? QStringLiteral("the portal's screenshot was cancelled")
                              : QStringLiteral("the portal could not take a screenshot (response %1)").arg(code);
}

// Asks for the screenshot on `bus` and waits for the file's URL; empty with *why set when none came.
QUrl AskPortal(QDBusConnection& bus, std::chrono::milliseconds bound, QString* why) {
    static std::atomic<int> serial{0};
    const QString token = QStringLiteral("quelm_%1_%2").arg(QCoreApplication::applicationPid()).arg(serial++);
    // The Request object's path is known ahead (the sender's name without ':' and with '_'
    // for '.', then the token), so its Response is listened for before the call can answer.
    const QString sender = bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString requestPath = kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    ResponseWaiter waiter;
    const char* slot = SLOT(OnResponse(uint, QVariantMap));
    bus.connect(kPortalService, requestPath, kRequestInterface, QStringLiteral("Response"), &waiter, slot);

    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kScreenshotInterface, QStringLiteral("Screenshot"));
    const QVariantMap options{{QStringLiteral("handle_token"), token}, {QStringLiteral("interactive"), false}};
    call << QString() << options;
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, int(bound.count())));
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &waiter, [&] {
        QDBusPendingReply<QDBusObjectPath> reply = watcher;
        if (reply.isError()) {
            waiter.error = reply.error().message();
            waiter.loop.quit();
        } else if (reply.value().path() != requestPath) {
            // A portal older than handle_token names its own Request object.
            bus.connect(kPortalService, reply.value().path(), kRequestInterface, QStringLiteral("Response"), &waiter,
                        slot);
        }
    });
    QTimer::singleShot(bound, &waiter.loop, &QEventLoop::quit);
    waiter.loop.exec();

    if (!waiter.error.isEmpty()) {
        *why = QStringLiteral("the portal refused the screenshot: ") + waiter.error;
    } else if (!waiter.answered) {
        *why = QStringLiteral("the portal gave no screenshot within %1 ms").arg(bound.count());
    } else if (waiter.code != 0) {
        *why = ResponseFailure(waiter.code);
    } else {
        const QUrl url(waiter.results.value(QStringLiteral("uri")).toString());
        if (url.isLocalFile()) return url;
        *why = QStringLiteral("the portal's screenshot is not a local file: ") + url.toString();
    }
    return {};
}

} // namespace

std::vector<OutputPicture> CutIntoOutputs(const QImage& desktop, const std::vector<OutputPicture>& layout) {
    QRect whole;
    for (const auto& o : layout) whole |= o.area;
    const qreal scaleX = whole.width() > 0 ? qreal(desktop.width()) / whole.width() : 0;
    const qreal scaleY = whole.height() > 0 ? qreal(desktop.height()) / whole.height() : 0;
    // The picture is the union's shape when both axes scale alike (within rounding).
    constexpr qreal kShapeTolerance = 0.01;
    if (layout.empty() || scaleX <= 0 || std::abs(scaleX - scaleY) > kShapeTolerance * scaleX) {
        return {OutputPicture{QString(), QRect(QPoint(0, 0), desktop.size()), 1,
                              desktop.convertToFormat(QImage::Format_RGB32)}};
    }
    std::vector<OutputPicture> cut;
    for (const auto& o : layout) {
        const QPoint from = o.area.topLeft() - whole.topLeft();
        const QRect pixels(QPoint(qRound(from.x() * scaleX), qRound(from.y() * scaleY)),
                           QPoint(qRound((from.x() + o.area.width()) * scaleX) - 1,
                                  qRound((from.y() + o.area.height()) * scaleY) - 1));
        cut.push_back({o.name, o.area, scaleX, desktop.copy(pixels).convertToFormat(QImage::Format_RGB32)});
    }
    return cut;
}

DesktopCapture CaptureThroughPortal(std::chrono::milliseconds bound, const std::vector<OutputPicture>& layout) {
    DesktopCapture result;
    if (!QCoreApplication::instance()) {
        result.failure = QStringLiteral("the portal needs a Qt application for its answer");
        return result;
    }
    if (!SessionBusKnown()) {
        result.failure = QStringLiteral("there is no session bus for the portal");
        return result;
    }
    static std::atomic<int> connections{0};
    const QString name = QStringLiteral("quelm-portal-%1").arg(connections++);
    QString why;
    QUrl url;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        if (bus.isConnected()) {
            url = AskPortal(bus, bound, &why);
        } else {
            why = QStringLiteral("the session bus did not answer: ") + bus.lastError().message();
        }
    }
    QDBusConnection::disconnectFromBus(name);
    if (url.isEmpty()) {
        result.failure = why;
        return result;
    }
    const QImage desktop(url.toLocalFile());
    if (desktop.isNull()) {
        result.failure = QStringLiteral("the portal's screenshot %1 could not be read").arg(url.toLocalFile());
        return result;
    }
    result.outputs = CutIntoOutputs(desktop, layout);
    result.route = QStringLiteral("portal");
    return result;
}

} // namespace quelm::wayland

#include "portal_screenshot.moc"
