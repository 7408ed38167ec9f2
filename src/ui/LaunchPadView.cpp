#include "LaunchPadView.h"

#include "EditButtonView.h"
#include "HotKeyManager.h"
#include "HotkeyStateBadge.h"
#include "Icons.h"
#include "LaunchButtonListView.h"
#include "LaunchPadViewModel.h"
#include "Log.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int addIconSize = 24;
constexpr int bottomPadding = 16;

// Said under the shortcut field; empty when nothing stands in the way.
QString shortcutWarning(const HotKeyManager::ShortcutCheck &check)
{
    QStringList lines;
    if (check.sameAs)
        lines.append(LaunchPadView::tr("\"%1\" has the same shortcut").arg(*check.sameAs));
    if (check.desktop.kind == ShortcutState::Kind::Pending)
        lines.append(check.desktop.detail); // nothing is asked yet: no waiting to speak of
    else if (check.desktop.kind != ShortcutState::Kind::Live)
        lines.append(HotkeyStateBadge::toolTip(check.desktop));
    return lines.join(QLatin1Char('\n'));
}
} // namespace

LaunchPadView::LaunchPadView(HotKeyManager &manager, QWidget *parent)
    : QWidget(parent), m_viewModel(new LaunchPadViewModel(manager, this)), m_list(new LaunchButtonListView(this))
{
    m_list->setObjectName(QStringLiteral("buttonList"));
    m_list->setModel(m_viewModel);
    // A row is looked up when it is clicked: the list may have changed since.
    const auto withButton = [this](void (LaunchPadView::*action)(const LaunchButton &)) {
        return [this, action](int row) {
            const LaunchButtonList &buttons = m_viewModel->buttons();
            if (row >= 0 && row < buttons.size())
                (this->*action)(LaunchButton(buttons.at(row)));
        };
    };
    connect(m_list, &LaunchButtonListView::launchRequested, this, withButton(&LaunchPadView::launch));
    connect(m_list, &LaunchButtonListView::editRequested, this, withButton(&LaunchPadView::startEdit));
    connect(m_list, &LaunchButtonListView::deleteRequested, this, withButton(&LaunchPadView::deleteButton));

    auto *addButton = new QToolButton(this);
    addButton->setObjectName(QStringLiteral("addButton"));
    addButton->setIcon(Icons::bundled(QStringLiteral("plus.circle.fill")));
    addButton->setIconSize(QSize(addIconSize, addIconSize));
    addButton->setAutoRaise(true);
    addButton->setCursor(Qt::PointingHandCursor);
    addButton->setToolTip(tr("Add Button"));
    connect(addButton, &QToolButton::clicked, this, &LaunchPadView::add);

    auto *configurationButton = new QToolButton(this);
    configurationButton->setObjectName(QStringLiteral("configurationButton"));
    configurationButton->setIcon(
        Icons::themed(QStringLiteral("emblem-system-symbolic"), QStringLiteral("gearshape")));
    configurationButton->setIconSize(QSize(16, 16));
    configurationButton->setAutoRaise(true);
    configurationButton->setToolTip(tr("Configuration"));
    connect(configurationButton, &QToolButton::clicked, this, &LaunchPadView::configurationRequested);

    // The plus stays centred: the gear on the right is balanced on the left.
    auto *bottom = new QHBoxLayout;
    bottom->setContentsMargins(12, 0, 12, bottomPadding);
    bottom->addSpacing(configurationButton->sizeHint().width());
    bottom->addStretch();
    bottom->addWidget(addButton);
    bottom->addStretch();
    bottom->addWidget(configurationButton, 0, Qt::AlignBottom);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(m_list);
    layout->addLayout(bottom);
}

LaunchPadView::~LaunchPadView()
{
    // The form must not report back into a half-destroyed view.
    if (m_editForm)
        m_editForm->disconnect(this);
}

void LaunchPadView::launch(const LaunchButton &button)
{
    m_viewModel->manager().launchButton(button);
}

void LaunchPadView::add()
{
    m_viewModel->manager().addButton();
}

void LaunchPadView::startEdit(const LaunchButton &button)
{
    if (m_editForm)
        return; // one form at a time
    Log::line(QStringLiteral("✏️ Starting edit for button: ") + button.name);
    m_viewModel->manager().unregisterAllShortcuts();
    m_editingButton = button;

    const QUuid id = button.id();
    m_editForm = new EditButtonView(
        button,
        [this, id](const QString &name, const QString &shortcut, std::optional<QUrl> appURL,
                   ButtonPreferences::LaunchMode launchMode) {
            saveEdit(id, name, shortcut, std::move(appURL), launchMode);
        },
        this);
    m_editForm->setLaunchChoice(m_viewModel->manager().launchMode(id), m_viewModel->manager().canBringToFront());
    m_editForm->setShortcutCheck([this, id](const QString &shortcut) {
        return shortcutWarning(m_viewModel->manager().checkShortcut(id, shortcut));
    });
    m_editForm->setAttribute(Qt::WA_DeleteOnClose);
    m_editForm->setWindowModality(Qt::WindowModal);
    connect(m_editForm, &QDialog::finished, this, &LaunchPadView::editFormClosed);
    m_editForm->open();
}

void LaunchPadView::saveEdit(QUuid id, const QString &name, const QString &shortcut, std::optional<QUrl> appURL,
                             ButtonPreferences::LaunchMode launchMode)
{
    Log::line(QStringLiteral("💾 Saving edited button: ") + name + QStringLiteral(" with shortcut: ") + shortcut);
    HotKeyManager &manager = m_viewModel->manager();
    manager.setLaunchMode(id, launchMode);
    manager.updateButton(id, name, shortcut, std::move(appURL));
    m_editingButton.reset();
    manager.registerAllShortcuts();
}

void LaunchPadView::editFormClosed(int result)
{
    m_editingButton.reset();
    // Editing took every hotkey away; a form left without saving gives them
    // back here (a save has registered them already).
    if (result != QDialog::Accepted)
        m_viewModel->manager().registerAllShortcuts();
}

void LaunchPadView::deleteButton(const LaunchButton &button)
{
    const LaunchButtonList &buttons = m_viewModel->buttons();
    const auto found = std::find_if(buttons.cbegin(), buttons.cend(),
                                    [&button](const LaunchButton &b) { return b.id() == button.id(); });
    if (found == buttons.cend())
        return;
    m_viewModel->deleteButtons({found - buttons.cbegin()});
}
