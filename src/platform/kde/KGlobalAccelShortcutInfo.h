#pragma once

#include <QDBusArgument>
#include <QString>

// Who holds a key, from one entry of the shortcut daemon's
// globalShortcutsByKey answer. An entry opens with six names (the action's
// unique and friendly name, the component's, the context's); the key lists
// after them differ between daemons, and leaving the structure skips them.
struct KGlobalAccelShortcutInfo {
    QString action;
    QString actionFriendly;
    QString component;
    QString componentFriendly;

    friend const QDBusArgument &operator>>(const QDBusArgument &argument, KGlobalAccelShortcutInfo &info)
    {
        info = {};
        argument.beginStructure();
        for (QString *name : {&info.action, &info.actionFriendly, &info.component, &info.componentFriendly}) {
            if (argument.currentType() != QDBusArgument::BasicType)
                break;
            argument >> *name;
        }
        argument.endStructure();
        return argument;
    }
};
