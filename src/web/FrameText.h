#pragma once

#include <QRect>
#include <QString>

#include <optional>

// Text forms of a window frame: the stored form {{x, y}, {width, height}}
// and the form used in log lines, (x.0, y.0, width.0, height.0).
class FrameText {
public:
    static QString format(const QRect &frame);
    // Empty when the text is not a frame; fractional values are rounded.
    static std::optional<QRect> parse(const QString &text);
    static QString describe(const QRect &frame);
};
