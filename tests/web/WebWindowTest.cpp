#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestHttpServer.h"
#include "WebWindow.h"
#include "WebWindowController.h"
#include "WindowFrameStore.h"

#include <QClipboard>
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

TEST_F(WebWindowTest, TextFromEveryFrameReachesTheClipboardAndOtherMessagesDoNot)
{
    TestHttpServer otherOrigin;
    otherOrigin.serve(QStringLiteral("/frame"), "<script>navigator.clipboard.writeText('from frame')</script>");
    server.serve(QStringLiteral("/page"),
                 QStringLiteral("<iframe src='%1'></iframe>").arg(otherOrigin.url(QStringLiteral("/frame"))).toUtf8());
    LogCapture log;
    ASSERT_TRUE(load(QStringLiteral("/page")));
    ASSERT_TRUE(waitFor([&] { return log.contains(wrote + QStringLiteral("from frame")); }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("from frame"));

    page()->runJavaScript(QStringLiteral("const bridge = window.webkit.messageHandlers.clipboardWrite;"
                                         "[42, true, null, {text: 'x'}, ['x']].forEach(m => bridge.postMessage(m));"
                                         "navigator.clipboard.writeText('from page');"));
    ASSERT_TRUE(waitFor([&] { return log.contains(wrote + QStringLiteral("from page")); }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("from page"));

    page()->runJavaScript(QStringLiteral("navigator.clipboard.writeText('')"));
    ASSERT_TRUE(waitFor([&] { return log.contains(wrote); }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
    // Messages arrive in order: the ones that are not text left no trace.
    EXPECT_EQ(log.startingWith(wrote), QStringList({wrote + QStringLiteral("from frame"),
                                                    wrote + QStringLiteral("from page"), wrote}));
}

TEST_F(WebWindowTest, PopupsCloseWhenTheirPageAsksButTheMainWindowStays)
{
    server.serve(QStringLiteral("/popup"), "<html><head><title>ready</title></head></html>");
    ASSERT_TRUE(load(QStringLiteral("/a")));

    QSignalSpy closeRequests(page(), &QWebEnginePage::windowCloseRequested);
    page()->runJavaScript(QStringLiteral("window.close()"));
    ASSERT_TRUE(closeRequests.wait(10000));
    EXPECT_TRUE(isShowing());

    page()->runJavaScript(QStringLiteral("window.open('/popup')"));
    ASSERT_TRUE(waitFor([&] { return controller->popupControllers().size() == 1; }));
    QWebEngineView *popupView = controller->popupControllers().begin()->first;
    QPointer<WebWindow> popup = controller->popupControllers().begin()->second.get();
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->windowTitle(), QStringLiteral("Authorization"));
    ASSERT_TRUE(waitFor([&] { return popupView->title() == QStringLiteral("ready"); }));

    popupView->page()->runJavaScript(QStringLiteral("window.close()"));
    EXPECT_TRUE(waitFor([&] { return popup.isNull(); }));
    EXPECT_TRUE(controller->popupControllers().empty());
    EXPECT_TRUE(isShowing());
}

TEST_F(WebWindowTest, FrameIsSavedAndRestoredExactly)
{
    show();
    controller->window()->move(150, 120);
    controller->window()->resize(640, 480);
    const QRect saved = controller->window()->frameGeometry();

    restart();
    show();
    EXPECT_EQ(controller->window()->frameGeometry(), saved);
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
