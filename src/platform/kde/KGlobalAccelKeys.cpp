#include "platform/kde/KGlobalAccelKeys.h"

#include "platform/XkbKeyTable.h"

#include <QDBusMetaType>

KGlobalAccelKeys KGlobalAccelKeys::of(QKeyCombination combination)
{
    KGlobalAccelKeys sequence;
    if (combination.keyboardModifiers().testFlag(Qt::ShiftModifier)) {
        if (const std::optional<Qt::Key> symbol = XkbKeyTable::usShiftedSymbol(combination.key()))
            combination = QKeyCombination(combination.keyboardModifiers() & ~Qt::ShiftModifier, *symbol);
    }
    sequence.keys[0] = combination.toCombined();
    return sequence;
}

void KGlobalAccelKeys::registerDBusTypes()
{
    qDBusRegisterMetaType<KGlobalAccelKeys>();
    qDBusRegisterMetaType<QList<KGlobalAccelKeys>>();
    qDBusRegisterMetaType<KGlobalAccelKeys::Match>();
}

QDBusArgument &operator<<(QDBusArgument &argument, const KGlobalAccelKeys &sequence)
{
    argument.beginStructure();
    argument.beginArray(QMetaType::fromType<int>());
    for (const int key : sequence.keys)
        argument << key;
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, KGlobalAccelKeys &sequence)
{
    sequence = {};
    argument.beginStructure();
    argument.beginArray();
    for (std::size_t i = 0; !argument.atEnd(); ++i) {
        int key = 0;
        argument >> key;
        if (i < sequence.keys.size())
            sequence.keys[i] = key;
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}
