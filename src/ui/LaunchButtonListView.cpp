#include "LaunchButtonListView.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>

using Part = LaunchButtonDelegate::Part;

LaunchButtonListView::LaunchButtonListView(QWidget *parent) : QListView(parent), m_delegate(new LaunchButtonDelegate(this))
{
    setItemDelegate(m_delegate);
    // Every row has the same height, so the list lays out any number of
    // buttons without measuring each one.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab reaches the list, the arrows pick a row, and keys act on it.
    setFocusPolicy(Qt::TabFocus);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setViewportMargins(0, 8, 0, 8);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setMouseTracking(true);
}

QRect LaunchButtonListView::partRect(int row, Part part) const
{
    const QRect rowRect = visualRect(model() ? model()->index(row, 0) : QModelIndex());
    if (rowRect.isEmpty())
        return {};
    const LaunchButtonDelegate::Layout parts = m_delegate->layout(rowRect);
    switch (part) {
    case Part::name:
        return parts.name;
    case Part::edit:
        return parts.edit;
    case Part::remove:
        return parts.remove;
    case Part::none:
        break;
    }
    return {};
}

Part LaunchButtonListView::partAt(const QPoint &position, QModelIndex *index) const
{
    *index = indexAt(position);
    if (!index->isValid())
        return Part::none;
    return m_delegate->partAt(visualRect(*index), position);
}

void LaunchButtonListView::setActive(const QModelIndex &index, Part part, bool pressed)
{
    m_delegate->setActivePart(index, part, pressed);
    if (part == Part::none)
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
    m_pressedPart = partAt(event->position().toPoint(), &index);
    m_pressedIndex = index;
    setActive(index, m_pressedPart, true);
}

void LaunchButtonListView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    QModelIndex index;
    const Part part = partAt(event->position().toPoint(), &index);
    const Part pressedPart = m_pressedPart;
    const bool sameRow = m_pressedIndex.isValid() && index == m_pressedIndex;
    m_pressedIndex = QPersistentModelIndex();
    m_pressedPart = Part::none;
    setActive(index, part, false);
    if (!sameRow || part != pressedPart)
        return;
    // What follows may change the list; the index is not used after this.
    const int row = index.row();
    switch (part) {
    case Part::name:
        emit launchRequested(row);
        break;
    case Part::edit:
        emit editRequested(row);
        break;
    case Part::remove:
        emit deleteRequested(row);
        break;
    case Part::none:
        break;
    }
}

void LaunchButtonListView::mouseMoveEvent(QMouseEvent *event)
{
    QModelIndex index;
    const Part part = partAt(event->position().toPoint(), &index);
    if (m_pressedPart != Part::none)
        setActive(m_pressedIndex, m_pressedPart, part == m_pressedPart && index == m_pressedIndex);
    else
        setActive(index, part, false);
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
        emit launchRequested(row);
        break;
    case Qt::Key_F2:
        emit editRequested(row);
        break;
    case Qt::Key_Delete:
        emit deleteRequested(row);
        break;
    default:
        QListView::keyPressEvent(event);
    }
}

void LaunchButtonListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click is a second click, as it is on a push button.
    mousePressEvent(event);
}

bool LaunchButtonListView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Leave && m_pressedPart == Part::none)
        setActive({}, Part::none, false);
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        QModelIndex index;
        QString tip;
        switch (partAt(help->pos(), &index)) {
        case Part::name:
            tip = tr("Launch");
            break;
        case Part::edit:
            tip = tr("Edit");
            break;
        case Part::remove:
            tip = tr("Delete");
            break;
        case Part::none:
            break;
        }
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QListView::viewportEvent(event);
}
