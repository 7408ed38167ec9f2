#include "web/LinkPolicy.h"

#include <QStringList>
#include <QUrl>

LinkPolicy::Action LinkPolicy::decide(const QUrl &url, bool clickedLink)
{
    static const QStringList pageSchemes = {
        QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("file"),
        QStringLiteral("data"), QStringLiteral("blob"),  QStringLiteral("about"),
    };
    static const QStringList desktopSchemes = {
        QStringLiteral("mailto"),
        QStringLiteral("tel"),
        QStringLiteral("sms"),
        QStringLiteral("callto"),
    };
    const QString scheme = url.scheme(); // QUrl keeps schemes in lower case
    if (pageSchemes.contains(scheme))
        return Action::Load;
    if (clickedLink && desktopSchemes.contains(scheme))
        return Action::OpenOnDesktop;
    return Action::Refuse;
}
