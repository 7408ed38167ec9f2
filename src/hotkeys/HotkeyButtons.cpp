#include "hotkeys/HotkeyButtons.h"

#include "hotkeys/ShortcutId.h"
#include "model/KeyboardShortcut.h"
#include "model/Log.h"
#include "platform/posix/RunningExecutable.h"

#include <QDir>

#include <algorithm>

namespace {
QString homeOr(const QString &directory)
{
    return directory.isEmpty() ? QDir::homePath() : directory;
}
} // namespace

HotkeyButtons::HotkeyButtons(Services services, QObject *parent)
    : QObject(parent), m_services(std::move(services)), m_store(homeOr(m_services.homeDirectory)),
      m_preferences(m_services.configDirectory),
      m_launcher(m_services.launcher, m_services.windows, m_services.openWebAddress, m_preferences),
      m_registry(m_store, m_services.shortcuts, m_launcher)
{
    if (m_services.shortcuts) {
        connect(m_services.shortcuts.get(), &GlobalShortcutService::consentChanged, this,
                &HotkeyButtons::desktopConsentChanged);
    }
    // A button gone from the list takes its settings with it.
    connect(&m_store, &ButtonStore::changed, this, [this] {
        QList<QUuid> ids;
        for (const LaunchButton &button : m_store.buttons())
            ids.append(button.id());
        m_preferences.keepOnly(ids);
    });
    connect(&m_store, &ButtonStore::changed, this, &HotkeyButtons::buttonsChanged);
    connect(&m_registry, &HotkeyRegistry::stateChanged, this, &HotkeyButtons::hotkeyStateChanged);
    m_launcher.setOnOutcome([this](QUuid buttonId, const std::optional<QString> &failure) {
        if (failure)
            Q_EMIT launchFailed(buttonId, *failure);
        else
            Q_EMIT launchStarted(buttonId);
    });
    if (m_services.applicationPath.isEmpty())
        m_services.applicationPath = RunningExecutable::path();

    Log::line(QStringLiteral("🚀 HotKeyManager initialized"));
    Log::line(QStringLiteral("📍 App Location: ") + m_services.applicationPath);
    Log::line(QStringLiteral("🔐 Initial Permission Status: ") + permissionName(hotkeysWork()));
    m_store.loadButtons();
    m_registry.registerAllShortcuts();
    // From the event loop: the manager may be made before the application.
    QMetaObject::invokeMethod(this, [this] { m_store.watchFile(); }, Qt::QueuedConnection);
}

void HotkeyButtons::updateButton(QUuid id, QString name, QString shortcut, std::optional<QUrl> appURL)
{
    m_store.updateButton(id, std::move(name), std::move(shortcut), std::move(appURL));
}

HotkeyButtons::ShortcutCheck HotkeyButtons::checkShortcut(QUuid buttonId, const QString &shortcutText) const
{
    const std::optional<QKeyCombination> combination = parseShortcutText(shortcutText).keyCombination();
    if (!combination)
        return {std::nullopt, {ShortcutState::Kind::KeyUnavailable, {}, QStringLiteral("Vantorel cannot bind this key.")}};
    ShortcutCheck check;
    const QString key = ShortcutId::of(*combination);
    for (const LaunchButton &button : m_store.buttons()) {
        const std::optional<QKeyCombination> other = parseShortcutText(button.shortcut).keyCombination();
        if (button.id() != buttonId && other && ShortcutId::of(*other) == key) {
            check.sameAs = button.name;
            break;
        }
    }
    check.desktop = m_registry.probe(*combination);
    return check;
}

QString HotkeyButtons::desktopConsentRequest() const
{
    return m_services.shortcuts ? m_services.shortcuts->consentRequest() : QString();
}

QString HotkeyButtons::desktopConsentWithdrawal() const
{
    return m_services.shortcuts ? m_services.shortcuts->consentWithdrawal() : QString();
}

bool HotkeyButtons::hasDesktopConsent() const
{
    return !m_services.shortcuts || m_services.shortcuts->hasConsent();
}

void HotkeyButtons::setDesktopConsent(bool given)
{
    if (m_services.shortcuts)
        m_services.shortcuts->setConsent(given);
}

bool HotkeyButtons::activateButton(const QString &nameOrId)
{
    const LaunchButtonList &buttons = m_store.buttons();
    const auto named = [&](Qt::CaseSensitivity sensitivity) {
        return std::find_if(buttons.cbegin(), buttons.cend(), [&](const LaunchButton &button) {
            return button.name.compare(nameOrId, sensitivity) == 0;
        });
    };
    auto found = named(Qt::CaseSensitive);
    if (found == buttons.cend())
        found = named(Qt::CaseInsensitive);
    if (found == buttons.cend()) {
        const QUuid id = QUuid::fromString(nameOrId);
        found = std::find_if(buttons.cbegin(), buttons.cend(),
                             [id](const LaunchButton &button) { return !id.isNull() && button.id() == id; });
    }
    if (found == buttons.cend())
        return false;
    const LaunchButton button = *found; // the launch may change the list
    Log::line(QStringLiteral("⌨️ Activated by command: ") + button.name);
    m_launcher.launch(button, 0);
    return true;
}

void HotkeyButtons::restoreButton(qsizetype position, const LaunchButton &button,
                                  ButtonPreferences::LaunchMode launchMode)
{
    m_store.insertButton(position, button);
    // After the insertion: a change of the list drops the settings of
    // buttons it does not hold.
    if (m_store.find(button.id()))
        m_preferences.setLaunchMode(button.id(), launchMode);
}

bool HotkeyButtons::hotkeysWork() const
{
    return hotkeyBackend() != HotkeyBackend::None && hotkeyServiceProblem().isEmpty();
}

QString HotkeyButtons::permissionName(bool hotkeysWork)
{
    return hotkeysWork ? QStringLiteral("granted") : QStringLiteral("denied");
}
