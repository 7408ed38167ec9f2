#pragma once

#include "LaunchButton.h"

#include <QList>
#include <QObject>

class HotKeyManager;

// The editor's copy of the button list. It does not follow the manager on
// its own: the view copies the manager's list after each change it makes.
class LaunchPadViewModel : public QObject {
    Q_OBJECT

public:
    explicit LaunchPadViewModel(HotKeyManager &manager, QObject *parent = nullptr);

    const LaunchButtonList &buttons() const { return m_buttons; }
    HotKeyManager &manager() const { return m_manager; }

    // Takes the manager's list as it is now.
    void copyFromManager();

    // Removes the buttons at these positions of buttons(), saves the file
    // and registers the remaining shortcuts anew.
    void deleteButtons(QList<qsizetype> positions);

signals:
    void buttonsChanged();

private:
    HotKeyManager &m_manager;
    LaunchButtonList m_buttons;
};
