#pragma once

#include <QWebEnginePage>

#include <functional>

class QWebChannel;

// A page with the clipboard bridge on its web channel. Requests for new
// windows (window.open) go to the popup factory; without one they are
// refused.
class WebPage : public QWebEnginePage {
    Q_OBJECT
public:
    using PopupFactory = std::function<QWebEnginePage *()>;

    WebPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    void setPopupFactory(PopupFactory factory);

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;

private:
    QWebChannel *m_channel;
    PopupFactory m_popupFactory;
};
