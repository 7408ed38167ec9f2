#include "ui/ConfigurationView.h"

#include "hotkeys/HotkeyButtons.h"
#include "model/Log.h"
#include "ui/Icons.h"

#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int statusIconSize = 16;

QLabel *headingLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setWeight(QFont::Medium);
    label->setFont(font);
    return label;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

bool isActive(Qt::ApplicationState state)
{
    return state == Qt::ApplicationActive;
}
} // namespace

ConfigurationView::ConfigurationView(HotkeyButtons &manager, QWidget *parent)
    : QWidget(parent), m_manager(manager), m_configPath(manager.saveFilePath()),
      m_wasActive(isActive(QGuiApplication::applicationState())), m_statusIcon(new QLabel(this)),
      m_requestButton(new QPushButton(tr("Request Permission"), this)),
      m_hint(new QLabel(tr("Required for global shortcuts"), this)),
      m_activateCommand(new QLabel(QStringLiteral("vantorel --activate NAME"), this)),
      m_serviceProblem(new QLabel(this)),
      m_giveConsent(new QPushButton(manager.desktopConsentRequest(), this)),
      m_withdrawConsent(new QPushButton(manager.desktopConsentWithdrawal(), this))
{
    auto *path = new QLabel(m_configPath, this);
    path->setObjectName(QStringLiteral("pathLabel"));
    path->setTextFormat(Qt::PlainText);
    path->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    path->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    path->setForegroundRole(QPalette::PlaceholderText);
    path->setWordWrap(true);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    m_statusIcon->setObjectName(QStringLiteral("statusIcon"));
    m_statusIcon->setFixedSize(statusIconSize, statusIconSize);

    auto *refresh = new QToolButton(this);
    refresh->setObjectName(QStringLiteral("refreshButton"));
    refresh->setIcon(Icons::symbolic(QStringLiteral("view-refresh-symbolic"), QStringLiteral("arrow.clockwise")));
    refresh->setIconSize(QSize(12, 12));
    refresh->setAutoRaise(true);
    refresh->setToolTip(tr("Check again"));
    refresh->setAccessibleName(tr("Check again"));
    connect(refresh, &QToolButton::clicked, this, &ConfigurationView::refreshPermissionStatus);

    m_requestButton->setObjectName(QStringLiteral("requestButton"));
    connect(m_requestButton, &QPushButton::clicked, this, &ConfigurationView::requestPermission);

    m_hint->setObjectName(QStringLiteral("hintLabel"));
    m_hint->setForegroundRole(QPalette::PlaceholderText);
    QFont caption = m_hint->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_hint->setFont(caption);

    auto *permissionRow = new QHBoxLayout;
    permissionRow->addWidget(m_statusIcon);
    permissionRow->addWidget(refresh);
    // What Linux has in place of a permission: global shortcuts that work
    // in this session or not (the service they go through is named below).
    permissionRow->addWidget(headingLabel(tr("Global Shortcuts"), this));
    permissionRow->addSpacing(8);
    permissionRow->addWidget(m_requestButton);
    permissionRow->addStretch();

    auto *backend = new QLabel(tr("Global shortcuts through: %1").arg(displayName(manager.hotkeyBackend())), this);
    backend->setObjectName(QStringLiteral("backendLabel"));
    backend->setForegroundRole(QPalette::PlaceholderText);
    backend->setFont(caption);

    // Where the desktop owns the keys, the user changes them there.
    auto *desktopSettings = new QPushButton(tr("Change in desktop settings…"), this);
    desktopSettings->setObjectName(QStringLiteral("desktopSettingsButton"));
    desktopSettings->setVisible(manager.hasDesktopShortcutSettings());
    connect(desktopSettings, &QPushButton::clicked, this, [this] { m_manager.openDesktopShortcutSettings(); });
    auto *backendRow = new QHBoxLayout;
    backendRow->addWidget(backend);
    backendRow->addSpacing(8);
    backendRow->addWidget(desktopSettings);
    backendRow->addStretch();

    // GNOME before 48 asks no one before a program adds shortcuts to its
    // settings, so the program asks here, as GNOME 48's portal does.
    m_giveConsent->setObjectName(QStringLiteral("giveDesktopConsentButton"));
    m_withdrawConsent->setObjectName(QStringLiteral("withdrawDesktopConsentButton"));
    connect(m_giveConsent, &QPushButton::clicked, this, [this] { m_manager.setDesktopConsent(true); });
    connect(m_withdrawConsent, &QPushButton::clicked, this, [this] { m_manager.setDesktopConsent(false); });
    connect(&manager, &HotkeyButtons::desktopConsentChanged, this, &ConfigurationView::showDesktopConsent);
    auto *consentRow = new QHBoxLayout;
    consentRow->addWidget(m_giveConsent);
    consentRow->addWidget(m_withdrawConsent);
    consentRow->addStretch();

    m_activateCommand->setObjectName(QStringLiteral("activateCommand"));
    m_activateCommand->setTextFormat(Qt::PlainText);
    m_activateCommand->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_activateCommand->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(8);
    layout->addWidget(headingLabel(tr("Buttons configuration storage path:"), this));
    layout->addWidget(path);
    layout->addWidget(divider);
    layout->addWidget(headingLabel(tr("Permissions:"), this));
    layout->addLayout(permissionRow);
    // The hint sits under the row: beside it the row would not fit the window.
    layout->addWidget(m_hint);
    layout->addWidget(m_activateCommand);
    layout->addLayout(backendRow);
    m_serviceProblem->setObjectName(QStringLiteral("serviceProblem"));
    m_serviceProblem->setTextFormat(Qt::PlainText);
    m_serviceProblem->setWordWrap(true);
    m_serviceProblem->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(m_serviceProblem);
    layout->addLayout(consentRow);
    layout->addStretch();
    auto *version = new QLabel(tr("Vantorel %1").arg(QCoreApplication::applicationVersion()), this);
    version->setObjectName(QStringLiteral("versionLabel"));
    version->setForegroundRole(QPalette::PlaceholderText);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    version->setVisible(!QCoreApplication::applicationVersion().isEmpty());
    layout->addWidget(version, 0, Qt::AlignRight);

    connect(qApp, &QGuiApplication::applicationStateChanged, this, &ConfigurationView::applicationStateChanged);
    showPermission();
    showDesktopConsent();
}

void ConfigurationView::showDesktopConsent()
{
    const bool asked = !m_manager.desktopConsentRequest().isEmpty();
    const bool given = m_manager.hasDesktopConsent();
    m_giveConsent->setVisible(asked && !given);
    m_withdrawConsent->setVisible(asked && given);
}

void ConfigurationView::refreshPermissionStatus()
{
    m_hotkeysWork = m_manager.hotkeysWork();
    Log::line(QStringLiteral("🔐 Accessibility Permission Check:"));
    Log::line(QStringLiteral("  • Status: ") + HotkeyButtons::permissionName(m_hotkeysWork));
    showPermission();
}

void ConfigurationView::requestPermission()
{
    // Linux has nothing to ask for: the answer is whether hotkeys work now.
    Log::line(QStringLiteral("Permission request initiated: ") + boolText(m_manager.hotkeysWork()));
    QTimer::singleShot(recheckDelayMs, this, &ConfigurationView::refreshPermissionStatus);
}

void ConfigurationView::applicationStateChanged(Qt::ApplicationState state)
{
    const bool active = isActive(state);
    if (active == m_wasActive)
        return;
    Log::line(QStringLiteral("🔄 App active state changed: ") + boolText(m_wasActive) + QStringLiteral(" -> ")
              + boolText(active));
    m_wasActive = active;
    refreshPermissionStatus();
}

void ConfigurationView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return; // the window system re-showing it, not the view appearing
    Log::line(QStringLiteral("📱 View appeared"));
    refreshPermissionStatus();
}

void ConfigurationView::showPermission()
{
    const QString symbol
        = m_hotkeysWork ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("exclamationmark.circle.fill");
    m_statusIcon->setPixmap(Icons::bundled(symbol).pixmap(QSize(statusIconSize, statusIconSize), devicePixelRatioF()));
    m_statusIcon->setProperty("symbol", symbol);
    const QString status = m_hotkeysWork ? tr("Working in this session") : tr("Not working in this session");
    m_statusIcon->setToolTip(status);
    m_statusIcon->setAccessibleName(status);
    // Without a shortcut service there is nothing to request: a command
    // bound in the desktop's settings is the way to a button.
    const bool noService = m_manager.hotkeyBackend() == HotkeyBackend::None;
    m_requestButton->setVisible(!m_hotkeysWork && !noService);
    m_hint->setText(noService ? tr("This session has no global shortcut service. To launch a button with a key, "
                                   "bind this command to the key in your desktop's keyboard settings:")
                              : tr("Required for global shortcuts"));
    m_hint->setWordWrap(noService);
    m_hint->setVisible(!m_hotkeysWork);
    m_activateCommand->setVisible(!m_hotkeysWork && noService);
    const QString problem = m_manager.hotkeyServiceProblem();
    m_serviceProblem->setText(problem);
    m_serviceProblem->setVisible(!problem.isEmpty());
}
