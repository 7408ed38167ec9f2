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

    // Registers the D-Bus type of this struct and of lists of it; call
    // before the first call or export that carries one.
    static void registerDBusTypes();

    friend bool operator==(const KGlobalAccelKeys &, const KGlobalAccelKeys &) = default;
};

QDBusArgument &operator<<(QDBusArgument &argument, const KGlobalAccelKeys &sequence);
const QDBusArgument &operator>>(const QDBusArgument &argument, KGlobalAccelKeys &sequence);

Q_DECLARE_METATYPE(KGlobalAccelKeys)
