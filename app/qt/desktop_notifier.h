// Reminders shown on the desktop: a notification over the session bus
// (org.freedesktop.Notifications), a tray message where no notification
// service answers, and a small window where there is no tray either.
// Titles come from EPG pages anyone may write: every route shows them as
// plain text.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "runtime/values/value.h"

class QSystemTrayIcon;

namespace app::qtui {

class DesktopNotifier : public QObject {
  public:
    DesktopNotifier();  // asks the notification service what it shows
    ~DesktopNotifier() override;
    // "节目提醒 HH:MM channel" over the title (channel and title in GBK).
    // How it went out, for the log.
    QString show(const rt::Text& channel, const QString& time, const rt::Text& title);

  private:
    void askCapabilities();

    std::unique_ptr<QSystemTrayIcon> tray_;
    // Whether the service reads markup in a body. Until it has answered,
    // taken as yes: an "&amp;" on a plain server is better than a live link
    // on a markup one.
    std::optional<bool> bodyMarkup_;
};

}  // namespace app::qtui
