#include "web/ClipboardBridgeScripts.h"

#include "model/Log.h"
#include "web/ClipboardMessageHandler.h"

#include <QFile>
#include <QWebEngineScriptCollection>

namespace {

const QString channelScriptName = QStringLiteral("vantorel-clipboard-channel");
const QString userScriptName = QStringLiteral("vantorel-clipboard-writetext");
// How the engine names the source of a console message from a user script.
const QString channelScriptSource = QStringLiteral("userscript:") + channelScriptName;
const QString frameWritePrefix = QStringLiteral("vantorel-clipboard-write:");

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

// Runs after qwebchannel.js, in the same function scope so that QWebChannel
// does not become a global of the page. Only the top frame has the channel
// transport, and messages sent before it is connected are queued.
// Sub-frames must not relay to the top frame: whatever is posted to another
// window reaches that window's own scripts too. A frame writes through the
// console instead, which only the program reads; the console method is taken
// before the frame's own scripts run, so they cannot replace it.
const char shimSource[] = R"JS(
(function () {
  var handler;
  if (window === window.top) {
    var endpoint = null;
    var pending = [];
    var connect = function (attempt) {
      if (typeof qt === 'undefined' || !qt.webChannelTransport) {
        if (attempt < 500) setTimeout(function () { connect(attempt + 1); }, 10);
        return;
      }
      new QWebChannel(qt.webChannelTransport, function (channel) {
        endpoint = channel.objects[%1];
        var queued = pending;
        pending = [];
        queued.forEach(function (body) { endpoint.postMessage(body); });
      });
    };
    connect(0);
    handler = {
      postMessage: function (body) {
        if (endpoint) endpoint.postMessage(body);
        else pending.push(body);
      }
    };
  } else {
    var write = console.debug.bind(console);
    handler = {
      postMessage: function (body) {
        if (typeof body === 'string') write(%2 + body);
      }
    };
  }
  window.webkit = window.webkit || {};
  window.webkit.messageHandlers = window.webkit.messageHandlers || {};
  window.webkit.messageHandlers[%1] = handler;
  if (!navigator.clipboard)
    Object.defineProperty(navigator, 'clipboard', { value: {}, configurable: true });
})();
)JS";

QString webChannelLibrary()
{
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!file.open(QIODevice::ReadOnly)) {
        Log::line(QStringLiteral("WebWindow: Could not read qwebchannel.js"));
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

QWebEngineScript documentStartScript(const QString &name, const QString &source)
{
    QWebEngineScript script;
    script.setName(name);
    script.setSourceCode(source);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    return script;
}

} // namespace

const QString ClipboardBridgeScripts::userScriptSource = QStringLiteral(
    "navigator.clipboard.writeText = async function(text) {\n"
    "    window.webkit.messageHandlers.clipboardWrite.postMessage(text);\n"
    "    return Promise.resolve();\n"
    "};");

std::optional<QString> ClipboardBridgeScripts::frameWrite(const QString &consoleMessage, const QString &sourceId)
{
    if (sourceId != channelScriptSource || !consoleMessage.startsWith(frameWritePrefix))
        return std::nullopt;
    return consoleMessage.mid(frameWritePrefix.size());
}

void ClipboardBridgeScripts::installInto(QWebEngineScriptCollection &scripts)
{
    if (!scripts.find(channelScriptName).isEmpty())
        return;
    // Scripts at the same injection point run in the order they were added.
    scripts.insert(channelScript());
    scripts.insert(userScript());
}

QWebEngineScript ClipboardBridgeScripts::channelScript()
{
    const QString source = QStringLiteral("(function () {\n") + webChannelLibrary()
        + QString::fromUtf8(shimSource).arg(quoted(ClipboardMessageHandler::channelName), quoted(frameWritePrefix))
        + QStringLiteral("})();\n");
    return documentStartScript(channelScriptName, source);
}

QWebEngineScript ClipboardBridgeScripts::userScript()
{
    return documentStartScript(userScriptName, userScriptSource);
}
