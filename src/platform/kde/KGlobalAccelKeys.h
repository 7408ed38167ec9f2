#pragma once

#include <QDBusArgument>
#include <QKeyCombination>
#include <QList>
#include <QMetaType>

#include <array>

// One key sequence as KDE's shortcut daemon passes it on D-Bus: a struct of
// exactly four key codes, unused ones 0 ("(ai)"). A shorter array makes some
// daemons abort, so it is always written with four.
struct KGlobalAccelKeys {
    std::array<int, 4> keys{};

    // The keys the daemon matches a press of this combination against.
    // KDE names Shift with a digit or punctuation key by the symbol it types
    // and drops Shift (KKeyServer::isShiftAsModifierAllowed: only letters,
    // F-keys and named keys keep it): a press of Ctrl+Shift+7 on a US
    // layout is Ctrl+& for kglobalaccel5 (KF5) and kglobalacceld (Plasma 6)
    // alike, and a registered Ctrl+Shift+7 never fires.
    static KGlobalAccelKeys of(QKeyCombination combination);
    // The first key, as QKeyCombination::toCombined(); 0 when none.
    int first() const { return keys[0]; }

    // How the daemon compares keys when asked who holds them ("(i)"):
    // 0 asks for exactly these keys.
    struct Match {
        int type = 0;

        friend QDBusArgument &operator<<(QDBusArgument &argument, const Match &match)
        {
            argument.beginStructure();
            argument << match.type;
            argument.endStructure();
            return argument;
        }
        friend const QDBusArgument &operator>>(const QDBusArgument &argument, Match &match)
        {
            argument.beginStructure();
            argument >> match.type;
            argument.endStructure();
            return argument;
        }
    };

    // Registers the D-Bus types of this struct, of lists of it and of Match;
    // call before the first call or export that carries one.
    static void registerDBusTypes();

    friend bool operator==(const KGlobalAccelKeys &, const KGlobalAccelKeys &) = default;
};

QDBusArgument &operator<<(QDBusArgument &argument, const KGlobalAccelKeys &sequence);
const QDBusArgument &operator>>(const QDBusArgument &argument, KGlobalAccelKeys &sequence);

Q_DECLARE_METATYPE(KGlobalAccelKeys)
Q_DECLARE_METATYPE(KGlobalAccelKeys::Match)
