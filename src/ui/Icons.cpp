#include "ui/Icons.h"

#include "ui/PaletteIconEngine.h"

QIcon Icons::bundled(const QString &bundledName)
{
    return QIcon(QStringLiteral(":/icons/") + bundledName + QStringLiteral(".svg"));
}

QIcon Icons::themed(const QString &themeName, const QString &bundledName)
{
    return QIcon::fromTheme(themeName, bundled(bundledName));
}

QIcon Icons::symbolic(const QString &themeName, const QString &bundledName)
{
    return QIcon(new PaletteIconEngine(themeName.isEmpty() ? bundled(bundledName) : themed(themeName, bundledName)));
}
