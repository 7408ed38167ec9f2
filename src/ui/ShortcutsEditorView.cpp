#include "ui/ShortcutsEditorView.h"

#include "hotkeys/HotkeyButtons.h"
#include "model/Log.h"
#include "ui/EditButtonView.h"
#include "ui/HotkeyStateBadge.h"
#include "ui/Icons.h"
#include "ui/LaunchButtonListView.h"
#include "ui/ShortcutsEditorModel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {
constexpr int addIconSize = 24;
constexpr int bottomPadding = 16;

// Said under the shortcut field; empty when nothing stands in the way.
QString shortcutWarning(const HotkeyButtons::ShortcutCheck &check)
{
    QStringList lines;
    if (check.sameAs)
        lines.append(ShortcutsEditorView::tr("\"%1\" has the same shortcut").arg(*check.sameAs));
    if (check.desktop.kind == ShortcutState::Kind::Pending)
        lines.append(check.desktop.detail); // nothing is asked yet: no waiting to speak of
    else if (check.desktop.kind != ShortcutState::Kind::Live)
        lines.append(HotkeyStateBadge::toolTip(check.desktop));
    return lines.join(QLatin1Char('\n'));
}
} // namespace

ShortcutsEditorView::ShortcutsEditorView(HotkeyButtons &manager, QWidget *parent)
    : QWidget(parent), m_model(new ShortcutsEditorModel(manager, this)), m_list(new LaunchButtonListView(this)),
      m_undoBar(new QWidget(this)), m_undoText(new QLabel(m_undoBar)), m_undoTimer(new QTimer(this))
{
    m_list->setObjectName(QStringLiteral("buttonList"));
    m_list->setModel(m_model);
    // A row is looked up when it is clicked: the list may have changed since.
    const auto withButton = [this](void (ShortcutsEditorView::*action)(const LaunchButton &)) {
        return [this, action](int row) {
            const LaunchButtonList &buttons = m_model->buttons();
            if (row >= 0 && row < buttons.size())
                (this->*action)(LaunchButton(buttons.at(row)));
        };
    };
    connect(m_list, &LaunchButtonListView::launchRequested, this, withButton(&ShortcutsEditorView::launch));
    connect(m_list, &LaunchButtonListView::editRequested, this, withButton(&ShortcutsEditorView::startEdit));
    connect(m_list, &LaunchButtonListView::deleteRequested, this, withButton(&ShortcutsEditorView::deleteButton));

    auto *addButton = new QToolButton(this);
    addButton->setObjectName(QStringLiteral("addButton"));
    addButton->setIcon(Icons::bundled(QStringLiteral("plus.circle.fill")));
    addButton->setIconSize(QSize(addIconSize, addIconSize));
    addButton->setAutoRaise(true);
    addButton->setCursor(Qt::PointingHandCursor);
    addButton->setToolTip(tr("Add Button"));
    addButton->setAccessibleName(tr("Add Button"));
    connect(addButton, &QToolButton::clicked, this, &ShortcutsEditorView::add);

    auto *configurationButton = new QToolButton(this);
    configurationButton->setObjectName(QStringLiteral("configurationButton"));
    configurationButton->setIcon(
        Icons::symbolic(QStringLiteral("emblem-system-symbolic"), QStringLiteral("gearshape")));
    configurationButton->setIconSize(QSize(16, 16));
    configurationButton->setAutoRaise(true);
    configurationButton->setToolTip(tr("Configuration"));
    configurationButton->setAccessibleName(tr("Configuration"));
    connect(configurationButton, &QToolButton::clicked, this, &ShortcutsEditorView::configurationRequested);

    // The plus stays centred: the gear on the right is balanced on the left.
    auto *bottom = new QHBoxLayout;
    bottom->setContentsMargins(12, 0, 12, bottomPadding);
    bottom->addSpacing(configurationButton->sizeHint().width());
    bottom->addStretch();
    bottom->addWidget(addButton);
    bottom->addStretch();
    bottom->addWidget(configurationButton, 0, Qt::AlignBottom);

    // Offered for a few seconds after a deletion, above the plus.
    m_undoBar->setObjectName(QStringLiteral("undoBar"));
    m_undoText->setObjectName(QStringLiteral("undoText"));
    m_undoText->setTextFormat(Qt::PlainText);
    m_undoText->setWordWrap(true);
    auto *undoButton = new QPushButton(tr("Undo"), m_undoBar);
    undoButton->setObjectName(QStringLiteral("undoButton"));
    undoButton->setAutoDefault(false);
    connect(undoButton, &QPushButton::clicked, this, &ShortcutsEditorView::undoDelete);
    auto *undoRow = new QHBoxLayout(m_undoBar);
    undoRow->setContentsMargins(12, 0, 12, 0);
    undoRow->addWidget(m_undoText, 1);
    undoRow->addWidget(undoButton);
    m_undoBar->hide();
    m_undoTimer->setSingleShot(true);
    m_undoTimer->setInterval(undoTimeMs);
    connect(m_undoTimer, &QTimer::timeout, this, &ShortcutsEditorView::endUndo);
    auto *undoShortcut = new QShortcut(QKeySequence::Undo, this, this, &ShortcutsEditorView::undoDelete);
    undoShortcut->setContext(Qt::WidgetWithChildrenShortcut);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(m_list);
    layout->addWidget(m_undoBar);
    layout->addLayout(bottom);

    // The keyboard's way in: the window opens with the focus on none of
    // the controls, so the first Tab reaches the list.
    setFocusPolicy(Qt::ClickFocus);
    setFocus(Qt::OtherFocusReason);
    setTabOrder(m_list, addButton);
    setTabOrder(addButton, configurationButton);
    setTabOrder(configurationButton, undoButton);
}

ShortcutsEditorView::~ShortcutsEditorView()
{
    // The form must not report back into a half-destroyed view.
    if (m_editForm)
        m_editForm->disconnect(this);
}

void ShortcutsEditorView::launch(const LaunchButton &button)
{
    m_model->manager().launchButton(button);
}

void ShortcutsEditorView::add()
{
    HotkeyButtons &manager = m_model->manager();
    manager.addButton();
    if (manager.buttons().isEmpty())
        return;
    const LaunchButton added = manager.buttons().constLast();
    selectRow(manager.buttons().size() - 1);
    if (m_editForm)
        return;
    startEdit(added);
    m_addedButton = added.id();
}

void ShortcutsEditorView::selectRow(qsizetype row)
{
    const QModelIndex index = m_model->index(int(row));
    if (!index.isValid())
        return;
    m_list->setCurrentIndex(index);
    m_list->scrollTo(index);
}

std::optional<qsizetype> ShortcutsEditorView::positionOf(QUuid id) const
{
    const LaunchButtonList &buttons = m_model->buttons();
    const auto found = std::find_if(buttons.cbegin(), buttons.cend(),
                                    [id](const LaunchButton &b) { return b.id() == id; });
    if (found == buttons.cend())
        return std::nullopt;
    return found - buttons.cbegin();
}

void ShortcutsEditorView::startEdit(const LaunchButton &button)
{
    if (m_editForm)
        return; // one form at a time
    Log::line(QStringLiteral("✏️ Starting edit for button: ") + button.name);
    m_model->manager().unregisterAllShortcuts();
    m_editingButton = button;

    const QUuid id = button.id();
    m_editForm = new EditButtonView(
        button,
        [this, id](const QString &name, const QString &shortcut, std::optional<QUrl> appURL,
                   ButtonPreferences::LaunchMode launchMode) {
            saveEdit(id, name, shortcut, std::move(appURL), launchMode);
        },
        this);
    m_editForm->setLaunchChoice(m_model->manager().launchMode(id), m_model->manager().canBringToFront());
    m_editForm->setShortcutCheck([this, id](const QString &shortcut) {
        return shortcutWarning(m_model->manager().checkShortcut(id, shortcut));
    });
    m_editForm->setAttribute(Qt::WA_DeleteOnClose);
    m_editForm->setWindowModality(Qt::WindowModal);
    connect(m_editForm, &QDialog::finished, this, &ShortcutsEditorView::editFormClosed);
    m_editForm->open();
}

void ShortcutsEditorView::saveEdit(QUuid id, const QString &name, const QString &shortcut, std::optional<QUrl> appURL,
                             ButtonPreferences::LaunchMode launchMode)
{
    Log::line(QStringLiteral("💾 Saving edited button: ") + name + QStringLiteral(" with shortcut: ") + shortcut);
    HotkeyButtons &manager = m_model->manager();
    manager.setLaunchMode(id, launchMode);
    manager.updateButton(id, name, shortcut, std::move(appURL));
    m_model->forgetLaunchFailure(id);
    m_editingButton.reset();
    m_addedButton.reset();
    if (const std::optional<qsizetype> position = positionOf(id))
        selectRow(*position);
    manager.registerAllShortcuts();
}

void ShortcutsEditorView::editFormClosed(int result)
{
    m_editingButton.reset();
    // The keyboard comes back here, also where no window manager hands it
    // on: the editor's shortcuts (Ctrl+Z) work only in the active window.
    if (isVisible())
        window()->activateWindow();
    // A new button left at its first form was not wanted after all.
    if (const std::optional<QUuid> added = std::exchange(m_addedButton, std::nullopt); added && result != QDialog::Accepted) {
        if (const std::optional<qsizetype> position = positionOf(*added))
            m_model->deleteButtons({*position});
    }
    // Editing took every hotkey away; a form left without saving gives them
    // back here (a save has registered them already).
    if (result != QDialog::Accepted)
        m_model->manager().registerAllShortcuts();
}

void ShortcutsEditorView::deleteButton(const LaunchButton &button)
{
    const std::optional<qsizetype> position = positionOf(button.id());
    if (!position)
        return;
    // What Undo needs, taken before the button and its settings go.
    const LaunchButton deleted = m_model->buttons().at(*position);
    m_deleted = DeletedButton{*position, deleted, m_model->manager().launchMode(deleted.id())};
    const bool listHadFocus = m_list->hasFocus();
    m_model->deleteButtons({*position});
    if (m_model->rowCount() > 0)
        selectRow(std::min<qsizetype>(*position, m_model->rowCount() - 1));
    if (listHadFocus)
        m_list->setFocus(Qt::OtherFocusReason);
    offerUndo(deleted.name);
}

void ShortcutsEditorView::offerUndo(const QString &name)
{
    m_undoText->setText(tr("Deleted \u201c%1\u201d").arg(name));
    m_undoBar->show();
    m_undoTimer->start();
}

void ShortcutsEditorView::endUndo()
{
    m_undoTimer->stop();
    m_deleted.reset();
    const bool hadFocus = m_undoBar->isAncestorOf(QApplication::focusWidget());
    m_undoBar->hide();
    if (hadFocus)
        m_list->setFocus(Qt::OtherFocusReason);
}

void ShortcutsEditorView::undoDelete()
{
    if (!m_deleted)
        return;
    const DeletedButton deleted = *m_deleted;
    m_model->manager().restoreButton(deleted.position, deleted.button, deleted.launchMode);
    if (const std::optional<qsizetype> position = positionOf(deleted.button.id()))
        selectRow(*position);
    endUndo();
}
