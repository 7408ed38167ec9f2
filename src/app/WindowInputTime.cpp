#include "app/WindowInputTime.h"

#include <QGuiApplication>
#include <QScreen>
#include <qpa/qplatformnativeinterface.h>

quint32 WindowInputTime::latest()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return 0;
    QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!native || !screen)
        return 0;
    // The xcb plugin hands the time over as the pointer's value.
    return quint32(reinterpret_cast<quintptr>(native->nativeResourceForScreen("appusertime", screen)));
}
