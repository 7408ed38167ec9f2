#include "hotkeys/ButtonPreferences.h"

#include "model/Log.h"

#include <QStandardPaths>

namespace {
const QString launchKey = QStringLiteral("launch");
const QString alwaysNewCopy = QStringLiteral("always-new-copy");

QString group(QUuid id)
{
    return id.toString(QUuid::WithoutBraces);
}
} // namespace

ButtonPreferences::ButtonPreferences(const QString &configDirectory)
{
    const QString folder = configDirectory.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        : configDirectory;
    m_settings = std::make_unique<QSettings>(folder + QStringLiteral("/Vantorel/buttons.ini"), QSettings::IniFormat);
}

ButtonPreferences::LaunchMode ButtonPreferences::launchMode(QUuid id) const
{
    return m_settings->value(group(id) + QLatin1Char('/') + launchKey).toString() == alwaysNewCopy
        ? LaunchMode::alwaysNewCopy
        : LaunchMode::bringToFront;
}

void ButtonPreferences::setLaunchMode(QUuid id, LaunchMode mode)
{
    if (mode == launchMode(id))
        return;
    if (mode == LaunchMode::alwaysNewCopy)
        m_settings->setValue(group(id) + QLatin1Char('/') + launchKey, alwaysNewCopy);
    else
        m_settings->remove(group(id));
    save();
}

void ButtonPreferences::keepOnly(const QList<QUuid> &ids)
{
    bool removed = false;
    const QStringList groups = m_settings->childGroups();
    for (const QString &name : groups) {
        if (!ids.contains(QUuid::fromString(name))) {
            m_settings->remove(name);
            removed = true;
        }
    }
    if (removed)
        save();
}

void ButtonPreferences::save()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        Log::line(QStringLiteral("❌ Error saving button settings to ") + m_settings->fileName());
}
