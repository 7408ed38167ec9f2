#include "platform/ActionListChange.h"

#include <QSet>

ActionListChange ActionListChange::between(const QStringList &bound, const QList<ShortcutRequest> &requests)
{
    ActionListChange change;
    for (const ShortcutRequest &request : requests) {
        if (change.order.contains(request.actionId))
            continue;
        change.order.append(request.actionId);
        change.requests.append(request);
    }
    const QSet<QString> wanted(change.order.cbegin(), change.order.cend());
    for (const QString &id : bound) {
        if (!wanted.contains(id))
            change.released.append(id);
    }
    return change;
}
