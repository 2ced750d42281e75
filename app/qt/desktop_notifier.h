// Reminders shown on the desktop: a notification over the session bus
// (org.freedesktop.Notifications), a tray message where no notification
// service answers, and a small window where there is no tray either.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QSystemTrayIcon;

namespace app::qtui {

class DesktopNotifier : public QObject {
  public:
    DesktopNotifier();
    ~DesktopNotifier() override;
    // "节目提醒 HH:MM channel" over the title. How it went out, for the log.
    QString show(const QString& channel, const QString& time, const QString& title);

  private:
    std::unique_ptr<QSystemTrayIcon> tray_;
};

}  // namespace app::qtui
