#pragma once

#include <QJsonValue>
#include <QObject>

// The one object a page can reach over the web channel, registered under
// channelName. Its only useful method is postMessage: string messages
// replace the system clipboard's text, anything else is ignored.
class ClipboardMessageHandler : public QObject {
    Q_OBJECT
public:
    static const QString channelName;

    explicit ClipboardMessageHandler(QObject *parent = nullptr);

    Q_INVOKABLE void postMessage(const QJsonValue &body);
};
