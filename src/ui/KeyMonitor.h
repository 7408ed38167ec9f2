#pragma once

#include "ModifierFlags.h"

#include <QObject>
#include <QString>

#include <functional>

class QKeyEvent;

// Watches every key press of the application while it monitors, before any
// widget or shortcut sees it, and turns the first recordable press into a
// key and its modifiers. Backspace and Delete ask for clearing instead.
// Modifier-only presses and keys that name nothing pass through untouched.
class KeyMonitor : public QObject {
    Q_OBJECT

public:
    using KeyDown = std::function<void(const QString &key, ModifierFlags modifiers)>;
    using Clear = std::function<void()>;

    explicit KeyMonitor(QObject *parent = nullptr);
    ~KeyMonitor() override;

    KeyDown onKeyDown;
    Clear onClear;

    void startMonitoring();
    void stopMonitoring();
    bool isMonitoring() const { return m_monitoring; }

    // The key text a press records: a name the key-code table knows for
    // keys that type nothing visible ("Space", "Plus", "Escape", "Return",
    // "Tab", "F1"…"F12", arrows), otherwise the key's character with Shift
    // applied and Control, Alt and Super ignored. Empty when the press is
    // not recordable.
    static QString keyText(const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_monitoring = false;
};
