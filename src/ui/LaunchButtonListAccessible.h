#pragma once

#include <QAccessibleWidget>

class LaunchButtonListView;

// The editor's list as assistive technology sees it: a list whose children
// are its rows (see LaunchButtonRowAccessible) rather than its scroll bars.
class LaunchButtonListAccessible : public QAccessibleWidget {
public:
    explicit LaunchButtonListAccessible(LaunchButtonListView *view);

    // Installed once; answers for every LaunchButtonListView.
    static void installFactory();

    QAccessibleInterface *child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

private:
    LaunchButtonListView *view() const;
};
