#include "ClipboardBridgeScripts.h"

#include "ClipboardMessageHandler.h"
#include "Log.h"

#include <QFile>
#include <QWebEngineScriptCollection>

namespace {

const QString channelScriptName = QStringLiteral("vantorel-clipboard-channel");
const QString userScriptName = QStringLiteral("vantorel-clipboard-writetext");

// Runs after qwebchannel.js, in the same function scope so that QWebChannel
// does not become a global of the page. Only the top frame has the channel
// transport; sub-frames relay their messages to it with window.postMessage.
// Messages sent before the channel is connected are queued.
const char shimSource[] = R"JS(
(function () {
  var relayKey = '__vantorelClipboardWrite';
  var isTop = window === window.top;
  var endpoint = null;
  var pending = [];
  function deliver(body) {
    if (endpoint) endpoint.postMessage(body);
    else pending.push(body);
  }
  function connect(attempt) {
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
  }
  if (isTop) {
    connect(0);
    window.addEventListener('message', function (event) {
      var data = event.data;
      if (data && typeof data === 'object' && data[relayKey] === true) deliver(data.body);
    });
  }
  var handler = {
    postMessage: function (body) {
      if (isTop) deliver(body);
      else window.top.postMessage({ [relayKey]: true, body: body }, '*');
    }
  };
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
    const QString channelName = QLatin1Char('\'') + ClipboardMessageHandler::channelName + QLatin1Char('\'');
    const QString source = QStringLiteral("(function () {\n") + webChannelLibrary()
        + QString::fromUtf8(shimSource).arg(channelName) + QStringLiteral("})();\n");
    return documentStartScript(channelScriptName, source);
}

QWebEngineScript ClipboardBridgeScripts::userScript()
{
    return documentStartScript(userScriptName, userScriptSource);
}
