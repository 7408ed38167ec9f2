#pragma once

#include <QIcon>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

class NativeButtonStyle;

// Paints one row of the editor's list: the name as a launch button, and
// below it whether the hotkey works, the stored shortcut text, and the edit
// and delete symbols. The
// list view asks it where these areas are; one delegate draws any number of
// rows, so a long list costs no widgets.
class LaunchButtonDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    enum class Area { none, name, edit, remove };

    struct Layout {
        QRect name;
        QRect hotkeyState; // the symbol before the shortcut
        QRect shortcut;
        QRect edit;
        QRect remove;
    };

    // view: the list whose font and style the rows follow.
    explicit LaunchButtonDelegate(QWidget *view);
    ~LaunchButtonDelegate() override;

    // Where a row's areas go inside the row's rectangle.
    Layout layout(const QRect &row) const;
    Area areaAt(const QRect &row, const QPoint &position) const;
    bool isOnHotkeyState(const QRect &row, const QPoint &position) const;

    // The area under the mouse, drawn highlighted, and whether the mouse
    // button is held on it.
    void setActiveArea(const QModelIndex &index, Area area, bool pressed);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    QFont smallFont() const;
    int nameHeight() const;
    QSize iconButtonSize() const;
    void paintSelection(QPainter *painter, const QStyleOptionViewItem &option) const;
    void paintIconButton(QPainter *painter, const QRect &rect, const QIcon &icon, bool active) const;

    QWidget *m_view;
    NativeButtonStyle *m_launchStyle;
    QIcon m_editIcon;
    QIcon m_removeIcon;
    QPersistentModelIndex m_activeIndex;
    Area m_activeArea = Area::none;
    bool m_pressed = false;
};
