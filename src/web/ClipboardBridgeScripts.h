#pragma once

#include <QWebEngineScript>

class QWebEngineScriptCollection;

// The scripts that give every frame of every page the page-side clipboard
// interface: window.webkit.messageHandlers.clipboardWrite.postMessage(text),
// carried over the web channel, and navigator.clipboard.writeText routed
// to it.
class ClipboardBridgeScripts {
public:
    // The page-facing script, kept exactly as pages have always seen it.
    static const QString userScriptSource;

    // Adds the scripts once; a collection that has them already is left alone.
    static void installInto(QWebEngineScriptCollection &scripts);

private:
    static QWebEngineScript channelScript();
    static QWebEngineScript userScript();
};
