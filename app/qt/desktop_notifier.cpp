#include "app/qt/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMessageBox>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QVariantMap>

#include "app/schedule/reminder_text.h"

namespace app::qtui {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

bool serviceAnswers(QDBusConnection& bus) {
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kService);
}

QString plain(const rt::Text& gbk, bool markup = false) {
    return QString::fromStdString(schedule::notificationText(gbk, markup));
}

}  // namespace

DesktopNotifier::DesktopNotifier() {
    askCapabilities();
}

DesktopNotifier::~DesktopNotifier() = default;

// Not waited for: a slow notification daemon must not hold the window. The
// answer counts from the next notification on.
void DesktopNotifier::askCapabilities() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!serviceAnswers(bus)) return;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, "GetCapabilities");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                const QDBusPendingReply<QStringList> reply = *finished;
                if (!reply.isError())
                    bodyMarkup_ = reply.value().contains(QStringLiteral("body-markup"));
                finished->deleteLater();
            });
}

QString DesktopNotifier::show(const rt::Text& channel, const QString& time, const rt::Text& title) {
    // The summary is plain text to every server; only a body may be markup.
    const QString summary = QStringLiteral("节目提醒 %1 %2").arg(time, plain(channel));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (serviceAnswers(bus)) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
        call << QStringLiteral("tvguide") << 0u << QStringLiteral("tvguide") << summary
             << plain(title, bodyMarkup_.value_or(true)) << QStringList() << QVariantMap() << -1;
        if (bus.send(call)) {
            askCapabilities();  // the service may have been replaced since
            return QStringLiteral("notification");
        }
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!tray_) {
            tray_ = std::make_unique<QSystemTrayIcon>();
            tray_->show();
        }
        tray_->showMessage(summary, plain(title));
        return QStringLiteral("tray");
    }
    auto* box = new QMessageBox(QMessageBox::Information, summary, summary + "\n" + plain(title));
    box->setTextFormat(Qt::PlainText);  // a QLabel would guess rich text from a "<"
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return QStringLiteral("window");
}

}  // namespace app::qtui
