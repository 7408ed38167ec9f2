#pragma once

#include "model/KeyboardShortcut.h"

#include <QWidget>

class KeyMonitor;
class QLineEdit;
class QToolButton;

// The shortcut field of the edit form. It records when it gets the focus,
// or when clicked or Space is pressed on it, and says so in the field;
// one press of the wanted combination records it and ends the recording.
// Escape ends the recording and keeps the shortcut, Backspace clears it, and
// Tab moves on. A key people type is refused without Super, Control or Alt,
// with the reason given through refused().
class ShortcutPicker : public QWidget {
    Q_OBJECT

public:
    static constexpr int fieldWidth = 250;

    explicit ShortcutPicker(QWidget *parent = nullptr);

    const KeyboardShortcut &shortcut() const { return m_shortcut; }
    void setShortcut(const KeyboardShortcut &shortcut);
    void clearShortcut();

    void startRecording();
    void stopRecording();
    bool isRecording() const;

    QLineEdit *field() const { return m_field; }
    QToolButton *clearButton() const { return m_clearButton; }

    // Why a refused combination was not taken, as said under the field.
    static QString refusalReason(const KeyboardShortcut &refused);

Q_SIGNALS:
    void shortcutChanged(const KeyboardShortcut &shortcut);
    void recordingChanged(bool recording);
    void refused(const QString &reason);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void recorded(QKeyCombination combination);
    void showShortcut();

    QLineEdit *m_field;
    QToolButton *m_clearButton;
    KeyMonitor *m_keyMonitor;
    KeyboardShortcut m_shortcut;
};
