#include "web/FrameText.h"

#include <QRegularExpression>

#include <cmath>

QString FrameText::format(const QRect &frame)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(frame.x())
        .arg(frame.y())
        .arg(frame.width())
        .arg(frame.height());
}

std::optional<QRect> FrameText::parse(const QString &text)
{
    static const QString number = QStringLiteral("\\s*(-?\\d+(?:\\.\\d+)?)\\s*");
    static const QRegularExpression pattern(QStringLiteral("^\\s*\\{\\s*\\{%1,%1\\}\\s*,\\s*\\{%1,%1\\}\\s*\\}\\s*$")
                                                .arg(number));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        const double value = std::round(match.captured(i + 1).toDouble());
        if (std::abs(value) > 1e6)
            return std::nullopt;
        values[i] = int(value);
    }
    if (values[2] < 0 || values[3] < 0)
        return std::nullopt;
    return QRect(values[0], values[1], values[2], values[3]);
}

QString FrameText::describe(const QRect &frame)
{
    return QStringLiteral("(%1.0, %2.0, %3.0, %4.0)")
        .arg(frame.x())
        .arg(frame.y())
        .arg(frame.width())
        .arg(frame.height());
}
