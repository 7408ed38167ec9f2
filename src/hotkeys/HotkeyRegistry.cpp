#include "hotkeys/HotkeyRegistry.h"

#include "hotkeys/ButtonStore.h"
#include "hotkeys/Launcher.h"
#include "hotkeys/ShortcutId.h"
#include "model/KeyboardShortcut.h"
#include "model/Log.h"

namespace {
// The desktop knows a button's shortcut by the button's id, as the file writes it.
QString actionIdOf(const LaunchButton &button)
{
    return button.id().toString(QUuid::WithoutBraces).toUpper();
}
} // namespace

HotkeyRegistry::HotkeyRegistry(ButtonStore &store, std::shared_ptr<GlobalShortcutService> shortcuts,
                               const Launcher &launcher, QObject *parent)
    : QObject(parent), m_store(store), m_shortcuts(std::move(shortcuts)), m_launcher(launcher)
{
    connect(&m_store, &ButtonStore::changed, this, &HotkeyRegistry::followStore);
    if (m_shortcuts) {
        connect(m_shortcuts.get(), &GlobalShortcutService::stateChanged, this, &HotkeyRegistry::answer);
        connect(m_shortcuts.get(), &GlobalShortcutService::activated, this, &HotkeyRegistry::press);
    }
}

void HotkeyRegistry::registerAllShortcuts()
{
    const LaunchButtonList &buttons = m_store.buttons();
    Log::line(QStringLiteral("🎹 Registering shortcuts for %1 buttons").arg(buttons.size()));
    m_following = true;
    bindAll(AnnounceAll);
}

void HotkeyRegistry::unregisterAllShortcuts()
{
    Log::line(QStringLiteral("🚫 Unregistering all shortcuts"));
    for (const QString &id : registeredShortcutIds())
        Log::line(QStringLiteral("🗑️ Unregistered shortcut: ") + id);
    m_following = false;
    m_requested.clear();
    m_boundShortcuts.clear();
    m_awaitingResult.clear();
    const QList<QUuid> known = m_states.keys();
    m_states.clear();
    if (m_shortcuts)
        m_shortcuts->bind({});
    for (const QUuid &id : known)
        Q_EMIT stateChanged(id);
}

std::optional<ShortcutState> HotkeyRegistry::stateOf(QUuid buttonId) const
{
    const auto found = m_states.constFind(buttonId);
    if (found == m_states.constEnd())
        return std::nullopt;
    return *found;
}

QStringList HotkeyRegistry::registeredShortcutIds() const
{
    QStringList ids;
    for (const Registration &registration : m_requested) {
        const auto state = m_states.constFind(registration.button.id());
        if (state != m_states.constEnd() && state->kind == ShortcutState::Kind::Live)
            ids.append(registration.shortcutId);
    }
    return ids;
}

HotkeyBackend HotkeyRegistry::backend() const
{
    return m_shortcuts ? m_shortcuts->backend() : HotkeyBackend::None;
}

ShortcutState HotkeyRegistry::probe(QKeyCombination trigger) const
{
    if (!m_shortcuts)
        return {ShortcutState::Kind::NoService, {}, {}};
    return m_shortcuts->probe(trigger);
}

bool HotkeyRegistry::hasDesktopSettings() const
{
    return m_shortcuts && m_shortcuts->hasDesktopSettings();
}

void HotkeyRegistry::openDesktopSettings()
{
    if (m_shortcuts)
        m_shortcuts->openDesktopSettings();
}

QString HotkeyRegistry::serviceProblem() const
{
    return m_shortcuts ? m_shortcuts->serviceProblem() : QString();
}

// Only what changed is announced and unregistered; the desktop is handed the
// whole list and keeps what it already has.
void HotkeyRegistry::followStore()
{
    if (!m_following)
        return;
    const LaunchButtonList &buttons = m_store.buttons();
    QHash<QString, const LaunchButton *> current;
    current.reserve(buttons.size());
    for (const LaunchButton &button : buttons)
        current.insert(actionIdOf(button), &button);

    const QStringList registered = registeredShortcutIds();
    const QSet<QString> live(registered.cbegin(), registered.cend());
    for (auto it = m_requested.cbegin(); it != m_requested.cend(); ++it) {
        const LaunchButton *now = current.value(it.key());
        if ((!now || now->shortcut != it->button.shortcut) && live.contains(it->shortcutId))
            Log::line(QStringLiteral("🗑️ Unregistered shortcut: ") + it->shortcutId);
    }
    bindAll(AnnounceChanged);
}

HotkeyRegistry::Announcement HotkeyRegistry::announce(const QString &actionId, const KeyboardShortcut &shortcut,
                                                      const std::optional<QKeyCombination> &combination) const
{
    Announcement announcement{actionId, {}};
    announcement.lines << QStringLiteral("🎹 Registering shortcut: ") + shortcut.key + QStringLiteral(" with modifiers: ")
            + shortcut.modifiers.logDescription();
    if (!combination || !m_shortcuts) {
        announcement.lines << QStringLiteral("❌ Failed to register shortcut: ") + shortcut.key;
        return announcement;
    }
    announcement.lines << QStringLiteral("🔑 Creating shortcut ID: %1 (key: %2, keycode: %3, modifiers: %4)")
                              .arg(ShortcutId::of(*combination), shortcut.key)
                              .arg(*ShortcutId::keyCode(combination->key()))
                              .arg(ShortcutId::modifierMask(combination->keyboardModifiers()));
    return announcement;
}

void HotkeyRegistry::bindAll(Announce which)
{
    struct Candidate {
        const LaunchButton *button;
        QString shortcutId;
        QString keyText;
    };
    const LaunchButtonList &buttons = m_store.buttons();
    QList<Candidate> candidates;
    QList<QKeyCombination> combinations;
    QHash<QUuid, ShortcutState> unbound;
    QSet<QUuid> present;
    QList<Announcement> announcements;
    QHash<QString, QString> boundShortcuts;
    boundShortcuts.reserve(buttons.size());
    for (const LaunchButton &button : buttons) {
        const QString actionId = actionIdOf(button);
        present.insert(button.id());
        boundShortcuts.insert(actionId, button.shortcut);
        const KeyboardShortcut shortcut = parseShortcutText(button.shortcut);
        const std::optional<QKeyCombination> combination = shortcut.keyCombination();
        const auto before = m_boundShortcuts.constFind(actionId);
        if (which == AnnounceAll || before == m_boundShortcuts.constEnd() || *before != button.shortcut)
            announcements.append(announce(actionId, shortcut, combination));
        if (!combination || !m_shortcuts) {
            unbound.insert(button.id(), {ShortcutState::Kind::Failed, {},
                                         combination ? QStringLiteral("no global shortcut service in this session")
                                                     : QStringLiteral("\"%1\" is not a key").arg(shortcut.key)});
            continue;
        }
        candidates.append({&button, ShortcutId::of(*combination), shortcut.key});
        combinations.append(*combination);
    }

    m_boundShortcuts = std::move(boundShortcuts);

    const QList<qsizetype> owners = ShortcutId::owners(combinations);
    QList<ShortcutRequest> requests;
    m_requested.clear();
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const Candidate &candidate = candidates.at(i);
        const qsizetype owner = owners.at(i);
        if (owner != i) {
            unbound.insert(candidate.button->id(),
                           {ShortcutState::Kind::Failed, {},
                            QStringLiteral("\"%1\" has the same shortcut").arg(candidates.at(owner).button->name)});
            continue;
        }
        requests.append({actionIdOf(*candidate.button), candidate.button->name, combinations.at(i)});
        m_requested.insert(actionIdOf(*candidate.button), {candidate.shortcutId, candidate.keyText, *candidate.button});
    }

    m_announcements = std::move(announcements);
    m_announcementIndex.clear();
    m_awaitingResult.clear();
    for (qsizetype i = 0; i < m_announcements.size(); ++i) {
        const QString &actionId = m_announcements.at(i).actionId;
        m_announcementIndex.insert(actionId, i);
        if (m_requested.contains(actionId))
            m_awaitingResult.insert(actionId);
    }
    m_announced = 0;
    m_saidForThisBind.clear();

    m_states.removeIf([&present](const auto &state) { return !present.contains(state.key()); });
    for (auto it = unbound.cbegin(); it != unbound.cend(); ++it)
        setState(it.key(), it.value());

    m_binding = true;
    if (m_shortcuts)
        m_shortcuts->bind(requests);
    m_binding = false;
    logAnnouncementsThrough(m_announcements.size() - 1);
}

void HotkeyRegistry::logAnnouncementsThrough(qsizetype last)
{
    for (; m_announced <= last && m_announced < m_announcements.size(); ++m_announced) {
        for (const QString &line : std::as_const(m_announcements.at(m_announced).lines))
            Log::line(line);
    }
}

void HotkeyRegistry::setState(QUuid buttonId, const ShortcutState &state)
{
    const auto previous = m_states.constFind(buttonId);
    if (previous != m_states.constEnd() && *previous == state)
        return;
    m_states.insert(buttonId, state);
    Q_EMIT stateChanged(buttonId);
}

void HotkeyRegistry::answer(const QString &actionId, const ShortcutState &state)
{
    const auto registration = m_requested.constFind(actionId);
    if (registration == m_requested.constEnd())
        return; // an answer for an action asked for before the latest bind
    // A desktop that answers at once gets each answer logged right after
    // its own registration lines, as the list reads.
    if (m_binding)
        logAnnouncementsThrough(m_announcementIndex.value(actionId, -1));

    const QUuid buttonId = registration->button.id();
    const std::optional<ShortcutState> previous = stateOf(buttonId);
    const bool awaited = state.kind != ShortcutState::Kind::Pending && m_awaitingResult.remove(actionId);
    const bool failed = state.kind != ShortcutState::Kind::Live && state.kind != ShortcutState::Kind::Pending;
    // A reason given for many buttons at once ("no service", a declined
    // dialog) is the session's, not each button's: said once a bind.
    if (failed && !state.detail.isEmpty() && (awaited || previous != state)
        && !m_saidForThisBind.contains(state.detail)) {
        Log::line(state.detail);
        m_saidForThisBind.insert(state.detail);
    }
    if (awaited) {
        Log::line(failed ? QStringLiteral("❌ Failed to register shortcut: ") + registration->keyText
                         : QStringLiteral("✅ Successfully registered shortcut: ") + registration->keyText);
    }
    setState(buttonId, state);
}

void HotkeyRegistry::press(const QString &actionId, quint64 eventTime)
{
    const Log::Held reportAfterLaunching;
    const auto registration = m_requested.constFind(actionId);
    if (registration == m_requested.constEnd()) {
        Log::line(QStringLiteral("⌨️ Shortcut pressed with ID: ") + actionId);
        Log::line(QStringLiteral("❌ No handler found for shortcut: ") + actionId);
        Log::line(QStringLiteral("🔍 Available handlers: ") + registeredShortcutIds().join(QStringLiteral(", ")));
        return;
    }
    Log::line(QStringLiteral("⌨️ Shortcut pressed with ID: ") + registration->shortcutId);
    Log::line(QStringLiteral("✨ Found handler for shortcut: ") + registration->shortcutId);
    m_launcher.launch(registration->button, eventTime);
}
