#pragma once

#include "KeyboardShortcut.h"

#include <QWidget>

class KeyMonitor;
class QLineEdit;
class QToolButton;

// The shortcut field of the edit form: click into it and press the wanted
// combination once. It records while it has the focus, shows the shortcut's
// display form, and offers a clear button while there is a key.
class ShortcutPicker : public QWidget {
    Q_OBJECT

public:
    static constexpr int fieldWidth = 250;

    explicit ShortcutPicker(QWidget *parent = nullptr);

    const KeyboardShortcut &shortcut() const { return m_shortcut; }
    void setShortcut(const KeyboardShortcut &shortcut);
    void clearShortcut();

    bool isRecording() const;

signals:
    void shortcutChanged(const KeyboardShortcut &shortcut);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void recorded(QKeyCombination combination);

    QLineEdit *m_field;
    QToolButton *m_clearButton;
    KeyMonitor *m_keyMonitor;
    KeyboardShortcut m_shortcut;
};
