#include "app/qt/guide_settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace app {

// The path is built here rather than left to QSettings' user scope, which
// reads the configuration directory once per process.
std::string settingsFilePath() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return (config + QStringLiteral("/tvguide/tvguide.conf")).toStdString();
}

std::optional<std::string> settingsEpgRoot() {
    const QSettings file(QString::fromStdString(settingsFilePath()), QSettings::IniFormat);
    if (file.status() != QSettings::NoError) return std::nullopt;
    const QVariant value = file.value(QStringLiteral("epg_root"));
    if (!value.isValid()) return std::nullopt;
    // An unquoted value with a comma reads as a list: the URL had a comma.
    const QString root = value.toStringList().join(QLatin1Char(',')).trimmed();
    if (root.isEmpty()) return std::nullopt;
    return root.toStdString();
}

}  // namespace app
