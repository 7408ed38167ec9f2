#pragma once

#include "fake/FakeAppLauncher.h"
#include "fake/FakeGlobalShortcutService.h"
#include "fake/FakeRunningApplicationWindows.h"
#include "hotkeys/HotkeyButtons.h"

#include <QTemporaryDir>

#include <memory>

// A HotkeyButtons on fake desktop services, with its button file and its
// settings in a temporary home folder.
class TestManager {
public:
    // buttonFile: the file's text before the manager loads it.
    explicit TestManager(const QByteArray &buttonFile = QByteArrayLiteral("[]"));

    HotkeyButtons &manager() { return *m_manager; }
    FakeGlobalShortcutService &shortcuts() { return *m_shortcuts; }
    FakeAppLauncher &launcher() { return *m_launcher; }
    FakeRunningApplicationWindows &windows() { return *m_windows; }
    QString home() const { return m_home.path(); }
    // The addresses sent to the web window, with their press times.
    const QList<std::pair<QString, quint64>> &webAddresses() const { return m_webAddresses; }

    QByteArray fileText() const;
    // A new manager on the same home and services, as after a restart.
    void restart();

private:
    QTemporaryDir m_home;
    std::shared_ptr<FakeGlobalShortcutService> m_shortcuts = std::make_shared<FakeGlobalShortcutService>();
    std::shared_ptr<FakeAppLauncher> m_launcher = std::make_shared<FakeAppLauncher>();
    std::shared_ptr<FakeRunningApplicationWindows> m_windows = std::make_shared<FakeRunningApplicationWindows>();
    QList<std::pair<QString, quint64>> m_webAddresses;
    std::unique_ptr<HotkeyButtons> m_manager;
};
