#include "ui/LaunchButtonListView.h"

#include "ui/LaunchButtonListAccessible.h"
#include "ui/LaunchButtonRowAccessible.h"
#include "ui/ShortcutsEditorModel.h"

#include <QAccessibleEvent>
#include <QFocusEvent>

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>

using Area = LaunchButtonDelegate::Area;

LaunchButtonListView::LaunchButtonListView(QWidget *parent) : QListView(parent), m_delegate(new LaunchButtonDelegate(this))
{
    // Before anything that speaks to assistive technology (an accessible
    // name does): the first interface asked for is the one kept.
    LaunchButtonListAccessible::installFactory();
    setItemDelegate(m_delegate);
    // Every row has the same height, so the list lays out any number of
    // buttons without measuring each one.
    setUniformItemSizes(true);
    // The current row is the selected one, drawn as such.
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab reaches the list, the arrows pick a row, and keys act on it.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(tr("Buttons"));
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setViewportMargins(0, 8, 0, 8);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setMouseTracking(true);
}

QRect LaunchButtonListView::areaRect(int row, Area area) const
{
    const QRect rowRect = visualRect(model() ? model()->index(row, 0) : QModelIndex());
    if (rowRect.isEmpty())
        return {};
    const LaunchButtonDelegate::Layout areas = m_delegate->layout(rowRect);
    switch (area) {
    case Area::name:
        return areas.name;
    case Area::edit:
        return areas.edit;
    case Area::remove:
        return areas.remove;
    case Area::none:
        break;
    }
    return {};
}

QRect LaunchButtonListView::hotkeyStateRect(int row) const
{
    const QRect rowRect = visualRect(model() ? model()->index(row, 0) : QModelIndex());
    return rowRect.isEmpty() ? QRect() : m_delegate->layout(rowRect).hotkeyState;
}

QString LaunchButtonListView::toolTipAt(const QPoint &position) const
{
    QModelIndex index;
    switch (areaAt(position, &index)) {
    case Area::name:
        return tr("Launch");
    case Area::edit:
        return tr("Edit");
    case Area::remove:
        return tr("Delete");
    case Area::none:
        break;
    }
    if (index.isValid() && m_delegate->isOnHotkeyState(visualRect(index), position))
        return index.data(ShortcutsEditorModel::HotkeyStateTextRole).toString();
    return {};
}

QAccessibleInterface *LaunchButtonListView::accessibleRow(int row) const
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return nullptr;
    const auto known = m_accessibleRows.constFind(row);
    if (known != m_accessibleRows.constEnd())
        return QAccessible::accessibleInterface(*known);
    auto *interface = new LaunchButtonRowAccessible(const_cast<LaunchButtonListView *>(this), row);
    m_accessibleRows.insert(row, QAccessible::registerAccessibleInterface(interface));
    return interface;
}

void LaunchButtonListView::setModel(QAbstractItemModel *newModel)
{
    for (const QMetaObject::Connection &connection : std::as_const(m_modelConnections))
        disconnect(connection);
    m_modelConnections.clear();
    QListView::setModel(newModel);
    renewAccessibleRows();
    if (!newModel)
        return;
    const auto renew = [this] { renewAccessibleRows(); };
    m_modelConnections = {
        connect(newModel, &QAbstractItemModel::modelReset, this, renew),
        connect(newModel, &QAbstractItemModel::layoutChanged, this, renew),
        connect(newModel, &QAbstractItemModel::rowsInserted, this, renew),
        connect(newModel, &QAbstractItemModel::rowsRemoved, this, renew),
    };
}

void LaunchButtonListView::renewAccessibleRows()
{
    const bool told = QAccessible::isActive();
    for (const QAccessible::Id id : std::as_const(m_accessibleRows)) {
        if (told) {
            QAccessibleEvent gone(QAccessible::accessibleInterface(id), QAccessible::ObjectDestroyed);
            QAccessible::updateAccessibility(&gone);
        }
        QAccessible::deleteAccessibleInterface(id);
    }
    m_accessibleRows.clear();
    if (!told || !model())
        return;
    for (int row = 0; row < model()->rowCount(); ++row) {
        QAccessibleEvent created(accessibleRow(row), QAccessible::ObjectCreated);
        QAccessible::updateAccessibility(&created);
    }
}

Area LaunchButtonListView::areaAt(const QPoint &position, QModelIndex *index) const
{
    *index = indexAt(position);
    if (!index->isValid())
        return Area::none;
    return m_delegate->areaAt(visualRect(*index), position);
}

void LaunchButtonListView::setActive(const QModelIndex &index, Area area, bool pressed)
{
    m_delegate->setActiveArea(index, area, pressed);
    if (area == Area::none)
        viewport()->unsetCursor();
    else
        viewport()->setCursor(Qt::PointingHandCursor);
    viewport()->update();
}

void LaunchButtonListView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    QModelIndex index;
    m_pressedArea = areaAt(event->position().toPoint(), &index);
    m_pressedIndex = index;
    setActive(index, m_pressedArea, true);
}

void LaunchButtonListView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    QModelIndex index;
    const Area area = areaAt(event->position().toPoint(), &index);
    const Area pressedArea = m_pressedArea;
    const bool sameRow = m_pressedIndex.isValid() && index == m_pressedIndex;
    m_pressedIndex = QPersistentModelIndex();
    m_pressedArea = Area::none;
    setActive(index, area, false);
    if (!sameRow || area != pressedArea)
        return;
    // What follows may change the list; the index is not used after this.
    const int row = index.row();
    switch (area) {
    case Area::name:
        Q_EMIT launchRequested(row);
        break;
    case Area::edit:
        Q_EMIT editRequested(row);
        break;
    case Area::remove:
        Q_EMIT deleteRequested(row);
        break;
    case Area::none:
        break;
    }
}

void LaunchButtonListView::mouseMoveEvent(QMouseEvent *event)
{
    QModelIndex index;
    const Area area = areaAt(event->position().toPoint(), &index);
    if (m_pressedArea != Area::none)
        setActive(m_pressedIndex, m_pressedArea, area == m_pressedArea && index == m_pressedIndex);
    else
        setActive(index, area, false);
}

void LaunchButtonListView::keyPressEvent(QKeyEvent *event)
{
    const int row = currentIndex().row();
    if (row < 0 || event->modifiers() != Qt::NoModifier) {
        QListView::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT launchRequested(row);
        break;
    case Qt::Key_F2:
        Q_EMIT editRequested(row);
        break;
    case Qt::Key_Delete:
        Q_EMIT deleteRequested(row);
        break;
    default:
        QListView::keyPressEvent(event);
    }
}

void LaunchButtonListView::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    // Keys act on the current row: there is one as soon as the list has the focus.
    if (!currentIndex().isValid() && model() && model()->rowCount() > 0)
        setCurrentIndex(model()->index(0, 0));
}

void LaunchButtonListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click is a second click, as it is on a push button.
    mousePressEvent(event);
}

bool LaunchButtonListView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Leave && m_pressedArea == Area::none)
        setActive({}, Area::none, false);
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QListView::viewportEvent(event);
}
