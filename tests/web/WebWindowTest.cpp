#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestHttpServer.h"
#include "WebWindow.h"
#include "WebWindowController.h"
#include "WindowFrameStore.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace {

const QString marker = QStringLiteral("scrivara-mac-version=2");
const QString wrote = QStringLiteral("Wrote to clipboard: ");
const QString savedFrame = QStringLiteral("WebWindow: Saved frame: ");

// Runs the event loop until the condition holds: QTest::qWaitFor sleeps
// between rounds, which makes page loads many times slower.
bool waitFor(const std::function<bool()> &condition)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    poll.start(5);
    if (!condition())
        loop.exec();
    return condition();
}

// Lets the event loop run for a while, for things that must not happen.
void settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Stands in for the desktop's handlers of the schemes it is registered for.
class DesktopOpener : public QObject {
    Q_OBJECT
public:
    explicit DesktopOpener(const QStringList &schemes)
        : m_schemes(schemes)
    {
        for (const QString &scheme : m_schemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~DesktopOpener() override
    {
        for (const QString &scheme : m_schemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }

    Q_INVOKABLE void open(const QUrl &url) { opened.append(url.toString()); }

    QStringList opened;

private:
    QStringList m_schemes;
};

// One controller on a fresh off-the-record profile, with the program's
// settings in a directory of the test's own.
class WebWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isListening());
        QCoreApplication::setOrganizationName(QStringLiteral("VantorelTests"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        server.serve(QStringLiteral("/a"), "<html><body>A</body></html>");
        server.serve(QStringLiteral("/b"), "<html><body>B</body></html>");
        restart();
    }

    void restart()
    {
        controller.reset();
        controller = std::make_unique<WebWindowController>(&profile);
    }

    QWebEnginePage *page() const { return controller->webView()->page(); }
    bool isShowing() const { return controller->window()->isShowingOnScreen(); }
    QStringList requests(const char *path) const { return server.requestsFor(QString::fromLatin1(path)); }

    // loadURL, then wait for the page it started to load.
    bool load(const QString &path)
    {
        QSignalSpy finished(page(), &QWebEnginePage::loadFinished);
        controller->loadURL(server.url(path));
        return (!finished.isEmpty() || finished.wait(10000)) && finished.last().first().toBool();
    }

    void show()
    {
        controller->window()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->window()));
    }

    // The value of a script run in the page, once it has run.
    static QVariant evaluate(QWebEnginePage *target, const QString &script)
    {
        std::optional<QVariant> result;
        target->runJavaScript(script, [&](const QVariant &value) { result = value; });
        waitFor([&] { return result.has_value(); });
        return result.value_or(QVariant());
    }

    // A user's click at a point of the view. The engine drops input that
    // comes before a new page's first frame: click until the page sees it.
    static bool click(QWebEngineView *view, const QPoint &point)
    {
        const QString presses = QStringLiteral("if (!window.presses) { window.presses = 0;"
                                               " addEventListener('mousedown', () => ++presses, true); } presses");
        const int before = evaluate(view->page(), presses).toInt();
        for (int attempt = 0; attempt < 50; ++attempt) {
            QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, point);
            settle(20);
            if (evaluate(view->page(), presses).toInt() > before)
                return true;
        }
        return false;
    }

    QTemporaryDir settingsDir;
    TestHttpServer server;
    QWebEngineProfile profile;
    std::unique_ptr<WebWindowController> controller;
};

TEST_F(WebWindowTest, MarkerReachesTheServerAtTheEndOfTheQuery)
{
    ASSERT_TRUE(load(QStringLiteral("/a")));
    ASSERT_TRUE(load(QStringLiteral("/a?lang=en#top")));
    ASSERT_TRUE(load(QStringLiteral("/a#route?tab=2")));

    EXPECT_EQ(requests("/a"), QStringList({QStringLiteral("/a?") + marker, QStringLiteral("/a?lang=en&") + marker,
                                           QStringLiteral("/a?") + marker}));
}

TEST_F(WebWindowTest, SameAddressTogglesTheWindowAndAnotherOneLoads)
{
    ASSERT_TRUE(load(QStringLiteral("/a")));
    controller->loadURL(server.url(QStringLiteral("/a")));
    EXPECT_FALSE(controller->window()->isVisible());

    ASSERT_TRUE(load(QStringLiteral("/a")));
    EXPECT_TRUE(isShowing());
    EXPECT_EQ(requests("/a").size(), 2);

    ASSERT_TRUE(load(QStringLiteral("/b")));
    ASSERT_TRUE(load(QStringLiteral("/a")));
    EXPECT_TRUE(isShowing());
    EXPECT_EQ(requests("/a").size(), 3);

    // Closed by the user, or minimised, the window comes back for the
    // address it showed.
    controller->window()->close();
    ASSERT_TRUE(load(QStringLiteral("/a")));
    EXPECT_TRUE(isShowing());
    controller->window()->showMinimized();
    ASSERT_TRUE(load(QStringLiteral("/a")));
    EXPECT_TRUE(isShowing());
    EXPECT_EQ(requests("/a").size(), 5);
}

// A frame on another origin writes a secret: it reaches the clipboard, but
// neither the top page's scripts nor the log.
TEST_F(WebWindowTest, TextFromEveryFrameReachesOnlyTheClipboardAndOtherMessagesAreIgnored)
{
    const QString secret = QStringLiteral("pa55 %s%c word");
    TestHttpServer otherOrigin;
    otherOrigin.serve(QStringLiteral("/frame"),
                      QStringLiteral("<script>navigator.clipboard.writeText('%1')</script>").arg(secret).toUtf8());
    server.serve(QStringLiteral("/page"),
                 QStringLiteral("<script>window.seen = [];"
                                " addEventListener('message', e => seen.push(e.data));</script>"
                                "<iframe src='%1'></iframe>")
                     .arg(otherOrigin.url(QStringLiteral("/frame")))
                     .toUtf8());
    LogCapture log;
    ASSERT_TRUE(load(QStringLiteral("/page")));
    ASSERT_TRUE(waitFor([&] { return QGuiApplication::clipboard()->text() == secret; }));
    EXPECT_FALSE(evaluate(page(), QStringLiteral("JSON.stringify(seen)")).toString().contains(QStringLiteral("pa55")));

    page()->runJavaScript(QStringLiteral("const bridge = window.webkit.messageHandlers.clipboardWrite;"
                                         "[42, true, null, {text: 'x'}, ['x']].forEach(m => bridge.postMessage(m));"
                                         "navigator.clipboard.writeText('from page');"));
    ASSERT_TRUE(waitFor([&] { return QGuiApplication::clipboard()->text() == QStringLiteral("from page"); }));

    page()->runJavaScript(QStringLiteral("navigator.clipboard.writeText('')"));
    ASSERT_TRUE(waitFor([&] { return log.startingWith(wrote).size() == 3; }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
    // Messages arrive in order: the ones that are not text left no trace.
    EXPECT_EQ(log.startingWith(wrote), QStringList({wrote + QStringLiteral("14 characters"),
                                                    wrote + QStringLiteral("9 characters"),
                                                    wrote + QStringLiteral("0 characters")}));
    EXPECT_FALSE(log.lines().join(QLatin1Char('\n')).contains(QStringLiteral("pa55")));
}

// Pages open popups only from a click, one per click; a popup goes away when
// its page or the user closes it.
TEST_F(WebWindowTest, PopupsOpenOnlyFromAClickAndGoWhenClosed)
{
    server.serve(QStringLiteral("/popup"), "<html><head><title>ready</title></head></html>");
    server.serve(QStringLiteral("/page"),
                 "<button onclick=\"window.open('/popup'); window.open('/popup')\""
                 " style='width: 100%; height: 300px'>sign in</button>");
    ASSERT_TRUE(load(QStringLiteral("/page")));

    QSignalSpy closeRequests(page(), &QWebEnginePage::windowCloseRequested);
    page()->runJavaScript(QStringLiteral("window.close()"));
    ASSERT_TRUE(closeRequests.wait(10000));
    EXPECT_TRUE(isShowing());

    evaluate(page(), QStringLiteral("window.open('/popup'); window.open('/popup'); 1"));
    settle(200);
    EXPECT_TRUE(controller->popupControllers().empty());

    for (const bool closedByPage : {true, false}) {
        ASSERT_TRUE(click(controller->webView(), QPoint(50, 50)));
        ASSERT_TRUE(waitFor([&] { return !controller->popupControllers().empty(); }));
        QWebEngineView *popupView = controller->popupControllers().begin()->first;
        QPointer<WebWindow> popup = controller->popupControllers().begin()->second.get();
        EXPECT_TRUE(popup->isVisible());
        EXPECT_EQ(popup->windowTitle(), QStringLiteral("Authorization"));
        ASSERT_TRUE(waitFor([&] { return popupView->title() == QStringLiteral("ready"); }));
        EXPECT_EQ(controller->popupControllers().size(), 1u);

        if (closedByPage)
            popupView->page()->runJavaScript(QStringLiteral("window.close()"));
        else
            popup->close();
        EXPECT_TRUE(waitFor([&] { return popup.isNull(); }));
        EXPECT_TRUE(controller->popupControllers().empty());
        EXPECT_TRUE(isShowing());
    }
}

// Only mail, phone and messaging links leave the web window, and only when
// the user clicks them; the log names their scheme, not the address.
TEST_F(WebWindowTest, OnlyClickedMailAndPhoneLinksGoToTheDesktop)
{
    DesktopOpener desktop({QStringLiteral("mailto"), QStringLiteral("tel"), QStringLiteral("vnc")});
    server.serve(QStringLiteral("/links"), "<style>a { display: block; height: 100px; }</style>"
                                           "<a href='vnc://192.168.1.2'>vnc</a>"
                                           "<a href='mailto:jane.doe@example.org'>mail</a>");
    LogCapture log;
    ASSERT_TRUE(load(QStringLiteral("/links")));
    evaluate(page(), QStringLiteral("location.href = 'tel:+15550100'; 1"));
    ASSERT_TRUE(click(controller->webView(), QPoint(50, 50)));
    ASSERT_TRUE(click(controller->webView(), QPoint(50, 150)));

    ASSERT_TRUE(waitFor([&] { return !desktop.opened.isEmpty(); }));
    settle(100);
    EXPECT_EQ(desktop.opened, QStringList({QStringLiteral("mailto:jane.doe@example.org")}));
    EXPECT_EQ(log.startingWith(QStringLiteral("WebWindow: Opening")),
              QStringList({QStringLiteral("WebWindow: Opening a mailto link on the desktop")}));
    EXPECT_FALSE(log.lines().join(QLatin1Char('\n')).contains(QStringLiteral("jane")));
}

// A closed window's page stops: its timers send nothing until it shows again.
TEST_F(WebWindowTest, ClosedWindowStopsItsPage)
{
    server.serve(QStringLiteral("/ping"), "pong", "text/plain");
    server.serve(QStringLiteral("/pinging"), "<script>setInterval(() => fetch('/ping').catch(() => {}), 20)</script>");
    ASSERT_TRUE(load(QStringLiteral("/pinging")));
    ASSERT_TRUE(waitFor([&] { return requests("/ping").size() >= 2; }));

    controller->window()->close();
    settle(100);
    const qsizetype pingsWhenClosed = requests("/ping").size();
    // Hidden pages that still run get their timers at least once a second.
    settle(1500);
    EXPECT_EQ(requests("/ping").size(), pingsWhenClosed);

    ASSERT_TRUE(load(QStringLiteral("/pinging")));
    EXPECT_TRUE(waitFor([&] { return requests("/ping").size() >= pingsWhenClosed + 2; }));
}

// The hotkey brings a covered or unfocused window to the front; only the
// window in front with the focus closes.
TEST_F(WebWindowTest, SameAddressRaisesAnInactiveWindowAndClosesOnlyTheActiveOne)
{
    ASSERT_TRUE(load(QStringLiteral("/a")));
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller->window()));
    QWidget other;
    other.resize(300, 200);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

    controller->loadURL(server.url(QStringLiteral("/a")));
    EXPECT_TRUE(isShowing());
    EXPECT_TRUE(QTest::qWaitForWindowActive(controller->window()));
    EXPECT_EQ(requests("/a").size(), 1);

    controller->loadURL(server.url(QStringLiteral("/a")));
    EXPECT_FALSE(controller->window()->isVisible());
}

TEST_F(WebWindowTest, FrameIsSavedWhenItChangesAndRestoredExactly)
{
    show();
    controller->window()->move(150, 120);
    controller->window()->resize(640, 480);
    const QRect saved = controller->window()->frameGeometry();

    LogCapture log;
    restart();
    show();
    EXPECT_EQ(controller->window()->frameGeometry(), saved);
    controller->window()->close();
    show();
    EXPECT_TRUE(log.startingWith(savedFrame).isEmpty());

    controller->window()->move(60, 70);
    const QString moved = QStringLiteral("{{60, 70}, {%1, %2}}").arg(saved.width()).arg(saved.height());
    EXPECT_EQ(log.startingWith(savedFrame), QStringList({savedFrame + moved}));
}

// A frame saved on a screen that is gone, or larger than the screens there
// are, is fitted onto one.
TEST_F(WebWindowTest, SavedFrameIsFittedOntoAScreen)
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QSettings().setValue(WindowFrameStore::settingsKey, QStringLiteral("{{5000, 4000}, {500, 400}}"));
    restart();
    show();
    EXPECT_TRUE(available.contains(controller->window()->frameGeometry()));
    EXPECT_EQ(controller->window()->frameGeometry().size(), QSize(500, 400));

    QSettings().setValue(WindowFrameStore::settingsKey, QStringLiteral("{{-300, 100}, {5000, 4000}}"));
    restart();
    show();
    EXPECT_EQ(controller->window()->frameGeometry(), available);
}

TEST_F(WebWindowTest, DefaultFrameIsCentredOnlyWhenNoneWasSaved)
{
    show();
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((controller->window()->frameGeometry().center() - available.center()).manhattanLength(), 2);

    // An unreadable value gives the default where it stands.
    QSettings().setValue(WindowFrameStore::settingsKey, QStringLiteral("{{1, 2}, {3}}"));
    LogCapture log;
    restart();
    show();
    EXPECT_TRUE(log.contains(QStringLiteral("WebWindow: Using default frame: (0.0, 0.0, 1024.0, 768.0)")));
    EXPECT_EQ(controller->window()->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(controller->window()->size(), QSize(1024, 768));
}

} // namespace

#include "WebWindowTest.moc"
