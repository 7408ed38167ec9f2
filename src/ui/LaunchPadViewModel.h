#pragma once

#include "LaunchButton.h"

#include <QAbstractListModel>
#include <QList>

class HotKeyManager;

// The editor's copy of the button list, one row per button. It does not
// follow the manager on its own: the view copies the manager's list after
// each change it makes.
class LaunchPadViewModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        // The name is the display role; this one is the stored shortcut text.
        ShortcutRole = Qt::UserRole + 1,
    };

    explicit LaunchPadViewModel(HotKeyManager &manager, QObject *parent = nullptr);

    const LaunchButtonList &buttons() const { return m_buttons; }
    HotKeyManager &manager() const { return m_manager; }

    // Takes the manager's list as it is now.
    void copyFromManager();

    // Removes the buttons at these positions of buttons(), saves the file
    // and registers the remaining shortcuts anew.
    void deleteButtons(QList<qsizetype> positions);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    HotKeyManager &m_manager;
    LaunchButtonList m_buttons;
};
