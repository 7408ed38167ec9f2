#pragma once

#include "model/ButtonFile.h"
#include "model/ButtonFileWatcher.h"
#include "model/LaunchButton.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <memory>
#include <optional>

// The button list and its file. Every change of the list is saved and then
// announced with changed(); the store knows nothing of hotkeys.
class ButtonStore : public QObject {
    Q_OBJECT

public:
    // homeDirectory: where the button file lives.
    explicit ButtonStore(const QString &homeDirectory, QObject *parent = nullptr);

    // In the order the user sees them.
    const LaunchButtonList &buttons() const { return m_buttons; }
    const LaunchButton *find(QUuid id) const;
    QString filePath() const { return m_file.path(); }

    // Reads the file; creates and saves the default button when there is none.
    void loadButtons();
    // From now on changes made to the file by others are taken in. Needs a
    // QCoreApplication; a change made since the file was read counts too.
    void watchFile();
    // Takes in the file's buttons if someone else changed it since it was
    // last read or saved here; an unreadable version leaves the list as it is.
    void reloadIfChangedOnDisk();
    void saveButtons();

    // A placeholder "New Button" at the end.
    void addButton();
    // Replaces the button with this id in its place; nothing when there is none.
    void updateButton(QUuid id, QString name, QString shortcut, std::optional<QUrl> appURL);
    // Removes the buttons at these positions of buttons().
    void removeButtons(QList<qsizetype> positions);
    // Puts a removed button back at this position (or the end), with its id;
    // nothing when a button with its id is there.
    void insertButton(qsizetype position, const LaunchButton &button);

Q_SIGNALS:
    void changed();

private:
    void replaceAll(LaunchButtonList buttons);

    LaunchButtonList m_buttons;
    ButtonFile m_file;
    std::unique_ptr<ButtonFileWatcher> m_watcher;
};
