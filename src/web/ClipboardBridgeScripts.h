#pragma once

#include <QWebEngineScript>

#include <optional>

class QWebEngineScriptCollection;

// The scripts that give every frame of every page the page-side clipboard
// interface: window.webkit.messageHandlers.clipboardWrite.postMessage(text),
// carried over the web channel in the top frame and over console messages
// in sub-frames, and navigator.clipboard.writeText routed to it.
class ClipboardBridgeScripts {
public:
    // The page-facing script, kept exactly as pages have always seen it.
    static const QString userScriptSource;

    // Adds the scripts once; a collection that has them already is left alone.
    static void installInto(QWebEngineScriptCollection &scripts);

    // The text a sub-frame wrote, when a console message is the bridge's own.
    static std::optional<QString> frameWrite(const QString &consoleMessage, const QString &sourceId);

private:
    static QWebEngineScript channelScript();
    static QWebEngineScript userScript();
};
