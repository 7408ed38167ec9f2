#pragma once

#include <QKeyCombination>
#include <QObject>

#include <functional>
#include <optional>

class QKeyEvent;

// Watches every key press of the application while it monitors, before any
// widget or shortcut sees it, and says what the press means to a shortcut
// recorder, as the desktops' recorders do: Escape alone cancels, Tab and
// Shift+Tab alone move the focus, Backspace and Delete clear; a key people
// type (letters, digits, space, Tab, Return, Escape, the arrows…) is refused
// without Super, Control or Alt, while F1–F12 may stand alone. Modifier-only
// presses and keys that have no text form pass through.
class KeyMonitor : public QObject {
    Q_OBJECT

public:
    enum class Meaning { passes, records, refused, clears, cancels };

    using KeyDown = std::function<void(QKeyCombination combination)>;
    using Action = std::function<void()>;

    explicit KeyMonitor(QObject *parent = nullptr);
    ~KeyMonitor() override;

    KeyDown onKeyDown;
    // A combination other programs would lose their typing to.
    KeyDown onRefused;
    Action onClear;
    Action onCancel;

    void startMonitoring();
    void stopMonitoring();
    bool isMonitoring() const { return m_monitoring; }

    static Meaning meaningOf(const QKeyEvent &event);
    // The combination a press records; nothing when it is not recordable.
    static std::optional<QKeyCombination> recordable(const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_monitoring = false;
};
