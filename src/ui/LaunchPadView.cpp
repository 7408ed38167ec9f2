#include "LaunchPadView.h"

#include "EditButtonView.h"
#include "HotKeyManager.h"
#include "Icons.h"
#include "LaunchButtonRow.h"
#include "LaunchPadViewModel.h"
#include "Log.h"
#include "NativeButtonStyle.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int addIconSize = 24;
constexpr int bottomPadding = 16;
} // namespace

LaunchPadView::LaunchPadView(HotKeyManager &manager, QWidget *parent)
    : QWidget(parent), m_viewModel(new LaunchPadViewModel(manager, this)), m_launchStyle(new NativeButtonStyle),
      m_rows(new QVBoxLayout)
{
    m_launchStyle->setParent(this);

    auto *list = new QWidget;
    list->setObjectName(QStringLiteral("buttonList"));
    auto *listLayout = new QVBoxLayout(list);
    listLayout->setContentsMargins(16, 8, 16, 8);
    listLayout->setSpacing(4);
    listLayout->addLayout(m_rows);
    listLayout->addStretch();
    m_rows->setSpacing(6);

    auto *scroll = new QScrollArea(this);
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

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
    layout->addWidget(scroll);
    layout->addLayout(bottom);

    connect(m_viewModel, &LaunchPadViewModel::buttonsChanged, this, &LaunchPadView::rebuildRows);
    rebuildRows();
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
    m_viewModel->copyFromManager();
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
        [this, id](const QString &name, const QString &shortcut, std::optional<QUrl> appURL) {
            saveEdit(id, name, shortcut, std::move(appURL));
        },
        this);
    m_editForm->setAttribute(Qt::WA_DeleteOnClose);
    m_editForm->setWindowModality(Qt::WindowModal);
    connect(m_editForm, &QDialog::finished, this, &LaunchPadView::editFormClosed);
    m_editForm->open();
}

void LaunchPadView::saveEdit(QUuid id, const QString &name, const QString &shortcut, std::optional<QUrl> appURL)
{
    Log::line(QStringLiteral("💾 Saving edited button: ") + name + QStringLiteral(" with shortcut: ") + shortcut);
    HotKeyManager &manager = m_viewModel->manager();
    manager.updateButton(id, name, shortcut, std::move(appURL));
    m_viewModel->copyFromManager();
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

void LaunchPadView::rebuildRows()
{
    // A row may be the sender of the click that got us here: detach it now,
    // delete it once the click is over.
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        if (QWidget *row = item->widget()) {
            row->hide();
            row->setParent(nullptr);
            row->deleteLater();
        }
        delete item;
    }
    for (const LaunchButton &button : m_viewModel->buttons()) {
        auto *row = new LaunchButtonRow(button, m_launchStyle);
        connect(row, &LaunchButtonRow::launchRequested, this, &LaunchPadView::launch);
        connect(row, &LaunchButtonRow::editRequested, this, &LaunchPadView::startEdit);
        connect(row, &LaunchButtonRow::deleteRequested, this, &LaunchPadView::deleteButton);
        m_rows->addWidget(row);
    }
}
