#pragma once

#include <QAccessibleActionInterface>
#include <QAccessibleInterface>
#include <QPointer>

class LaunchButtonListView;

// One painted row of the editor's list as assistive technology sees it: a
// list item named after the button, described by its shortcut and whether
// that works, with Launch, Edit and Delete as its actions.
class LaunchButtonRowAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    static QString launchAction();
    static QString editAction();
    static QString deleteAction();

    LaunchButtonRowAccessible(LaunchButtonListView *view, int row);

    int row() const { return m_row; }

    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    QString localizedActionDescription(const QString &actionName) const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    QPointer<LaunchButtonListView> m_view;
    int m_row;
};
