#include "ui/KeyMonitor.h"

#include "model/KeyboardShortcut.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {
bool isClearKey(int key)
{
    return key == Qt::Key_Backspace || key == Qt::Key_Delete;
}

bool isFunctionKey(int key)
{
    return key >= Qt::Key_F1 && key <= Qt::Key_F12;
}

constexpr Qt::KeyboardModifiers holdingModifiers = Qt::MetaModifier | Qt::ControlModifier | Qt::AltModifier;
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

KeyMonitor::Meaning KeyMonitor::meaningOf(const QKeyEvent &event)
{
    const int key = event.key();
    const Qt::KeyboardModifiers modifiers = event.modifiers() & (holdingModifiers | Qt::ShiftModifier);
    const bool held = modifiers & holdingModifiers;
    if (isClearKey(key))
        return Meaning::clears;
    if (key == Qt::Key_Escape && modifiers == Qt::NoModifier)
        return Meaning::cancels;
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !held)
        return Meaning::passes; // the focus moves on, as everywhere else
    if (!recordable(event))
        return Meaning::passes;
    // Without Super, Control or Alt such a key would be taken from every
    // program's typing; the function keys type nothing.
    if (!held && !isFunctionKey(key))
        return Meaning::refused;
    return Meaning::records;
}

bool KeyMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);

    const auto *keyEvent = static_cast<QKeyEvent *>(event);
    const Meaning meaning = meaningOf(*keyEvent);
    if (meaning == Meaning::passes)
        return false;

    if (event->type() == QEvent::ShortcutOverride) {
        // Claim the press so that no shortcut (Escape, Return, menus) fires;
        // it comes back as a KeyPress.
        event->accept();
        return true;
    }
    const Action &action = meaning == Meaning::clears ? onClear : onCancel;
    switch (meaning) {
    case Meaning::records:
        if (onKeyDown)
            onKeyDown(keyEvent->keyCombination());
        break;
    case Meaning::refused:
        if (onRefused)
            onRefused(keyEvent->keyCombination());
        break;
    case Meaning::clears:
    case Meaning::cancels:
        if (action)
            action();
        break;
    case Meaning::passes:
        break;
    }
    return true;
}
