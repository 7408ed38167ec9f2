#pragma once

#include <QKeyCombination>
#include <QObject>

#include <functional>
#include <optional>

class QKeyEvent;

// Watches every key press of the application while it monitors, before any
// widget or shortcut sees it, and reports the first recordable press as a
// key combination. Backspace and Delete ask for clearing instead.
// Modifier-only presses and keys that have no text form pass through.
class KeyMonitor : public QObject {
    Q_OBJECT

public:
    using KeyDown = std::function<void(QKeyCombination combination)>;
    using Clear = std::function<void()>;

    explicit KeyMonitor(QObject *parent = nullptr);
    ~KeyMonitor() override;

    KeyDown onKeyDown;
    Clear onClear;

    void startMonitoring();
    void stopMonitoring();
    bool isMonitoring() const { return m_monitoring; }

    // The combination a press records; nothing when it is not recordable.
    static std::optional<QKeyCombination> recordable(const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_monitoring = false;
};
