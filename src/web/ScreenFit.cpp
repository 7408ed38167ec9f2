#include "web/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {

qint64 overlap(const QRect &a, const QRect &b)
{
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

} // namespace

QRect ScreenFit::fit(const QRect &frame)
{
    const QScreen *target = QGuiApplication::primaryScreen();
    qint64 bestOverlap = 0;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const qint64 area = overlap(frame, screen->availableGeometry());
        if (area > bestOverlap) {
            bestOverlap = area;
            target = screen;
        }
    }
    if (!target)
        return frame;
    const QRect available = target->availableGeometry();
    QRect fitted(frame.topLeft(), frame.size().boundedTo(available.size()));
    fitted.moveLeft(std::clamp(fitted.left(), available.left(), available.left() + available.width() - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), available.top(), available.top() + available.height() - fitted.height()));
    return fitted;
}
