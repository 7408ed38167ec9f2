#include "web/PersistentWebProfile.h"

#include <QStandardPaths>
#include <QWebEngineProfile>

QWebEngineProfile *PersistentWebProfile::create()
{
    auto *profile = new QWebEngineProfile(QStringLiteral("web"));
    const QString dataDirectory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    profile->setPersistentStoragePath(dataDirectory + QStringLiteral("/web"));
    profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    return profile;
}
