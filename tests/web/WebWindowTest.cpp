#include "EventLoopWait.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestHttpServer.h"
#include "web/WebWindow.h"
#include "web/WebWindowController.h"
#include "web/WindowFrameStore.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace {

// Page loads get more time than the default wait.
bool waitFor(const std::function<bool()> &condition) { return runEventLoopUntil(condition, 10000); }
// Lets the event loop run for a while, for things that must not happen.
void settle(int milliseconds) { runEventLoopUntil([] { return false; }, milliseconds); }

// Stands in for the desktop's handler of the link schemes the test uses.
class DesktopOpener : public QObject {
    Q_OBJECT
public:
    DesktopOpener() { forEachScheme([this](const QString &s) { QDesktopServices::setUrlHandler(s, this, "open"); }); }
    ~DesktopOpener() override { forEachScheme(&QDesktopServices::unsetUrlHandler); }
    static void forEachScheme(const std::function<void(const QString &)> &act)
    {
        for (const char *scheme : {"mailto", "tel", "vnc"})
            act(QString::fromLatin1(scheme));
    }
    Q_INVOKABLE void open(const QUrl &url) { opened.append(url.toString()); }
    QStringList opened;
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
        serve("/a", "<html><head><title>A</title></head><body>A</body></html>");
        serve("/b", "<html><head><title>B</title></head><body>B</body></html>");
        restart();
    }

    // A new controller, as after a restart of the program (the old one goes first).
    void restart() { controller.reset(); controller = std::make_unique<WebWindowController>(&profile); }

    WebWindow *window() const { return controller->window(); }
    QWebEnginePage *page() const { return controller->webView()->page(); }
    bool isShowing() const { return window()->isShowingOnScreen(); }
    bool titled(const char *title) const { return waitFor([&] { return window()->windowTitle() == QLatin1String(title); }); }
    void serve(const char *path, const char *body) { server.serve(QString::fromLatin1(path), body); }
    QStringList requests(const char *path) const { return server.requestsFor(QString::fromLatin1(path)); }
    void loadURL(const char *path) { controller->loadURL(server.url(QString::fromLatin1(path))); }

    // loadURL, then wait for the page it started to load.
    bool load(const char *path)
    {
        QSignalSpy finished(page(), &QWebEnginePage::loadFinished);
        loadURL(path);
        return (!finished.isEmpty() || finished.wait(10000)) && finished.last().first().toBool();
    }

    // Shows the window with the frame saved in the settings (this one, when given).
    bool showAfterRestart(const char *savedFrame = nullptr)
    {
        if (savedFrame)
            QSettings().setValue(WindowFrameStore::settingsKey, QString::fromLatin1(savedFrame));
        restart();
        window()->show();
        return QTest::qWaitForWindowExposed(window());
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
    bool click(const QPoint &point)
    {
        const QString presses = QStringLiteral("if (!window.presses) { window.presses = 0;"
                                               " addEventListener('mousedown', () => ++presses, true); } presses");
        const int before = evaluate(page(), presses).toInt();
        for (int attempt = 0; attempt < 50; ++attempt) {
            QTest::mouseClick(controller->webView()->focusProxy(), Qt::LeftButton, {}, point);
            settle(20);
            if (evaluate(page(), presses).toInt() > before)
                return true;
        }
        return false;
    }

    QTemporaryDir settingsDir;
    TestHttpServer server;
    QWebEngineProfile profile;
    std::unique_ptr<WebWindowController> controller;
};

// The hotkey's address raises its covered window without reloading it and
// closes it when in front; hidden that way, closed or minimised, the window
// comes back for the address it showed. Another address loads. The window
// is named after its page, as a browser's is, page after page.
TEST_F(WebWindowTest, SameAddressRaisesACoveredWindowAndClosesOnlyTheActiveOne)
{
    EXPECT_EQ(window()->windowTitle(), QStringLiteral("Vantorel Web View"));
    ASSERT_TRUE(load("/a?lang=en#top"));
    EXPECT_TRUE(titled("A")) << window()->windowTitle().toStdString();
    EXPECT_EQ(requests("/a"), QStringList({QStringLiteral("/a?lang=en&scrivara-mac-version=2")}));
    ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    loadURL("/a?lang=en#top");
    EXPECT_TRUE(QTest::qWaitForWindowActive(window()));
    EXPECT_EQ(requests("/a").size(), 1);

    const std::function<void()> leaves[] = {
        [this] {
            loadURL("/a?lang=en#top");
            EXPECT_FALSE(window()->isVisible());
        },
        [this] { window()->close(); },
        [this] { window()->showMinimized(); },
        [this] {
            ASSERT_TRUE(load("/b"));
            EXPECT_TRUE(titled("B"));
        },
    };
    for (const auto &leave : leaves) {
        leave();
        ASSERT_TRUE(load("/a?lang=en#top"));
        EXPECT_TRUE(isShowing());
        EXPECT_TRUE(titled("A"));
    }
    EXPECT_EQ(requests("/a").size(), 5);
}

// A frame on another origin writes a secret: it reaches the clipboard, but
// neither the top page's scripts nor the log, which has only its length.
TEST_F(WebWindowTest, TextFromEveryFrameReachesOnlyTheClipboardAndOtherMessagesAreIgnored)
{
    const QString secret = QStringLiteral("pa55 %s%c word");
    const QString wrote = QStringLiteral("Wrote to clipboard: ");
    TestHttpServer otherOrigin;
    otherOrigin.serve(QStringLiteral("/frame"),
                      QStringLiteral("<script>navigator.clipboard.writeText('%1')</script>").arg(secret).toUtf8());
    server.serve(QStringLiteral("/page"), QStringLiteral("<script>window.seen = [];"
                                                         " addEventListener('message', e => seen.push(e.data));</script>"
                                                         "<iframe src='%1'></iframe>")
                                              .arg(otherOrigin.url(QStringLiteral("/frame")))
                                              .toUtf8());
    LogCapture log;
    ASSERT_TRUE(load("/page"));
    ASSERT_TRUE(waitFor([&] { return QGuiApplication::clipboard()->text() == secret; }));
    EXPECT_FALSE(evaluate(page(), QStringLiteral("JSON.stringify(seen)")).toString().contains(QStringLiteral("pa55")));

    page()->runJavaScript(QStringLiteral("const bridge = window.webkit.messageHandlers.clipboardWrite;"
                                         "[42, true, null, {text: 'x'}, ['x']].forEach(m => bridge.postMessage(m));"
                                         "navigator.clipboard.writeText('from page');"
                                         "navigator.clipboard.writeText('');"));
    ASSERT_TRUE(waitFor([&] { return log.startingWith(wrote).size() == 3; }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
    // Messages arrive in order: the ones that are not text left no trace.
    EXPECT_EQ(log.startingWith(wrote), (QStringList{wrote + "14 characters", wrote + "9 characters", wrote + "0 characters"}));
    EXPECT_FALSE(log.lines().join(QLatin1Char('\n')).contains(QStringLiteral("pa55")));
}

// Pages open popups only from a click, one per click; a popup goes away when
// its page or the user closes it, and the page's own close keeps the window.
TEST_F(WebWindowTest, PopupsOpenOnlyFromAClickAndGoWhenClosed)
{
    serve("/popup", "<html><head><title>ready</title></head></html>");
    serve("/page", "<button onclick=\"window.open('/popup'); window.open('/popup')\""
                   " style='width: 100%; height: 300px'>sign in</button>");
    ASSERT_TRUE(load("/page"));
    QSignalSpy closeRequests(page(), &QWebEnginePage::windowCloseRequested);
    evaluate(page(), QStringLiteral("window.close(); window.open('/popup'); window.open('/popup'); 1"));
    ASSERT_TRUE(!closeRequests.isEmpty() || closeRequests.wait(10000));
    settle(200);
    EXPECT_TRUE(controller->popupControllers().empty());
    EXPECT_TRUE(isShowing());

    for (const bool closedByPage : {true, false}) {
        ASSERT_TRUE(click(QPoint(50, 50)));
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
    DesktopOpener desktop;
    serve("/links", "<style>a { display: block; height: 100px; }</style>"
                    "<a href='vnc://192.168.1.2'>vnc</a><a href='mailto:jane.doe@example.org'>mail</a>");
    LogCapture log;
    ASSERT_TRUE(load("/links"));
    evaluate(page(), QStringLiteral("location.href = 'tel:+15550100'; 1"));
    ASSERT_TRUE(click(QPoint(50, 50)));
    ASSERT_TRUE(click(QPoint(50, 150)));

    ASSERT_TRUE(waitFor([&] { return !desktop.opened.isEmpty(); }));
    settle(100);
    EXPECT_EQ(desktop.opened, QStringList{"mailto:jane.doe@example.org"});
    EXPECT_EQ(log.startingWith(QStringLiteral("WebWindow: Opening")),
              QStringList{"WebWindow: Opening a mailto link on the desktop"});
    EXPECT_FALSE(log.lines().join(QLatin1Char('\n')).contains(QStringLiteral("jane")));
}

// A closed window's page stops: its timers send nothing until it shows again.
TEST_F(WebWindowTest, ClosedWindowStopsItsPage)
{
    server.serve(QStringLiteral("/ping"), "pong", "text/plain");
    serve("/pinging", "<script>setInterval(() => fetch('/ping').catch(() => {}), 20)</script>");
    ASSERT_TRUE(load("/pinging"));
    ASSERT_TRUE(waitFor([&] { return requests("/ping").size() >= 2; }));

    window()->close();
    settle(100);
    const qsizetype pingsWhenClosed = requests("/ping").size();
    // Hidden pages that still run get their timers at least once a second.
    settle(1500);
    EXPECT_EQ(requests("/ping").size(), pingsWhenClosed);

    ASSERT_TRUE(load("/pinging"));
    EXPECT_TRUE(waitFor([&] { return requests("/ping").size() >= pingsWhenClosed + 2; }));
}

// With nothing saved the window is centred; a changed frame is saved and
// comes back exactly, an unchanged one is not written again. A saved frame
// off the screens, or larger than them, is fitted onto one; an unreadable
// one gives the default frame where it stands.
TEST_F(WebWindowTest, FrameIsSavedOnlyWhenItChangesAndRestoredFittedOntoAScreen)
{
    const QString savedFrame = QStringLiteral("WebWindow: Saved frame: ");
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_TRUE(showAfterRestart());
    EXPECT_LE((window()->frameGeometry().center() - available.center()).manhattanLength(), 2);
    window()->setGeometry(150, 120, 640, 480);
    const QRect saved = window()->frameGeometry();
    LogCapture log;
    ASSERT_TRUE(showAfterRestart());
    EXPECT_EQ(window()->frameGeometry(), saved);
    window()->close();
    window()->show();
    EXPECT_TRUE(log.startingWith(savedFrame).isEmpty());
    window()->move(60, 70);
    EXPECT_EQ(log.startingWith(savedFrame),
              QStringList({savedFrame + QStringLiteral("{{60, 70}, {%1, %2}}").arg(saved.width()).arg(saved.height())}));

    ASSERT_TRUE(showAfterRestart("{{5000, 4000}, {500, 400}}"));
    EXPECT_TRUE(available.contains(window()->frameGeometry()));
    EXPECT_EQ(window()->frameGeometry().size(), QSize(500, 400));
    ASSERT_TRUE(showAfterRestart("{{-300, 100}, {5000, 4000}}"));
    EXPECT_EQ(window()->frameGeometry(), available);
    ASSERT_TRUE(showAfterRestart("{{1, 2}, {3}}"));
    EXPECT_EQ(window()->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(window()->size(), QSize(1024, 768));
}

} // namespace

#include "WebWindowTest.moc"
