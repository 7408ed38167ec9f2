#include "ClipboardMessageHandler.h"

#include "Log.h"

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
    Log::line(QStringLiteral("Wrote to clipboard: ") + text);
}
