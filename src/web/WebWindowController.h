#pragma once

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <optional>

class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;
class WebPage;
class WebWindow;
class WindowActivator;
class WindowFrameStore;

// The program's one web window. loadURL shows an address in it, or closes
// it when that very address is showing in front, so a web button's hotkey
// toggles its page. A closed window's page is frozen. Pages may open popups
// from a click, each in its own window.
class WebWindowController : public QObject {
    Q_OBJECT
public:
    static const QString initialTitle;
    static const QString popupTitle;

    // The process-wide controller, created on first use together with the
    // persistent profile: nothing of the web engine starts before that.
    // It is torn down when the application's event loop quits; do not use
    // it after that.
    static WebWindowController &shared();
    // How the shared controller brings its window to the front. Call before
    // the first shared(); without one, Qt's raise/activateWindow is used.
    static void setWindowActivator(std::shared_ptr<WindowActivator> activator);

    // A controller on the given profile, which must outlive it. Builds the
    // window (hidden) at the remembered frame.
    explicit WebWindowController(QWebEngineProfile *profile,
                                 std::shared_ptr<WindowActivator> activator = {});
    ~WebWindowController() override;

    // eventTime: the window system's time of the press that asked, 0 when unknown.
    void loadURL(const QString &address, quint64 eventTime = 0);

    std::optional<QString> currentURL() const { return m_currentURL; }
    WebWindow *window() const { return m_window.get(); }
    QWebEngineView *webView() const { return m_webView; }
    const std::map<QWebEngineView *, std::unique_ptr<WebWindow>> &popupControllers() const
    {
        return m_popupControllers;
    }

public Q_SLOTS:
    void windowFrameChanged();

private:
    WebWindowController(std::unique_ptr<QWebEngineProfile> ownedProfile,
                        std::shared_ptr<WindowActivator> activator);

    WebPage *createPage(QObject *parent);
    QWebEnginePage *createPopup();
    void closePopupOf(QWebEngineView *view);
    void dropPopup(QWebEngineView *view);
    void stopPageOnClose();
    void freezeClosedPage();
    void bringToFront(quint64 eventTime);
    void placeAtRememberedFrame();

    // Declared first so that it goes last: pages must be gone before it.
    std::unique_ptr<QWebEngineProfile> m_ownedProfile;
    QWebEngineProfile *m_profile;
    std::shared_ptr<WindowActivator> m_activator;
    std::unique_ptr<WindowFrameStore> m_frameStore;
    QWebEngineView *m_webView = nullptr;
    std::unique_ptr<WebWindow> m_window;
    std::optional<QString> m_currentURL;
    std::map<QWebEngineView *, std::unique_ptr<WebWindow>> m_popupControllers;
};
