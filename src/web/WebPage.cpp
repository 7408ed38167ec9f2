#include "web/WebPage.h"

#include "model/Log.h"
#include "web/ClipboardBridgeScripts.h"
#include "web/ClipboardMessageHandler.h"
#include "web/LinkPolicy.h"

#include <QDesktopServices>
#include <QWebChannel>

WebPage::WebPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
    , m_channel(new QWebChannel(this))
    , m_clipboard(new ClipboardMessageHandler(m_channel))
{
    // Each page gets its own handler: a page that tampers with the object
    // (it can call deleteLater through the channel) only breaks its own bridge.
    m_channel->registerObject(ClipboardMessageHandler::channelName, m_clipboard);
    setWebChannel(m_channel);
}

void WebPage::setPopupFactory(PopupFactory factory)
{
    m_popupFactory = std::move(factory);
}

QWebEnginePage *WebPage::createWindow(WebWindowType)
{
    return m_popupFactory ? m_popupFactory() : nullptr;
}

bool WebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    const bool clicked = type == NavigationTypeLinkClicked;
    switch (LinkPolicy::decide(url, clicked)) {
    case LinkPolicy::Action::Load:
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    case LinkPolicy::Action::OpenOnDesktop:
        // The scheme only: the rest of the address may be personal.
        Log::line(QStringLiteral("WebWindow: Opening a %1 link on the desktop").arg(url.scheme()));
        QDesktopServices::openUrl(url);
        return false;
    case LinkPolicy::Action::Refuse:
        if (clicked)
            Log::line(QStringLiteral("WebWindow: Refused a %1 link").arg(url.scheme()));
        return false;
    }
    return false;
}

void WebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
                                       const QString &sourceId)
{
    if (const std::optional<QString> text = ClipboardBridgeScripts::frameWrite(message, sourceId)) {
        if (m_clipboard)
            m_clipboard->postMessage(*text);
        return;
    }
    // Warnings and errors, as the engine would show them, but in the
    // program's log: marked as the page's, one line each, and bounded.
    Q_UNUSED(lineNumber);
    Q_UNUSED(sourceId);
    if (level == InfoMessageLevel)
        return;
    constexpr qsizetype longest = 500;
    Log::line(QStringLiteral("WebWindow: page console: ")
              + (message.size() > longest ? message.left(longest) + QStringLiteral("…") : message));
}
