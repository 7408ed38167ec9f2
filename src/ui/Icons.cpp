#include "Icons.h"

QIcon Icons::bundled(const QString &bundledName)
{
    return QIcon(QStringLiteral(":/icons/") + bundledName + QStringLiteral(".svg"));
}

QIcon Icons::themed(const QString &themeName, const QString &bundledName)
{
    return QIcon::fromTheme(themeName, bundled(bundledName));
}
