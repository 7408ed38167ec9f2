#include "ui/NativeButtonStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

namespace {
// Room below the blue shape for its shadow.
constexpr int shadowSpace = 2;
} // namespace

QColor NativeButtonStyle::background()
{
    return QColor(0x1c, 0x71, 0xd8);
}

NativeButtonStyle::NativeButtonStyle() : QProxyStyle() {}

QSize NativeButtonStyle::sizeFromContents(ContentsType type, const QStyleOption *option,
                                          const QSize &contentsSize, const QWidget *widget) const
{
    if (type != CT_PushButton)
        return QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
    // contentsSize is the label's size; the blue area adds the padding.
    return contentsSize + QSize(2 * horizontalPadding, 2 * verticalPadding + shadowSpace);
}

void NativeButtonStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                    const QWidget *widget) const
{
    const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
    if (element != CE_PushButton || !button) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setOpacity(button->state & State_Sunken ? pressedOpacity : 1.0);

    const QRectF shape = QRectF(button->rect).adjusted(0.5, 0, -0.5, -shadowSpace);
    QPainterPath path;
    path.addRoundedRect(shape, cornerRadius, cornerRadius);

    // A soft shadow one point down: two faint layers stand in for a blur.
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(0, 0, 0, 14));
    painter->drawPath(path.translated(0, 1.5));
    painter->setBrush(QColor(0, 0, 0, 20));
    painter->drawPath(path.translated(0, 1));

    painter->setBrush(background());
    painter->drawPath(path);

    painter->setClipPath(path);
    painter->setPen(Qt::white);
    painter->setFont(widget ? widget->font() : painter->font());
    const QRect textArea = shape.toRect().adjusted(horizontalPadding, verticalPadding, -horizontalPadding,
                                                   -verticalPadding);
    const QString text = painter->fontMetrics().elidedText(button->text, Qt::ElideRight, textArea.width());
    painter->drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter->restore();
}
