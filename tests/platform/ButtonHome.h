#pragma once

#include <QString>
#include <QTemporaryDir>

// A temporary home directory with a ~/.vantorel button file whose targets
// are scripts that leave a marker file behind when they run.
class ButtonHome {
public:
    ButtonHome();

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }

    // Adds a button whose target script touches the marker `name`.
    void addButton(const QString &name, const QString &shortcut);
    // Adds a button whose target is a web address.
    void addWebButton(const QString &name, const QString &shortcut, const QString &address);
    // Writes the button file with the buttons added so far.
    bool writeButtonFile() const;

    bool ran(const QString &name) const;

private:
    QTemporaryDir m_dir;
    struct Button {
        QString name;
        QString shortcut;
        QString address; // empty: a script
    };
    QList<Button> m_buttons;
};
