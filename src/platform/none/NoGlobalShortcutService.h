#pragma once

#include "platform/GlobalShortcutService.h"

// For sessions where nothing can bind global shortcuts (a Wayland desktop
// without a shortcut service, or the user's choice): every action is answered
// "no service", with the reason and what to do instead.
class NoGlobalShortcutService final : public GlobalShortcutService {
    Q_OBJECT

public:
    // why: one sentence saying why this session has no global shortcuts.
    explicit NoGlobalShortcutService(const QString &why, QObject *parent = nullptr);

    void bind(const QList<ShortcutRequest> &requests) override;
    HotkeyBackend backend() const override { return HotkeyBackend::None; }
    ShortcutState probe(QKeyCombination) override { return m_answer; }

private:
    ShortcutState m_answer;
};
