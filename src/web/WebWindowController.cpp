#include "web/WebWindowController.h"

#include "platform/WindowActivator.h"
#include "web/ClipboardBridgeScripts.h"
#include "web/MarkedAddress.h"
#include "web/PersistentWebProfile.h"
#include "web/ScreenFit.h"
#include "web/WebPage.h"
#include "web/WebWindow.h"
#include "web/WindowFrameStore.h"

#include <QCoreApplication>
#include <QUrl>
#include <QWebEngineHttpRequest>
#include <QWebEngineProfile>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

const QSize minimumWindowSize(400, 300);
const QSize popupContentSize(800, 600);

const Qt::WindowFlags popupFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint;

std::shared_ptr<WindowActivator> &sharedActivator()
{
    static std::shared_ptr<WindowActivator> activator;
    return activator;
}

WebWindowController *sharedInstance = nullptr;

// When the event loop ends, while widgets and engine are still intact: the
// pages go before the profile, or the engine complains at exit. Later
// than that (a post routine) the web view's widgets are already torn down.
void destroySharedInstance()
{
    delete sharedInstance;
    sharedInstance = nullptr;
}

} // namespace

const QString WebWindowController::initialTitle = QStringLiteral("Vantorel Web View");
const QString WebWindowController::popupTitle = QStringLiteral("Authorization");

WebWindowController &WebWindowController::shared()
{
    static const bool created = [] {
        sharedInstance = new WebWindowController(std::unique_ptr<QWebEngineProfile>(PersistentWebProfile::create()),
                                                 sharedActivator());
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, destroySharedInstance);
        return true;
    }();
    Q_UNUSED(created);
    return *sharedInstance;
}

void WebWindowController::setWindowActivator(std::shared_ptr<WindowActivator> activator)
{
    sharedActivator() = activator;
    if (sharedInstance)
        sharedInstance->m_activator = std::move(activator);
}

WebWindowController::WebWindowController(std::unique_ptr<QWebEngineProfile> ownedProfile,
                                         std::shared_ptr<WindowActivator> activator)
    : WebWindowController(ownedProfile.get(), std::move(activator))
{
    m_ownedProfile = std::move(ownedProfile);
}

WebWindowController::WebWindowController(QWebEngineProfile *profile, std::shared_ptr<WindowActivator> activator)
    : m_profile(profile)
    , m_activator(std::move(activator))
    , m_frameStore(std::make_unique<WindowFrameStore>())
{
    ClipboardBridgeScripts::installInto(*m_profile->scripts());
    QWebEngineSettings *settings = m_profile->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    // The engine then lets a page open a window only from a user action,
    // and only one per action.
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // Unknown schemes reach acceptNavigationRequest only after a user action;
    // the page then refuses them or hands them over itself, so the engine
    // never opens one on its own. Disallowing them would keep mail links
    // from reaching the page at all.
    settings->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);

    m_webView = new QWebEngineView;
    WebPage *page = createPage(m_webView);
    m_webView->setPage(page);
    m_window = std::make_unique<WebWindow>(m_webView);
    m_window->setWindowTitle(initialTitle);
    m_window->setMinimumSize(minimumWindowSize);
    placeAtRememberedFrame();

    connect(m_window.get(), &WebWindow::frameChanged, this, &WebWindowController::windowFrameChanged);
    connect(m_window.get(), &WebWindow::closing, this, &WebWindowController::stopPageOnClose);
    connect(page, &QWebEnginePage::windowCloseRequested, this, [this] { closePopupOf(m_webView); });
    // The window is named after its page, as a browser's window is.
    connect(page, &QWebEnginePage::titleChanged, m_window.get(), &QWidget::setWindowTitle);
}

WebWindowController::~WebWindowController() = default;

void WebWindowController::loadURL(const QString &address, quint64 eventTime)
{
    const QString fullAddress = MarkedAddress::from(address);
    const QUrl url(fullAddress, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return;

    if (m_window->isShowingOnScreen() && m_currentURL == fullAddress) {
        // Only the window in front with the focus closes; one that is covered
        // or lost the focus comes to the front with its page as it is.
        if (!m_window->isActiveWindow()) {
            bringToFront(eventTime);
            return;
        }
        m_window->close();
        m_currentURL.reset();
        return;
    }

    m_currentURL = fullAddress;
    QWebEnginePage *page = m_webView->page();
    page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
    // Qt offers no per-request time-out; the engine's own network time-outs
    // apply. The cache policy is the engine's default.
    page->load(QWebEngineHttpRequest(url));
    bringToFront(eventTime);
}

void WebWindowController::windowFrameChanged()
{
    m_frameStore->save(m_window->frameGeometry());
}

WebPage *WebWindowController::createPage(QObject *parent)
{
    auto *page = new WebPage(m_profile, parent);
    page->setPopupFactory([this] { return createPopup(); });
    return page;
}

QWebEnginePage *WebWindowController::createPopup()
{
    auto *view = new QWebEngineView;
    WebPage *page = createPage(view);
    view->setPage(page);
    auto window = std::make_unique<WebWindow>(view, popupFlags);
    window->setWindowTitle(popupTitle);
    window->resize(popupContentSize);
    window->centreOnScreen();
    connect(page, &QWebEnginePage::windowCloseRequested, this, [this, view] { closePopupOf(view); });
    connect(window.get(), &WebWindow::closing, this, [this, view] { dropPopup(view); });
    WebWindow *shown = window.get();
    m_popupControllers.emplace(view, std::move(window));
    // A popup follows a click in a page, which Qt itself saw: its own
    // activation carries the right time, unlike a hotkey press.
    shown->show();
    shown->raise();
    shown->activateWindow();
    return page;
}

void WebWindowController::closePopupOf(QWebEngineView *view)
{
    if (view == m_webView)
        return;
    const auto entry = m_popupControllers.find(view);
    if (entry != m_popupControllers.end())
        entry->second->close();
}

// A popup's window closing, by its page or by the user: the popup is gone.
void WebWindowController::dropPopup(QWebEngineView *view)
{
    const auto entry = m_popupControllers.find(view);
    if (entry == m_popupControllers.end())
        return;
    std::unique_ptr<WebWindow> window = std::move(entry->second);
    m_popupControllers.erase(entry);
    // This runs inside the window's close event, possibly on a request of
    // its own page: delete it once both have returned to the event loop.
    window.release()->deleteLater();
}

void WebWindowController::stopPageOnClose()
{
    m_webView->stop();
    m_currentURL.reset();
    // The window hides only after this; a visible page cannot be frozen.
    QMetaObject::invokeMethod(this, &WebWindowController::freezeClosedPage, Qt::QueuedConnection);
}

// No timers, scripts or media of a page nobody sees. The next loadURL
// wakes the page and loads its address again.
void WebWindowController::freezeClosedPage()
{
    QWebEnginePage *page = m_webView->page();
    if (m_currentURL || page->isVisible())
        return;
    page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
}

void WebWindowController::bringToFront(quint64 eventTime)
{
    if (m_window->isMinimized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    if (m_activator)
        m_activator->activate(m_window->winId(), eventTime);
    else
        m_window->activateWindow();
}

void WebWindowController::placeAtRememberedFrame()
{
    const WindowFrameStore::Placement placement = m_frameStore->load();
    if (placement.isSavedFrame) {
        // The screen it was saved on may be gone or smaller.
        m_window->placeFrame(ScreenFit::fit(placement.rect));
        return;
    }
    m_window->placeContent(placement.rect);
    if (placement.centred)
        m_window->centreOnScreen();
}
