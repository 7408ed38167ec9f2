#include "platform/portal/PortalTrigger.h"

#include "platform/XkbKeyTable.h"

#include <QRegularExpression>
#include <QStringList>

QString PortalTrigger::fromCombination(QKeyCombination combination)
{
    return XkbKeyTable::chord(combination, {"LOGO", "CTRL", "ALT", "SHIFT"});
}

QString PortalTrigger::describe(const QString &triggerDescription)
{
    static const QRegularExpression accelerator(QStringLiteral("((?:<[A-Za-z0-9_]+>)+)([^<>\\s]+)"));
    static const QRegularExpression modifier(QStringLiteral("<([A-Za-z0-9_]+)>"));
    QStringList triggers;
    for (const QRegularExpressionMatch &match : accelerator.globalMatch(triggerDescription)) {
        QStringList parts;
        for (const QRegularExpressionMatch &held : modifier.globalMatch(match.captured(1))) {
            const QString name = held.captured(1);
            if (name.compare(QLatin1String("Primary"), Qt::CaseInsensitive) == 0
                || name.compare(QLatin1String("Control"), Qt::CaseInsensitive) == 0)
                parts << QStringLiteral("Ctrl");
            else
                parts << name.left(1).toUpper() + name.mid(1);
        }
        const QString key = match.captured(2);
        parts << (key.size() == 1 ? key.toUpper() : key.left(1).toUpper() + key.mid(1));
        triggers << parts.join(QLatin1Char('+'));
    }
    return triggers.isEmpty() ? triggerDescription.trimmed() : triggers.join(QStringLiteral(", "));
}
