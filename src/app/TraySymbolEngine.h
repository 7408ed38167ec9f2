#pragma once

#include <QIconEngine>

// The tray's mark, text lines with word spacing marks, drawn with QPainter
// at whatever size the panel asks for. Dark strokes under light ones keep it
// readable on light and dark panels. Drawn in code rather than kept as an
// SVG file so that the idle program does not load Qt's SVG module (and the
// image format plugins) for this one picture.
class TraySymbolEngine : public QIconEngine {
public:
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    // On a transparent background.
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;
    QString key() const override;
};
