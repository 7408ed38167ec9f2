#include "platform/gnome/GnomeShortcutConsent.h"

#include "model/Log.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
const QString consentKey = QStringLiteral("gnome-custom-shortcuts/consent");
}

GnomeShortcutConsent::GnomeShortcutConsent(const QString &configDirectory)
{
    const QString folder = configDirectory.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        : configDirectory;
    m_file = folder + QStringLiteral("/Vantorel/desktop.ini");
}

QString GnomeShortcutConsent::folder() const
{
    return QFileInfo(m_file).path();
}

bool GnomeShortcutConsent::isGiven() const
{
    QSettings settings(m_file, QSettings::IniFormat);
    settings.sync(); // another process may have written since this one last read
    return settings.value(consentKey, false).toBool();
}

bool GnomeShortcutConsent::set(bool given)
{
    QSettings settings(m_file, QSettings::IniFormat);
    settings.setValue(consentKey, given);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        Log::line(QStringLiteral("❌ Error saving the desktop settings to ") + m_file);
        return false;
    }
    return true;
}
