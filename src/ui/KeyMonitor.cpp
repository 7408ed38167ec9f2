#include "KeyMonitor.h"

#include "KeyboardShortcut.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {
bool isClearKey(int key)
{
    return key == Qt::Key_Backspace || key == Qt::Key_Delete;
}
} // namespace

KeyMonitor::KeyMonitor(QObject *parent) : QObject(parent) {}

KeyMonitor::~KeyMonitor()
{
    stopMonitoring();
}

void KeyMonitor::startMonitoring()
{
    if (m_monitoring || !QCoreApplication::instance())
        return;
    QCoreApplication::instance()->installEventFilter(this);
    m_monitoring = true;
}

void KeyMonitor::stopMonitoring()
{
    if (!m_monitoring)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    m_monitoring = false;
}

std::optional<QKeyCombination> KeyMonitor::recordable(const QKeyEvent &event)
{
    // The key is the unshifted letter in upper case, or the symbol the layout
    // types with Shift; X11 sends control characters as text while Control
    // is held, so the event's text cannot be trusted here.
    const QKeyCombination combination = event.keyCombination();
    if (KeyboardShortcut::fromKeyCombination(combination).key.isEmpty())
        return std::nullopt;
    return combination;
}

bool KeyMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);

    const auto *keyEvent = static_cast<QKeyEvent *>(event);
    const bool clears = isClearKey(keyEvent->key());
    const std::optional<QKeyCombination> combination = clears ? std::nullopt : recordable(*keyEvent);
    if (!clears && !combination)
        return false; // modifier-only presses and keys without a text form

    if (event->type() == QEvent::ShortcutOverride) {
        // Claim the press so that no shortcut (Escape, Return, menus) fires;
        // it comes back as a KeyPress.
        event->accept();
        return true;
    }
    if (clears) {
        if (onClear)
            onClear();
    } else if (onKeyDown) {
        onKeyDown(*combination);
    }
    return true;
}
