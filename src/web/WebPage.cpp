#include "WebPage.h"

#include "ClipboardMessageHandler.h"

#include <QWebChannel>

WebPage::WebPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
    , m_channel(new QWebChannel(this))
{
    // Each page gets its own handler: a page that tampers with the object
    // (it can call deleteLater through the channel) only breaks its own bridge.
    m_channel->registerObject(ClipboardMessageHandler::channelName, new ClipboardMessageHandler(m_channel));
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
