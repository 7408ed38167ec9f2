#pragma once

#include "ui/LaunchButtonDelegate.h"

#include <QAccessible>
#include <QHash>
#include <QListView>

// The editor's list of buttons. A click on a row's name asks to launch it,
// on the pencil to edit it, on the trash to delete it; a click counts when
// the mouse button goes up over the area it went down on. From the keyboard,
// Space or Return launches the current row, F2 edits it and Delete deletes it.
// For assistive technology every row is a list item with these three
// actions (see LaunchButtonRowAccessible).
class LaunchButtonListView : public QListView {
    Q_OBJECT

public:
    explicit LaunchButtonListView(QWidget *parent = nullptr);

    LaunchButtonDelegate &launchButtonDelegate() const { return *m_delegate; }
    // Where a row's area is, in viewport coordinates; empty for a row that
    // does not exist.
    QRect areaRect(int row, LaunchButtonDelegate::Area area) const;
    // Where a row's hotkey state symbol is, in viewport coordinates.
    QRect hotkeyStateRect(int row) const;
    // The tooltip for this viewport position; empty where there is none.
    QString toolTipAt(const QPoint &position) const;
    // The row's interface for assistive technology, the same one each time
    // until the rows change.
    QAccessibleInterface *accessibleRow(int row) const;

    void setModel(QAbstractItemModel *model) override;

Q_SIGNALS:
    void launchRequested(int row);
    void editRequested(int row);
    void deleteRequested(int row);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    LaunchButtonDelegate::Area areaAt(const QPoint &position, QModelIndex *index) const;
    void setActive(const QModelIndex &index, LaunchButtonDelegate::Area area, bool pressed);
    // Rows changed: the old row interfaces go, and screen readers hear of it.
    void renewAccessibleRows();

    LaunchButtonDelegate *m_delegate;
    QPersistentModelIndex m_pressedIndex;
    LaunchButtonDelegate::Area m_pressedArea = LaunchButtonDelegate::Area::none;
    mutable QHash<int, QAccessible::Id> m_accessibleRows;
    QList<QMetaObject::Connection> m_modelConnections;
};
