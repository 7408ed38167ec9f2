#pragma once

#include "platform/GlobalShortcutService.h"
#include "platform/gnome/GnomeShortcutConsent.h"

#include <memory>

class GnomeCustomShortcuts;
class GnomeKeybindingHolders;

// Global shortcuts on GNOME 41–47, which offers programs no shortcut service:
// one entry per button in GNOME's own custom shortcuts, which the settings
// daemon binds and runs as `vantorel --activate <id>`; the running program
// then launches the button (so no press reaches this backend). Nothing is
// written before the user agreed once; the entries stay when the program
// quits, so a press starts it. A combination GNOME already holds is reported
// with its holder instead of written, since GNOME would refuse it silently.
class GnomeCustomShortcutService final : public GlobalShortcutService {
    Q_OBJECT

public:
    // programPath: the absolute path of the running program. configDirectory:
    // where the consent is kept (see GnomeShortcutConsent).
    explicit GnomeCustomShortcutService(QString programPath, const QString &configDirectory = {},
                                        QObject *parent = nullptr);
    ~GnomeCustomShortcutService() override;

    void bind(const QList<ShortcutRequest> &requests) override;
    HotkeyBackend backend() const override { return HotkeyBackend::Gnome; }
    ShortcutState probe(QKeyCombination trigger) override;
    // Also while GNOME's settings daemon, which runs the custom shortcuts, is away.
    QString serviceProblem() const override;
    bool hasDesktopSettings() const override;
    void openDesktopSettings() override;

    QString consentRequest() const override;
    QString consentWithdrawal() const override;
    bool hasConsent() const override { return m_consentGiven; }
    void setConsent(bool given) override;

    // The consent button's words, for the command line too.
    static QString consentRequestText();
    static QString consentWithdrawalText();

private:
    void writeOrWait();
    // The list or the settings folder changed: maybe `vantorel
    // --add-desktop-shortcuts` or `--remove-desktop-shortcuts` answered
    // from another process.
    void followConsent();
    ShortcutState waitingForConsent() const;

    QString m_programPath;
    GnomeShortcutConsent m_consent;
    std::unique_ptr<GnomeCustomShortcuts> m_shortcuts;
    std::unique_ptr<GnomeKeybindingHolders> m_holders;
    QList<ShortcutRequest> m_requests;
    bool m_consentGiven = false;
    bool m_saidWaiting = false;
};
