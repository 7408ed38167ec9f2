#pragma once

#include "EditButtonView.h"
#include "LaunchButton.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <optional>

class HotKeyManager;
class LaunchButtonListView;
class LaunchPadViewModel;

// The editor's content: every button as a row in which a click on the name
// launches it, the pencil edits it and the trash deletes it, and a plus icon
// under the list that adds one. Every change goes through the manager; the
// view model then copies the manager's list.
class LaunchPadView : public QWidget {
    Q_OBJECT

public:
    explicit LaunchPadView(HotKeyManager &manager, QWidget *parent = nullptr);
    ~LaunchPadView() override;

    LaunchPadViewModel &viewModel() const { return *m_viewModel; }
    LaunchButtonListView &list() const { return *m_list; }
    // The button whose edit form is open.
    const std::optional<LaunchButton> &editingButton() const { return m_editingButton; }
    EditButtonView *editForm() const { return m_editForm; }

    void launch(const LaunchButton &button);
    void add();
    void startEdit(const LaunchButton &button);
    void deleteButton(const LaunchButton &button);

signals:
    // The user asked for the configuration window.
    void configurationRequested();

private:
    void saveEdit(QUuid id, const QString &name, const QString &shortcut, std::optional<QUrl> appURL,
                  ButtonPreferences::LaunchMode launchMode);
    void editFormClosed(int result);

    LaunchPadViewModel *m_viewModel;
    LaunchButtonListView *m_list;
    std::optional<LaunchButton> m_editingButton;
    QPointer<EditButtonView> m_editForm;
};
