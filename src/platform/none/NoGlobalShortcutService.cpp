#include "platform/none/NoGlobalShortcutService.h"

NoGlobalShortcutService::NoGlobalShortcutService(const QString &why, QObject *parent)
    : GlobalShortcutService(parent),
      m_answer{ShortcutState::Kind::NoService, {},
               why + QStringLiteral(" To launch a button with a key, bind the command "
                                    "\"vantorel --activate NAME\" to it in the desktop's keyboard settings.")}
{
}

void NoGlobalShortcutService::bind(const QList<ShortcutRequest> &requests)
{
    for (const ShortcutRequest &request : requests)
        Q_EMIT stateChanged(request.actionId, m_answer);
}
