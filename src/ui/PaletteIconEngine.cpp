#include "ui/PaletteIconEngine.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPixmap>

PaletteIconEngine::PaletteIconEngine(QIcon source) : m_source(std::move(source)) {}

QColor PaletteIconEngine::colourFor(QIcon::Mode mode)
{
    const QPalette palette = QGuiApplication::palette();
    switch (mode) {
    case QIcon::Disabled:
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    case QIcon::Selected:
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case QIcon::Normal:
    case QIcon::Active:
        break;
    }
    return palette.color(QPalette::Active, QPalette::WindowText);
}

QPixmap PaletteIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    // Exactly the pixels asked for: Qt asks in device pixels and sets the
    // ratio itself.
    QPixmap symbol = m_source.pixmap(size, 1.0, QIcon::Normal, state);
    if (symbol.isNull())
        return symbol;
    symbol.setDevicePixelRatio(1.0);
    QPainter painter(&symbol);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(symbol.rect(), colourFor(mode));
    return symbol;
}

void PaletteIconEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state)
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap symbol = pixmap(rect.size() * ratio, mode, state);
    symbol.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, symbol);
}

QSize PaletteIconEngine::actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    return m_source.actualSize(size, mode, state);
}

QIconEngine *PaletteIconEngine::clone() const
{
    return new PaletteIconEngine(m_source);
}

QString PaletteIconEngine::key() const
{
    return QStringLiteral("PaletteIconEngine");
}

bool PaletteIconEngine::isNull()
{
    return m_source.isNull();
}
