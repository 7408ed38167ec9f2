#pragma once

#include "model/LaunchButton.h"
#include "ui/EditButtonView.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <optional>

class HotkeyButtons;
class LaunchButtonListView;
class QLabel;
class QTimer;
class ShortcutsEditorModel;

// The editor's content: every button as a row in which a click on the name
// launches it, the pencil edits it and the trash deletes it, and a plus icon
// under the list that adds one. Every change goes through the manager; the
// model then copies the manager's list. A deleted button can be had
// back for a few seconds with "Undo"; a new button opens its form at once,
// and leaves again when that first form is cancelled.
class ShortcutsEditorView : public QWidget {
    Q_OBJECT

public:
    explicit ShortcutsEditorView(HotkeyButtons &manager, QWidget *parent = nullptr);
    ~ShortcutsEditorView() override;

    ShortcutsEditorModel &model() const { return *m_model; }
    LaunchButtonListView &list() const { return *m_list; }
    // The button whose edit form is open.
    const std::optional<LaunchButton> &editingButton() const { return m_editingButton; }
    EditButtonView *editForm() const { return m_editForm; }

    // How long "Undo" is offered after a deletion.
    static constexpr int undoTimeMs = 8000;

    void launch(const LaunchButton &button);
    void add();
    void startEdit(const LaunchButton &button);
    void deleteButton(const LaunchButton &button);
    // Puts the last deleted button back, while "Undo" is offered.
    void undoDelete();
    bool canUndoDelete() const { return m_deleted.has_value(); }

Q_SIGNALS:
    // The user asked for the configuration window.
    void configurationRequested();

private:
    void saveEdit(QUuid id, const QString &name, const QString &shortcut, std::optional<QUrl> appURL,
                  ButtonPreferences::LaunchMode launchMode);
    void editFormClosed(int result);
    void offerUndo(const QString &name);
    void endUndo();
    void selectRow(qsizetype row);
    std::optional<qsizetype> positionOf(QUuid id) const;

    ShortcutsEditorModel *m_model;
    LaunchButtonListView *m_list;
    std::optional<LaunchButton> m_editingButton;
    QPointer<EditButtonView> m_editForm;
    // A button added by "+" whose first form is open.
    std::optional<QUuid> m_addedButton;

    struct DeletedButton {
        qsizetype position;
        LaunchButton button;
        ButtonPreferences::LaunchMode launchMode;
    };
    std::optional<DeletedButton> m_deleted;
    QWidget *m_undoBar;
    QLabel *m_undoText;
    QTimer *m_undoTimer;
};
