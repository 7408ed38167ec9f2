#include "ui/LaunchButtonListAccessible.h"

#include "ui/LaunchButtonListView.h"
#include "ui/LaunchButtonRowAccessible.h"

namespace {
QAccessibleInterface *listFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("LaunchButtonListView") && object && object->isWidgetType())
        return new LaunchButtonListAccessible(static_cast<LaunchButtonListView *>(object));
    return nullptr;
}
} // namespace

LaunchButtonListAccessible::LaunchButtonListAccessible(LaunchButtonListView *view)
    : QAccessibleWidget(view, QAccessible::List)
{
}

void LaunchButtonListAccessible::installFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(listFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

LaunchButtonListView *LaunchButtonListAccessible::view() const
{
    return static_cast<LaunchButtonListView *>(widget());
}

QAccessibleInterface *LaunchButtonListAccessible::child(int index) const
{
    return view()->accessibleRow(index);
}

int LaunchButtonListAccessible::childCount() const
{
    return view()->model() ? view()->model()->rowCount() : 0;
}

int LaunchButtonListAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *row = dynamic_cast<const LaunchButtonRowAccessible *>(child);
    return row && row->isValid() && row->parent() == this ? row->row() : -1;
}

QAccessibleInterface *LaunchButtonListAccessible::childAt(int x, int y) const
{
    const QPoint position = view()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = view()->indexAt(position);
    return index.isValid() ? child(index.row()) : nullptr;
}

QAccessibleInterface *LaunchButtonListAccessible::focusChild() const
{
    const QModelIndex current = view()->currentIndex();
    return view()->hasFocus() && current.isValid() ? child(current.row()) : nullptr;
}
