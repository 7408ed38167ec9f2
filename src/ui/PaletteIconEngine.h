#pragma once

#include <QIcon>
#include <QIconEngine>
#include <QPalette>

// A one-colour symbol drawn in the application palette's text colour,
// looked up each time it is drawn: it stays readable on light, dark and
// high-contrast palettes and follows a palette change by itself. Every
// opaque pixel of the source takes the colour, so the source's own colours
// do not matter.
class PaletteIconEngine : public QIconEngine {
public:
    explicit PaletteIconEngine(QIcon source);

    // The colour a symbol takes in this mode under the application's palette.
    static QColor colourFor(QIcon::Mode mode);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;
    QString key() const override;
    bool isNull() override;

private:
    QIcon m_source;
};
