#pragma once

#include "platform/HotkeyBackend.h"

#include <QKeyCombination>
#include <QList>
#include <QObject>
#include <QString>

// One global shortcut the program asks the desktop for.
struct ShortcutRequest {
    QString actionId;        // stable across runs: the button's id
    QString description;     // shown by desktops that list shortcuts: the button's name
    QKeyCombination trigger; // each backend translates it at its own edge
};

// What the desktop did with one action.
struct ShortcutState {
    enum class Kind {
        Live,           // presses arrive; assignedTrigger says on which keys
        Pending,        // asked, no answer yet (the desktop may ask the user)
        TakenElsewhere, // another program holds the combination
        KeyUnavailable, // the key is not on this keyboard
        Declined,       // the user said no
        Failed,         // the desktop refused for another reason
        NoService,      // no global shortcut service in this session
    };

    Kind kind = Kind::Pending;
    QString assignedTrigger; // as the desktop shows it, e.g. "Ctrl+Alt+K"; may differ from the request
    QString detail;          // one line for the log and the tooltip

    friend bool operator==(const ShortcutState &, const ShortcutState &) = default;
};

// The desktop's global shortcuts, by action. Main thread only (but see
// StartupPressSource).
class GlobalShortcutService : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Replaces the whole set. Every request gets an answer through
    // stateChanged, during the call or later; actions left out are released.
    virtual void bind(const QList<ShortcutRequest> &requests) = 0;

    virtual HotkeyBackend backend() const = 0;

    // What binding this trigger would meet now, without binding it: asked
    // while the user edits a shortcut. Live when nothing stands in its way;
    // Pending where only the desktop's answer to a bind can tell.
    virtual ShortcutState probe(QKeyCombination trigger)
    {
        Q_UNUSED(trigger);
        return {ShortcutState::Kind::Pending, {}, QStringLiteral("The desktop decides when the shortcut is saved.")};
    }

    // Why the desktop's service cannot take Vantorel's shortcuts at all, in
    // one sentence for the Configuration window; empty while nothing stands
    // in the way. With an empty answer from a backend other than None, global
    // shortcuts count as working in this session.
    virtual QString serviceProblem() const { return {}; }

    // Whether the desktop has its own page where the user changes these
    // shortcuts, and opening it.
    virtual bool hasDesktopSettings() const { return false; }
    virtual void openDesktopSettings() {}

    // A backend that writes the shortcuts into the desktop's own settings
    // does so only once the user agreed. consentRequest() is what the
    // button asking for that says, empty where no consent is needed;
    // consentWithdrawal() what the one taking everything out again says.
    // The answer is remembered across runs; until it is given, every action
    // answers Pending and says what it waits for.
    virtual QString consentRequest() const { return {}; }
    virtual QString consentWithdrawal() const { return {}; }
    virtual bool hasConsent() const { return true; }
    virtual void setConsent(bool given) { Q_UNUSED(given); }

Q_SIGNALS:
    // Also when the desktop changes its mind later (a keyboard change, a
    // restart of its service).
    void stateChanged(const QString &actionId, const ShortcutState &state);
    // eventTime: the window system's time of the press, 0 when unknown.
    void activated(const QString &actionId, quint64 eventTime);
    // The consent changed, here or from another process.
    void consentChanged(bool given);
};
