#pragma once

#include "hotkeys/ButtonPreferences.h"
#include "model/LaunchButton.h"

#include <QDialog>
#include <QUrl>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class ShortcutPicker;

// The form in which the user changes one button: name, shortcut, target and,
// for an application, whether a press brings its running window to the
// front or starts a new copy. It works on its own copies; only Save hands
// them on, through onSave, with the target turned into a URL. Escape cancels and Return saves, except
// while the shortcut field records a key. It resizes; wrapped warnings make
// it taller, never its fields smaller than they ask.
class EditButtonView : public QDialog {
    Q_OBJECT

public:
    using LaunchMode = ButtonPreferences::LaunchMode;
    using OnSave = std::function<void(const QString &name, const QString &shortcut, std::optional<QUrl> appURL,
                                      LaunchMode launchMode)>;
    // What stands in the way of a shortcut, in words; empty when nothing does.
    using CheckShortcut = std::function<QString(const QString &shortcut)>;

    static constexpr int formWidth = 400;
    // Where the file chooser starts: the system's desktop entries.
    static const QString applicationsFolder;

    EditButtonView(const LaunchButton &button, OnSave onSave, QWidget *parent = nullptr);

    // The target the form saves for this text: web and file URLs as typed,
    // anything else as a file path; none when it cannot be a URL.
    static std::optional<QUrl> targetURL(const QString &appPath);

    // Checks the shortcut now and whenever the user records another; the
    // answer shows under the field. Saving stays possible either way.
    void setShortcutCheck(CheckShortcut check);
    // The button's choice as the form starts; bringToFrontWorks: whether
    // this desktop lets the program find a running application's window,
    // said under the choice when it does not.
    void setLaunchChoice(LaunchMode mode, bool bringToFrontWorks);

    void save();
    // Opens the file chooser.
    void browse();

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showShortcutCheck(const QString &shortcut);
    void showWarning(const QString &warning);
    // The launch choice is for applications only: hidden for web addresses.
    void showLaunchChoice();
    void fitHeight();

    LaunchButton m_button;
    OnSave m_onSave;
    QLineEdit *m_name;
    ShortcutPicker *m_shortcut;
    QLabel *m_shortcutWarning;
    CheckShortcut m_checkShortcut;
    QLineEdit *m_appPath;
    QWidget *m_launchChoice;
    QComboBox *m_launchMode;
    QLabel *m_bringToFrontNote;
};
