#include "app/TraySymbolEngine.h"

#include <QPainter>
#include <QPixmap>
#include <QPen>

#include <initializer_list>

namespace {
// On a 32 × 32 grid: three lines of two words, and the spacing marks
// between the words (pairs of short upright strokes).
void drawWords(QPainter &painter, qreal width, const QColor &colour)
{
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    for (const qreal y : {8.0, 16.0, 24.0}) {
        painter.drawLine(QPointF(4, y), QPointF(12, y));
        painter.drawLine(QPointF(20, y), QPointF(28, y));
    }
}

void drawMarks(QPainter &painter, qreal width, const QColor &colour, qreal inset)
{
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    for (const qreal top : {5.0, 13.0, 21.0}) {
        for (const qreal x : {15.0, 17.0})
            painter.drawLine(QPointF(x, top + inset), QPointF(x, top + 6 - inset));
    }
}
} // namespace

void TraySymbolEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State)
{
    const qreal side = qMin(rect.width(), rect.height());
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->translate(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0);
    painter->scale(side / 32.0, side / 32.0);
    const QColor dark(0x1c, 0x1c, 0x1e);
    drawWords(*painter, 4.6, dark);
    drawMarks(*painter, 3.4, dark, 0);
    drawWords(*painter, 2.4, Qt::white);
    drawMarks(*painter, 1.3, Qt::white, 0.5);
    painter->restore();
}

QPixmap TraySymbolEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    QPixmap result(size);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    return result;
}

QIconEngine *TraySymbolEngine::clone() const
{
    return new TraySymbolEngine;
}

QString TraySymbolEngine::key() const
{
    return QStringLiteral("TraySymbolEngine");
}
