#pragma once

#include "model/LaunchButton.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QUuid>

class HotkeyButtons;

// The editor's rows, one per button, following the manager's button list and
// what the desktop did with each button's hotkey.
class ShortcutsEditorModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        // The name is the display role; this one is the shortcut in its text form.
        ShortcutRole = Qt::UserRole + 1,
        // The hotkey's state as an int of ShortcutState::Kind; invalid while unknown.
        HotkeyStateRole,
        // One or two lines saying what the state means, for the tooltip.
        HotkeyStateTextRole,
        // Why the button's last launch failed, in a sentence; invalid when it did not.
        LaunchFailureRole,
    };

    explicit ShortcutsEditorModel(HotkeyButtons &manager, QObject *parent = nullptr);

    const LaunchButtonList &buttons() const { return m_buttons; }
    HotkeyButtons &manager() const { return m_manager; }

    // Removes the buttons at these positions of buttons(); the file is saved
    // and the hotkeys follow.
    void deleteButtons(QList<qsizetype> positions);
    // A launch that worked, or a saved edit, starts afresh: the button no
    // longer shows its last failure.
    void forgetLaunchFailure(QUuid buttonId);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    void copyButtons();
    void hotkeyStateChanged(QUuid buttonId);
    void launchFailed(QUuid buttonId, const QString &reason);

    HotkeyButtons &m_manager;
    LaunchButtonList m_buttons;
    QHash<QUuid, int> m_rows;
    QHash<QUuid, QString> m_launchFailures;
};
