#include "HotKeyManager.h"

#include "KeyCodes.h"
#include "KeyboardShortcut.h"
#include "Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {
HotKeyManager::Services &sharedServices()
{
    static HotKeyManager::Services services;
    return services;
}
} // namespace

void HotKeyManager::provideSharedServices(Services services)
{
    sharedServices() = std::move(services);
}

HotKeyManager &HotKeyManager::shared()
{
    // Created once even under concurrent first use; never destroyed.
    static HotKeyManager *const instance = new HotKeyManager(sharedServices());
    return *instance;
}

HotKeyManager::HotKeyManager(Services services)
    : m_services(std::move(services)),
      m_file((m_services.homeDirectory.isEmpty() ? QDir::homePath() : m_services.homeDirectory)
             + QStringLiteral("/.vantorel"))
{
    if (m_services.applicationPath.isEmpty())
        m_services.applicationPath = QCoreApplication::applicationFilePath();

    Log::line(QStringLiteral("🚀 HotKeyManager initialized"));
    const bool inDerivedData = m_services.applicationPath.contains(QStringLiteral("DerivedData"));
    Log::line(QStringLiteral("📍 App Location: ") + m_services.applicationPath);
    Log::line(QStringLiteral("🔐 Initial Permission Status: ")
              + permissionName(checkAccessibilityPermission()));
    if (inDerivedData)
        Log::line(QStringLiteral("⚠️ Warning: Running from DerivedData - permissions may not persist"));
    loadButtons();
    registerAllShortcuts();
}

void HotKeyManager::setButtons(LaunchButtonList buttons)
{
    emit buttonsAboutToChange();
    m_buttons = std::move(buttons);
}

void HotKeyManager::removeButtons(QList<qsizetype> positions)
{
    std::sort(positions.begin(), positions.end(), std::greater<>());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (qsizetype position : positions) {
        if (position < 0 || position >= m_buttons.size())
            continue;
        emit buttonsAboutToChange();
        m_buttons.removeAt(position);
    }
}

// ---- the button file ------------------------------------------------------

void HotKeyManager::loadButtons()
{
    Log::line(QStringLiteral("📱 Loading buttons"));
    if (!m_file.exists()) {
        setButtons({LaunchButton(QUuid::createUuid(), QStringLiteral("Scrivara"),
                                 QStringLiteral("⌘ + ⌥ + F"), QUrl(QStringLiteral("https://scrivara.com")))});
        saveButtons();
        Log::line(QStringLiteral("📝 Created default buttons"));
        return;
    }
    auto loaded = m_file.load();
    if (auto *error = std::get_if<QString>(&loaded)) {
        Log::line(QStringLiteral("❌ Error loading buttons: ") + *error);
        return;
    }
    setButtons(std::get<LaunchButtonList>(std::move(loaded)));
    Log::line(QStringLiteral("📂 Loaded %1 buttons").arg(m_buttons.size()));
}

void HotKeyManager::saveButtons()
{
    const ButtonFile::SaveResult result = m_file.save(m_buttons);
    if (result.movedAsideTo)
        Log::line(QStringLiteral("⚠️ Moved the unreadable button file aside to ") + *result.movedAsideTo);
    if (result.error)
        Log::line(QStringLiteral("❌ Error saving buttons: ") + *result.error);
    else
        Log::line(QStringLiteral("💾 Saved %1 buttons").arg(m_buttons.size()));
}

// ---- the hotkey registry ----------------------------------------------------

QString HotKeyManager::shortcutId(quint32 keyCode, quint32 modifierMask, quint32 signature)
{
    return QStringLiteral("%1_%2_%3").arg(keyCode).arg(modifierMask).arg(signature);
}

quint32 HotKeyManager::modifierMask(ModifierFlags modifiers)
{
    quint32 mask = 0;
    if (modifiers.contains(ModifierFlags::command))
        mask |= HotkeyModifier::command;
    if (modifiers.contains(ModifierFlags::shift))
        mask |= HotkeyModifier::shift;
    if (modifiers.contains(ModifierFlags::option))
        mask |= HotkeyModifier::option;
    if (modifiers.contains(ModifierFlags::control))
        mask |= HotkeyModifier::control;
    return mask;
}

void HotKeyManager::registerAllShortcuts()
{
    Log::line(QStringLiteral("🎹 Registering shortcuts for %1 buttons").arg(m_buttons.size()));
    const LaunchButtonList snapshot = m_buttons;
    for (const LaunchButton &button : snapshot)
        registerShortcut(button);
}

void HotKeyManager::registerShortcut(const LaunchButton &button)
{
    const KeyboardShortcut shortcut = parseShortcutText(button.shortcut);
    QPointer<HotKeyManager> manager(this);
    registerHotKey(shortcut.key, shortcut.modifiers, [manager, button] {
        if (manager)
            manager->launchButton(button);
    });
}

void HotKeyManager::registerHotKey(const QString &key, ModifierFlags modifiers, Handler handler)
{
    Log::line(QStringLiteral("🎹 Registering shortcut: ") + key + QStringLiteral(" with modifiers: ")
              + modifiers.logDescription());
    const quint32 mask = modifierMask(modifiers);
    const std::optional<quint32> code = keyCode(key);
    HotkeyService *hotkeys = m_services.hotkeys.get();
    if (!code || !hotkeys) {
        Log::line(QStringLiteral("❌ Failed to register shortcut: ") + key);
        return;
    }
    const QString id = shortcutId(*code, mask, signature);
    Log::line(QStringLiteral("🔑 Creating shortcut ID: %1 (key: %2, keycode: %3, modifiers: %4)")
                  .arg(id, key).arg(*code).arg(mask));

    if (m_shortcutHandlers.isEmpty())
        hotkeys->installPressHandler([this](const HotkeyPress &press) { return handleHotKeyEvent(press); });

    if (const auto existing = m_hotKeyRefs.constFind(id); existing != m_hotKeyRefs.constEnd()) {
        hotkeys->unregisterHotkey(*existing);
        m_hotKeyRefs.remove(id);
        m_shortcutHandlers.remove(id);
    }

    const std::optional<HotkeyHandle> handle = hotkeys->registerHotkey(*code, mask, {signature, *code, mask});
    if (!handle) {
        Log::line(QStringLiteral("❌ Failed to register shortcut: ") + key);
        return;
    }
    m_hotKeyRefs.insert(id, *handle);
    std::weak_ptr<HotkeyService> service = m_services.hotkeys;
    m_shortcutHandlers.insert(id, [service, handler = std::move(handler)] {
        if (auto live = service.lock())
            live->setActivationPolicyAccessory();
        handler();
    });
    Log::line(QStringLiteral("✅ Successfully registered shortcut: ") + key);
}

void HotKeyManager::unregisterAllShortcuts()
{
    Log::line(QStringLiteral("🚫 Unregistering all shortcuts"));
    for (auto it = m_hotKeyRefs.constBegin(); it != m_hotKeyRefs.constEnd(); ++it) {
        if (m_services.hotkeys)
            m_services.hotkeys->unregisterHotkey(it.value());
        Log::line(QStringLiteral("🗑️ Unregistered shortcut: ") + it.key());
    }
    m_hotKeyRefs.clear();
    m_shortcutHandlers.clear();
}

int HotKeyManager::handleHotKeyEvent(const HotkeyPress &press)
{
    const HotkeyIdentity identity = m_services.hotkeys ? m_services.hotkeys->identityOf(press) : HotkeyIdentity{};
    const QString id = shortcutId(identity.id, identity.modifiers, identity.signature);
    Log::line(QStringLiteral("⌨️ Shortcut pressed with ID: ") + id);
    const auto found = m_shortcutHandlers.constFind(id);
    if (found == m_shortcutHandlers.constEnd()) {
        Log::line(QStringLiteral("❌ No handler found for shortcut: ") + id);
        Log::line(QStringLiteral("🔍 Available handlers: ") + m_shortcutHandlers.keys().join(QStringLiteral(", ")));
        return 0;
    }
    Log::line(QStringLiteral("✨ Found handler for shortcut: ") + id);
    // Run after the press handling has returned, from the event loop.
    QTimer::singleShot(0, this, Handler(found.value()));
    return 0;
}

// ---- launching and list operations -----------------------------------------

void HotKeyManager::launchButton(const LaunchButton &button)
{
    if (!button.appURLString)
        return;
    const QString &text = *button.appURLString;
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return;
    if (text.startsWith(QStringLiteral("http://")) || text.startsWith(QStringLiteral("https://"))) {
        Log::line(QStringLiteral("🌐 Launching web URL: ") + text);
        if (m_services.openWebAddress)
            m_services.openWebAddress(text);
        else
            Log::line(QStringLiteral("❌ No web window to show ") + text);
        return;
    }
    Log::line(QStringLiteral("📱 Launching app: ") + text);
    const std::optional<QString> failure = m_services.launcher
        ? m_services.launcher->openApplication(url)
        : std::optional<QString>(QStringLiteral("no application launcher in this session"));
    if (failure)
        Log::line(QStringLiteral("❌ Failed to launch app: ") + text + QStringLiteral(": ") + *failure);
}

void HotKeyManager::addButton()
{
    const QString placeholderShortcut = QStringLiteral("⌘%1").arg(m_buttons.size() + 1);
    LaunchButtonList buttons = m_buttons;
    buttons.append(LaunchButton(QUuid::createUuid(), QStringLiteral("New Button"), placeholderShortcut, std::nullopt));
    setButtons(std::move(buttons));
    saveButtons();
    registerShortcut(m_buttons.constLast());
}

void HotKeyManager::updateButton(QUuid id, QString name, QString shortcut, std::optional<QUrl> appURL)
{
    const auto found = std::find_if(m_buttons.cbegin(), m_buttons.cend(),
                                    [id](const LaunchButton &button) { return button.id() == id; });
    if (found == m_buttons.cend())
        return;
    const qsizetype position = found - m_buttons.cbegin();
    emit buttonsAboutToChange();
    m_buttons[position] = LaunchButton(id, std::move(name), std::move(shortcut), std::move(appURL));
    saveButtons();
    unregisterAllShortcuts();
    registerAllShortcuts();
}

// ---- permission ---------------------------------------------------------------

HotKeyManager::PermissionStatus HotKeyManager::checkAccessibilityPermission() const
{
    const bool allowed = m_services.permission && m_services.permission->hotkeysAllowed();
    return allowed ? PermissionStatus::granted : PermissionStatus::denied;
}

bool HotKeyManager::requestAccessibilityPermission() const
{
    return m_services.permission && m_services.permission->requestHotkeys();
}

QString HotKeyManager::permissionName(PermissionStatus status)
{
    switch (status) {
    case PermissionStatus::granted: return QStringLiteral("granted");
    case PermissionStatus::denied: return QStringLiteral("denied");
    case PermissionStatus::unknown: return QStringLiteral("unknown");
    }
    return QStringLiteral("unknown");
}
