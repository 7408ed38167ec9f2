#pragma once

#include "platform/GlobalShortcutService.h"

#include <QList>
#include <QStringList>

// What a bind changes in a backend's list of actions: the actions bound
// before that the new requests leave out, and the requests in their order
// with each action once (its first request counts).
struct ActionListChange {
    QStringList released;
    QList<ShortcutRequest> requests;
    QStringList order; // the action ids of requests

    static ActionListChange between(const QStringList &bound, const QList<ShortcutRequest> &requests);
};
