#pragma once

#include <QProxyStyle>

// The look of a launch button: white text on a blue rounded rectangle with a
// faint shadow below, dimmed while held down. Set it on single buttons with
// QWidget::setStyle(); it draws push buttons only and leaves the rest to the
// application's style.
class NativeButtonStyle : public QProxyStyle {
    Q_OBJECT

public:
    static constexpr int horizontalPadding = 8;
    static constexpr int verticalPadding = 4;
    static constexpr qreal cornerRadius = 6;
    static constexpr qreal pressedOpacity = 0.8;
    static QColor background();

    NativeButtonStyle();

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &contentsSize,
                           const QWidget *widget) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override;
};
