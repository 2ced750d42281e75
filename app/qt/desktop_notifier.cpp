#include "app/qt/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace app::qtui {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";

}  // namespace

DesktopNotifier::DesktopNotifier() = default;
DesktopNotifier::~DesktopNotifier() = default;

QString DesktopNotifier::show(const QString& channel, const QString& time, const QString& title) {
    const QString summary = QStringLiteral("节目提醒 %1 %2").arg(time, channel);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kService)) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kService, "/org/freedesktop/Notifications", kService, "Notify");
        call << QStringLiteral("tvguide") << 0u << QStringLiteral("tvguide") << summary << title
             << QStringList() << QVariantMap() << -1;
        // Not waited for: a slow notification daemon must not hold the window.
        if (bus.send(call)) return QStringLiteral("notification");
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!tray_) {
            tray_ = std::make_unique<QSystemTrayIcon>();
            tray_->show();
        }
        tray_->showMessage(summary, title);
        return QStringLiteral("tray");
    }
    auto* box = new QMessageBox(QMessageBox::Information, summary, summary + "\n" + title);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return QStringLiteral("window");
}

}  // namespace app::qtui
