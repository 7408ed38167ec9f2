#include "hotkeys/ButtonStore.h"

#include "model/Log.h"

#include <algorithm>

ButtonStore::ButtonStore(const QString &homeDirectory, QObject *parent)
    : QObject(parent), m_file(homeDirectory + QStringLiteral("/.vantorel"))
{
}

const LaunchButton *ButtonStore::find(QUuid id) const
{
    const auto found = std::find_if(m_buttons.cbegin(), m_buttons.cend(),
                                    [id](const LaunchButton &button) { return button.id() == id; });
    return found == m_buttons.cend() ? nullptr : &*found;
}

void ButtonStore::watchFile()
{
    if (m_watcher)
        return;
    m_watcher = std::make_unique<ButtonFileWatcher>(m_file.path());
    connect(m_watcher.get(), &ButtonFileWatcher::changed, this, &ButtonStore::reloadIfChangedOnDisk);
    reloadIfChangedOnDisk();
}

void ButtonStore::loadButtons()
{
    Log::line(QStringLiteral("📱 Loading buttons"));
    if (!m_file.exists()) {
        m_buttons = {LaunchButton(QUuid::createUuid(), QStringLiteral("Scrivara"), QStringLiteral("⌘ + ⌥ + F"),
                                  QUrl(QStringLiteral("https://scrivara.com")))};
        saveButtons();
        Log::line(QStringLiteral("📝 Created default buttons"));
        Q_EMIT changed();
        return;
    }
    auto loaded = m_file.load();
    if (auto *error = std::get_if<QString>(&loaded)) {
        Log::line(QStringLiteral("❌ Error loading buttons: ") + *error);
        return;
    }
    m_buttons = std::get<LaunchButtonList>(std::move(loaded));
    Log::line(QStringLiteral("📂 Loaded %1 buttons").arg(m_buttons.size()));
    Q_EMIT changed();
}

void ButtonStore::reloadIfChangedOnDisk()
{
    auto loaded = m_file.loadIfChanged();
    if (!loaded)
        return;
    if (const auto *error = std::get_if<QString>(&*loaded)) {
        Log::line(QStringLiteral("⚠️ The button file changed on disk but cannot be read (%1); keeping the %2 buttons in memory")
                      .arg(*error)
                      .arg(m_buttons.size()));
        return;
    }
    m_buttons = std::get<LaunchButtonList>(std::move(*loaded));
    Log::line(QStringLiteral("🔄 Reloaded %1 buttons: the button file changed on disk").arg(m_buttons.size()));
    Q_EMIT changed();
}

void ButtonStore::saveButtons()
{
    const ButtonFile::SaveResult result = m_file.save(m_buttons);
    if (result.movedAsideTo)
        Log::line(QStringLiteral("⚠️ Moved the unreadable button file aside to ") + *result.movedAsideTo);
    if (result.keptChangeAs)
        Log::line(QStringLiteral("⚠️ The button file changed on disk just before this save; that version is kept as ")
                  + *result.keptChangeAs);
    if (result.error)
        Log::line(QStringLiteral("❌ Error saving buttons: ") + *result.error);
    else
        Log::line(QStringLiteral("💾 Saved %1 buttons").arg(m_buttons.size()));
}

void ButtonStore::addButton()
{
    LaunchButtonList buttons = m_buttons;
    buttons.append(LaunchButton(QUuid::createUuid(), QStringLiteral("New Button"),
                                QStringLiteral("⌘%1").arg(m_buttons.size() + 1), std::nullopt));
    replaceAll(std::move(buttons));
}

void ButtonStore::updateButton(QUuid id, QString name, QString shortcut, std::optional<QUrl> appURL)
{
    const LaunchButton *button = find(id);
    if (!button)
        return;
    LaunchButtonList buttons = m_buttons;
    buttons[button - m_buttons.constData()] = LaunchButton(id, std::move(name), std::move(shortcut), std::move(appURL));
    replaceAll(std::move(buttons));
}

void ButtonStore::removeButtons(QList<qsizetype> positions)
{
    std::sort(positions.begin(), positions.end(), std::greater<>());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    LaunchButtonList buttons = m_buttons;
    for (qsizetype position : std::as_const(positions)) {
        if (position >= 0 && position < buttons.size())
            buttons.removeAt(position);
    }
    if (buttons.size() != m_buttons.size())
        replaceAll(std::move(buttons));
}

void ButtonStore::insertButton(qsizetype position, const LaunchButton &button)
{
    if (find(button.id()))
        return;
    LaunchButtonList buttons = m_buttons;
    buttons.insert(std::clamp<qsizetype>(position, 0, buttons.size()), button);
    replaceAll(std::move(buttons));
}

void ButtonStore::replaceAll(LaunchButtonList buttons)
{
    m_buttons = std::move(buttons);
    saveButtons();
    Q_EMIT changed();
}
