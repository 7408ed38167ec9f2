#include "ui/LaunchButtonRowAccessible.h"

#include "ui/LaunchButtonListView.h"
#include "ui/ShortcutsEditorModel.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QWidget>
#include <QWindow>

namespace {
QString translated(const char *text)
{
    return QCoreApplication::translate("LaunchButtonRowAccessible", text);
}
} // namespace

QString LaunchButtonRowAccessible::launchAction()
{
    return QStringLiteral("Launch");
}

QString LaunchButtonRowAccessible::editAction()
{
    return QStringLiteral("Edit");
}

QString LaunchButtonRowAccessible::deleteAction()
{
    return QStringLiteral("Delete");
}

LaunchButtonRowAccessible::LaunchButtonRowAccessible(LaunchButtonListView *view, int row) : m_view(view), m_row(row) {}

bool LaunchButtonRowAccessible::isValid() const
{
    return m_view && m_view->model() && m_row >= 0 && m_row < m_view->model()->rowCount();
}

QWindow *LaunchButtonRowAccessible::window() const
{
    return m_view ? m_view->window()->windowHandle() : nullptr;
}

QAccessibleInterface *LaunchButtonRowAccessible::parent() const
{
    return m_view ? QAccessible::queryAccessibleInterface(m_view) : nullptr;
}

QString LaunchButtonRowAccessible::text(QAccessible::Text t) const
{
    if (!isValid())
        return {};
    const QModelIndex index = m_view->model()->index(m_row, 0);
    switch (t) {
    case QAccessible::Name:
        return index.data(Qt::DisplayRole).toString();
    case QAccessible::Description: {
        // The shortcut, then what became of it (and of the last launch).
        QStringList parts;
        const QString shortcut = index.data(ShortcutsEditorModel::ShortcutRole).toString();
        parts.append(shortcut.isEmpty() ? translated("No shortcut") : translated("Shortcut %1").arg(shortcut));
        const QString state = index.data(ShortcutsEditorModel::HotkeyStateTextRole).toString();
        if (!state.isEmpty())
            parts.append(state.section(QLatin1Char('\n'), 0, 0));
        const QString failure = index.data(ShortcutsEditorModel::LaunchFailureRole).toString();
        if (!failure.isEmpty())
            parts.append(failure);
        return parts.join(QStringLiteral(". "));
    }
    case QAccessible::Accelerator:
        return index.data(ShortcutsEditorModel::ShortcutRole).toString();
    default:
        return {};
    }
}

QRect LaunchButtonRowAccessible::rect() const
{
    if (!isValid())
        return {};
    const QRect row = m_view->visualRect(m_view->model()->index(m_row, 0));
    return QRect(m_view->viewport()->mapToGlobal(row.topLeft()), row.size());
}

QAccessible::State LaunchButtonRowAccessible::state() const
{
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    const bool current = m_view->currentIndex().row() == m_row;
    state.focusable = true;
    state.selectable = true;
    state.selected = current;
    state.focused = current && m_view->hasFocus();
    state.active = current;
    const QRect row = m_view->visualRect(m_view->model()->index(m_row, 0));
    state.invisible = !m_view->isVisible();
    state.offscreen = !m_view->viewport()->rect().intersects(row);
    return state;
}

void *LaunchButtonRowAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface *>(this);
    return nullptr;
}

QStringList LaunchButtonRowAccessible::actionNames() const
{
    return {launchAction(), editAction(), deleteAction()};
}

QString LaunchButtonRowAccessible::localizedActionDescription(const QString &actionName) const
{
    if (actionName == launchAction())
        return translated("Launch the button's application or page");
    if (actionName == editAction())
        return translated("Open the button's edit form");
    if (actionName == deleteAction())
        return translated("Delete the button");
    return {};
}

void LaunchButtonRowAccessible::doAction(const QString &actionName)
{
    if (!isValid())
        return;
    // Later, from the event loop: what follows may change the list and so
    // delete this interface while it answers.
    const QPointer<LaunchButtonListView> view = m_view;
    const int row = m_row;
    QMetaObject::invokeMethod(
        m_view,
        [view, row, actionName] {
            if (!view)
                return;
            if (actionName == launchAction())
                Q_EMIT view->launchRequested(row);
            else if (actionName == editAction())
                Q_EMIT view->editRequested(row);
            else if (actionName == deleteAction())
                Q_EMIT view->deleteRequested(row);
        },
        Qt::QueuedConnection);
}

QStringList LaunchButtonRowAccessible::keyBindingsForAction(const QString &actionName) const
{
    if (actionName == launchAction())
        return {QStringLiteral("Return")};
    if (actionName == editAction())
        return {QStringLiteral("F2")};
    if (actionName == deleteAction())
        return {QStringLiteral("Delete")};
    return {};
}
