#pragma once

#include <QPointer>
#include <QWebEnginePage>

#include <functional>

class ClipboardMessageHandler;
class QWebChannel;

// A page with the clipboard bridge on its web channel (and on console
// messages for its sub-frames). Requests for new windows (window.open) go to
// the popup factory; without one they are refused. Links for the desktop go
// to QDesktopServices (where tests can set their own handlers). The page's
// console warnings and errors go to the program's log, marked as the page's.
class WebPage : public QWebEnginePage {
    Q_OBJECT
public:
    using PopupFactory = std::function<QWebEnginePage *()>;

    WebPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    void setPopupFactory(PopupFactory factory);

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
                                  const QString &sourceId) override;

private:
    QWebChannel *m_channel;
    // A page can delete the handler through the channel.
    QPointer<ClipboardMessageHandler> m_clipboard;
    PopupFactory m_popupFactory;
};
