#include "ui/LaunchButtonDelegate.h"

#include "ui/HotkeyStateBadge.h"
#include "ui/Icons.h"
#include "ui/NativeButtonStyle.h"
#include "ui/ShortcutsEditorModel.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionToolButton>
#include <QWidget>

namespace {
constexpr int sideMargin = 16;
constexpr int rowPadding = 4;   // above and below a row's content
constexpr int innerSpacing = 4; // between the name and the line below it
constexpr int rowGap = 6;       // between rows
constexpr int detailSpacing = 8;
constexpr int iconSize = 14;
constexpr int smallPointSize = 9; // about 12 pixels at 96 dpi
constexpr int shadowSpace = 2;    // as the launch button style leaves below the shape
} // namespace

LaunchButtonDelegate::LaunchButtonDelegate(QWidget *view)
    : QStyledItemDelegate(view), m_view(view), m_launchStyle(new NativeButtonStyle),
      m_editIcon(Icons::symbolic(QStringLiteral("document-edit-symbolic"), QStringLiteral("pencil"))),
      m_removeIcon(Icons::symbolic(QStringLiteral("user-trash-symbolic"), QStringLiteral("trash")))
{
    m_launchStyle->setParent(this);
}

LaunchButtonDelegate::~LaunchButtonDelegate() = default;

QFont LaunchButtonDelegate::smallFont() const
{
    QFont small = m_view->font();
    small.setPointSize(smallPointSize);
    return small;
}

int LaunchButtonDelegate::nameHeight() const
{
    return m_view->fontMetrics().height() + 2 * NativeButtonStyle::verticalPadding + shadowSpace;
}

QSize LaunchButtonDelegate::iconButtonSize() const
{
    QStyleOptionToolButton option;
    option.initFrom(m_view);
    option.iconSize = QSize(iconSize, iconSize);
    option.toolButtonStyle = Qt::ToolButtonIconOnly;
    option.features = QStyleOptionToolButton::None;
    return m_view->style()->sizeFromContents(QStyle::CT_ToolButton, &option, option.iconSize, m_view);
}

LaunchButtonDelegate::Layout LaunchButtonDelegate::layout(const QRect &row) const
{
    const QRect content = row.adjusted(sideMargin, rowPadding, -sideMargin, -(rowPadding + rowGap));
    const QSize button = iconButtonSize();
    const int detailsHeight = std::max(button.height(), QFontMetrics(smallFont()).height());
    Layout areas;
    areas.name = QRect(content.left(), content.top(), content.width(), nameHeight());
    const int detailsTop = areas.name.bottom() + 1 + innerSpacing;
    const int buttonTop = detailsTop + (detailsHeight - button.height()) / 2;
    areas.remove = QRect(QPoint(content.right() + 1 - button.width(), buttonTop), button);
    areas.edit = QRect(QPoint(areas.remove.left() - detailSpacing - button.width(), buttonTop), button);
    areas.hotkeyState = QRect(content.left(), detailsTop + (detailsHeight - iconSize) / 2, iconSize, iconSize);
    const int shortcutLeft = areas.hotkeyState.right() + 1 + detailSpacing / 2;
    areas.shortcut = QRect(shortcutLeft, detailsTop, areas.edit.left() - detailSpacing - shortcutLeft, detailsHeight);
    return areas;
}

LaunchButtonDelegate::Area LaunchButtonDelegate::areaAt(const QRect &row, const QPoint &position) const
{
    const Layout areas = layout(row);
    if (areas.name.adjusted(0, 0, 0, -shadowSpace).contains(position))
        return Area::name;
    if (areas.edit.contains(position))
        return Area::edit;
    if (areas.remove.contains(position))
        return Area::remove;
    return Area::none;
}

bool LaunchButtonDelegate::isOnHotkeyState(const QRect &row, const QPoint &position) const
{
    return layout(row).hotkeyState.contains(position);
}

void LaunchButtonDelegate::setActiveArea(const QModelIndex &index, Area area, bool pressed)
{
    m_activeIndex = area == Area::none ? QPersistentModelIndex() : QPersistentModelIndex(index);
    m_activeArea = area;
    m_pressed = pressed && area != Area::none;
}

QSize LaunchButtonDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    const int detailsHeight = std::max(iconButtonSize().height(), QFontMetrics(smallFont()).height());
    return {option.rect.width(),
            rowPadding + nameHeight() + innerSpacing + detailsHeight + rowPadding + rowGap};
}

void LaunchButtonDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    const Layout areas = layout(option.rect);
    const bool active = index == m_activeIndex;

    // The name goes through the launch button style, so the list looks like
    // a column of buttons; painted text shows "&" as it is.
    QStyleOptionButton name;
    name.rect = areas.name;
    name.text = index.data(Qt::DisplayRole).toString();
    name.state = QStyle::State_Enabled;
    if (active && m_activeArea == Area::name && m_pressed)
        name.state |= QStyle::State_Sunken;
    painter->save();
    painter->setFont(m_view->font());
    m_launchStyle->drawControl(QStyle::CE_PushButton, &name, painter, nullptr);
    painter->restore();

    // A failed launch outweighs a working hotkey: the badge says something is wrong.
    const QVariant hotkeyState = index.data(ShortcutsEditorModel::HotkeyStateRole);
    if (index.data(ShortcutsEditorModel::LaunchFailureRole).isValid())
        HotkeyStateBadge::icon(ShortcutState::Kind::Failed).paint(painter, areas.hotkeyState);
    else if (hotkeyState.isValid())
        HotkeyStateBadge::icon(ShortcutState::Kind(hotkeyState.toInt())).paint(painter, areas.hotkeyState);

    painter->save();
    painter->setFont(smallFont());
    painter->setPen(option.palette.color(QPalette::PlaceholderText));
    const QString shortcut = painter->fontMetrics().elidedText(
        index.data(ShortcutsEditorModel::ShortcutRole).toString(), Qt::ElideRight, areas.shortcut.width());
    painter->drawText(areas.shortcut, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shortcut);
    painter->restore();

    paintSelection(painter, option);

    paintIconButton(painter, areas.edit, m_editIcon, active && m_activeArea == Area::edit);
    paintIconButton(painter, areas.remove, m_removeIcon, active && m_activeArea == Area::remove);
}

void LaunchButtonDelegate::paintSelection(QPainter *painter, const QStyleOptionViewItem &option) const
{
    // Drawn by us in the palette's highlight colour rather than left to the
    // style, which draws nothing or a faint dotted line in some themes: a
    // ring around the current row, thick while the list has the focus.
    if (!(option.state & QStyle::State_Selected) && !(option.state & QStyle::State_HasFocus))
        return;
    const bool focused = (option.state & QStyle::State_HasFocus) && m_view->hasFocus();
    const int width = focused ? 2 : 1;
    const QRectF ring = QRectF(option.rect.adjusted(sideMargin / 2, 1, -sideMargin / 2, -rowGap + 2))
                            .adjusted(width / 2.0, width / 2.0, -width / 2.0, -width / 2.0);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(option.palette.color(focused ? QPalette::Highlight : QPalette::PlaceholderText), width));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(ring, NativeButtonStyle::cornerRadius + 2, NativeButtonStyle::cornerRadius + 2);
    painter->restore();
}

void LaunchButtonDelegate::paintIconButton(QPainter *painter, const QRect &rect, const QIcon &icon,
                                           bool active) const
{
    if (active) {
        // The raised panel of an auto-raise tool button under the mouse.
        QStyleOptionToolButton panel;
        panel.initFrom(m_view);
        panel.rect = rect;
        panel.state = QStyle::State_Enabled | QStyle::State_MouseOver | QStyle::State_AutoRaise
            | (m_pressed ? QStyle::State_Sunken : QStyle::State_Raised);
        m_view->style()->drawPrimitive(QStyle::PE_PanelButtonTool, &panel, painter, m_view);
    }
    const QRect iconRect(rect.center() - QPoint(iconSize / 2 - 1, iconSize / 2 - 1), QSize(iconSize, iconSize));
    icon.paint(painter, iconRect);
}
