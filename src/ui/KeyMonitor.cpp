#include "KeyMonitor.h"

#include <QCoreApplication>
#include <QHash>
#include <QKeyEvent>

namespace {
const QHash<int, QString> &namedKeys()
{
    static const QHash<int, QString> names = [] {
        QHash<int, QString> table{
            {Qt::Key_Space, QStringLiteral("Space")},   {Qt::Key_Plus, QStringLiteral("Plus")},
            {Qt::Key_Escape, QStringLiteral("Escape")}, {Qt::Key_Return, QStringLiteral("Return")},
            {Qt::Key_Enter, QStringLiteral("Return")},  {Qt::Key_Tab, QStringLiteral("Tab")},
            {Qt::Key_Backtab, QStringLiteral("Tab")},   {Qt::Key_Left, QStringLiteral("Left")},
            {Qt::Key_Right, QStringLiteral("Right")},   {Qt::Key_Up, QStringLiteral("Up")},
            {Qt::Key_Down, QStringLiteral("Down")},
        };
        for (int n = 1; n <= 12; ++n)
            table.insert(Qt::Key_F1 + n - 1, QStringLiteral("F%1").arg(n));
        return table;
    }();
    return names;
}

bool isClearKey(int key)
{
    return key == Qt::Key_Backspace || key == Qt::Key_Delete;
}

// Qt gives characters as their code point and everything else from 0x01000000.
constexpr int firstSpecialKey = 0x01000000;
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

QString KeyMonitor::keyText(const QKeyEvent &event)
{
    const int key = event.key();
    if (const auto named = namedKeys().constFind(key); named != namedKeys().constEnd())
        return *named;
    if (key > 0 && key < firstSpecialKey) {
        // The key code is the unshifted letter in upper case, or the symbol
        // the layout types with Shift; X11 sends control characters as text
        // while Control is held, so the text cannot be trusted here.
        const char32_t codePoint = char32_t(key);
        QString character = QString::fromUcs4(&codePoint, 1);
        if (character.front().isLetter())
            character = event.modifiers() & Qt::ShiftModifier ? character.toUpper() : character.toLower();
        return character;
    }
    if (key == 0 || key == Qt::Key_unknown) {
        const QString text = event.text();
        if (text.size() == 1 && text.front().isPrint() && !text.front().isSpace())
            return text;
    }
    return {};
}

bool KeyMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);

    const auto *keyEvent = static_cast<QKeyEvent *>(event);
    const bool clears = isClearKey(keyEvent->key());
    const QString text = clears ? QString() : keyText(*keyEvent);
    if (!clears && text.isEmpty())
        return false; // modifier-only presses and keys without a name

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
        onKeyDown(text, ModifierFlags::fromEventFlags(keyEvent->modifiers()));
    }
    return true;
}
