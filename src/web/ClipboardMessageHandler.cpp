#include "web/ClipboardMessageHandler.h"

#include "model/Log.h"

#include <QClipboard>
#include <QGuiApplication>

const QString ClipboardMessageHandler::channelName = QStringLiteral("clipboardWrite");

ClipboardMessageHandler::ClipboardMessageHandler(QObject *parent)
    : QObject(parent)
{
}

void ClipboardMessageHandler::postMessage(const QJsonValue &body)
{
    if (!body.isString())
        return;
    const QString text = body.toString();
    QGuiApplication::clipboard()->setText(text);
    // Only the length: pages copy passwords and other secrets.
    Log::line(QStringLiteral("Wrote to clipboard: %1 characters").arg(text.size()));
}
