#include "WebEngineFixture.h"

#include "LogCapture.h"
#include "MarkedAddress.h"
#include "QStringPrinter.h"
#include "TestHttpServer.h"
#include "WebWindow.h"
#include "WebWindowController.h"
#include "fake/FakeWindowActivator.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

const QString marker = QStringLiteral("scrivara-mac-version=2");

class WebWindowControllerTest : public WebEngineFixture {
protected:
    void SetUp() override
    {
        WebEngineFixture::SetUp();
        server.serve(QStringLiteral("/a"), "<html><head><title>A</title></head><body>A</body></html>");
        server.serve(QStringLiteral("/b"), "<html><head><title>B</title></head><body>B</body></html>");
        ASSERT_TRUE(server.isListening());
        controller = makeController(activator);
    }

    QWebEnginePage *page() const { return controller->webView()->page(); }

    // loadURL, then wait until the page it started has loaded.
    bool loadAndShow(const QString &address)
    {
        return loadAndWait(page(), [&] { controller->loadURL(address); });
    }

    bool isShowing() const { return controller->window()->isShowingOnScreen(); }

    TestHttpServer server;
    std::shared_ptr<FakeWindowActivator> activator = std::make_shared<FakeWindowActivator>();
    std::unique_ptr<WebWindowController> controller;
};

TEST_F(WebWindowControllerTest, MarkerReachesTheServerInTheQuery)
{
    ASSERT_TRUE(loadAndShow(server.url(QStringLiteral("/a"))));
    ASSERT_TRUE(loadAndShow(server.url(QStringLiteral("/a?lang=en#section"))));
    ASSERT_TRUE(loadAndShow(server.url(QStringLiteral("/a#only?in-fragment"))));

    EXPECT_EQ(server.requestsFor(QStringLiteral("/a")),
              QStringList({QStringLiteral("/a?") + marker, QStringLiteral("/a?lang=en&") + marker,
                           QStringLiteral("/a?") + marker}));
    EXPECT_EQ(controller->currentURL(), server.url(QStringLiteral("/a?") + marker + QStringLiteral("#only?in-fragment")));
}

TEST_F(WebWindowControllerTest, CreationLeavesTheWindowHiddenWithItsInitialTitle)
{
    EXPECT_FALSE(controller->window()->isVisible());
    EXPECT_EQ(controller->window()->windowTitle(), WebWindowController::initialTitle);
    EXPECT_EQ(controller->window()->minimumSize(), QSize(400, 300));
    EXPECT_FALSE(controller->currentURL().has_value());
    EXPECT_TRUE(controller->popupControllers().empty());
}

TEST_F(WebWindowControllerTest, LoadingShowsTheWindowWithAnEmptyTitleAndActivatesIt)
{
    ASSERT_TRUE(loadAndShow(server.url(QStringLiteral("/a"))));

    EXPECT_TRUE(isShowing());
    EXPECT_TRUE(controller->window()->windowTitle().isEmpty());
    EXPECT_EQ(page()->url().toString(), server.url(QStringLiteral("/a?") + marker));
    ASSERT_FALSE(activator->activated().isEmpty());
    EXPECT_EQ(activator->activated().last(), controller->window()->winId());
}

TEST_F(WebWindowControllerTest, SameAddressTogglesAndTheThirdCallReloads)
{
    const QString a = server.url(QStringLiteral("/a"));
    ASSERT_TRUE(loadAndShow(a));

    controller->loadURL(a);
    EXPECT_FALSE(controller->window()->isVisible());
    EXPECT_FALSE(controller->currentURL().has_value());

    ASSERT_TRUE(loadAndShow(a));
    EXPECT_TRUE(isShowing());
    EXPECT_EQ(server.requestsFor(QStringLiteral("/a")).size(), 2);
}

TEST_F(WebWindowControllerTest, TogglingComparesOnlyWithTheAddressShowing)
{
    const QString a = server.url(QStringLiteral("/a"));
    const QString b = server.url(QStringLiteral("/b"));
    ASSERT_TRUE(loadAndShow(a));
    ASSERT_TRUE(loadAndShow(b));
    EXPECT_EQ(controller->currentURL(), MarkedAddress::from(b));
    ASSERT_TRUE(loadAndShow(a));

    EXPECT_TRUE(isShowing());
    EXPECT_EQ(controller->currentURL(), MarkedAddress::from(a));
    EXPECT_EQ(server.requestsFor(QStringLiteral("/a")).size(), 2);
    EXPECT_EQ(server.requestsFor(QStringLiteral("/b")).size(), 1);
}

TEST_F(WebWindowControllerTest, AfterTheUserClosedTheWindowTheSameAddressOpensItAgain)
{
    const QString a = server.url(QStringLiteral("/a"));
    ASSERT_TRUE(loadAndShow(a));

    controller->window()->close();
    EXPECT_FALSE(controller->currentURL().has_value());

    ASSERT_TRUE(loadAndShow(a));
    EXPECT_TRUE(isShowing());
    EXPECT_EQ(server.requestsFor(QStringLiteral("/a")).size(), 2);
}

TEST_F(WebWindowControllerTest, AMinimisedWindowIsBroughtBackInsteadOfClosed)
{
    const QString a = server.url(QStringLiteral("/a"));
    ASSERT_TRUE(loadAndShow(a));
    controller->window()->showMinimized();
    ASSERT_TRUE(controller->window()->isMinimized());

    ASSERT_TRUE(loadAndShow(a));
    EXPECT_TRUE(isShowing());
    EXPECT_EQ(server.requestsFor(QStringLiteral("/a")).size(), 2);
}

TEST_F(WebWindowControllerTest, AnAddressThatDoesNotParseChangesNothing)
{
    LogCapture log;
    controller->loadURL(QStringLiteral("http://127.0.0.1:%1/a b").arg(server.port()));

    EXPECT_FALSE(controller->window()->isVisible());
    EXPECT_FALSE(controller->currentURL().has_value());
    EXPECT_EQ(controller->window()->windowTitle(), WebWindowController::initialTitle);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(WebWindowControllerTest, ScriptCannotCloseTheMainWindow)
{
    ASSERT_TRUE(loadAndShow(server.url(QStringLiteral("/a"))));
    QSignalSpy closeRequests(page(), &QWebEnginePage::windowCloseRequested);

    evaluate(page(), QStringLiteral("window.close()"));
    ASSERT_TRUE(waitFor([&] { return !closeRequests.isEmpty(); }));
    QTest::qWait(50);

    EXPECT_TRUE(isShowing());
    EXPECT_EQ(controller->currentURL(), MarkedAddress::from(server.url(QStringLiteral("/a"))));
}

TEST_F(WebWindowControllerTest, PopupOpensInItsOwnWindowAndClosesWhenItsPageAsks)
{
    server.serve(QStringLiteral("/sign-in"), "<html><body>sign in</body></html>");
    ASSERT_TRUE(loadAndShow(server.url(QStringLiteral("/a"))));

    evaluate(page(), QStringLiteral("window.open('/sign-in?step=1'); true"));
    ASSERT_TRUE(waitFor([&] { return controller->popupControllers().size() == 1; }));
    QWebEngineView *popupView = controller->popupControllers().begin()->first;
    WebWindow *popup = controller->popupControllers().begin()->second.get();
    ASSERT_TRUE(waitFor([&] { return popupView->url().path() == QStringLiteral("/sign-in"); }));
    ASSERT_TRUE(waitFor([&] { return !server.requestsFor(QStringLiteral("/sign-in")).isEmpty(); }));

    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->windowTitle(), WebWindowController::popupTitle);
    EXPECT_EQ(popup->size(), QSize(800, 600));
    EXPECT_TRUE(popup->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(popup->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(isShowing());

    QPointer<WebWindow> watched(popup);
    evaluate(popupView->page(), QStringLiteral("window.close()"));
    ASSERT_TRUE(waitFor([&] { return controller->popupControllers().empty(); }));
    EXPECT_TRUE(waitFor([&] { return watched.isNull(); }));
    EXPECT_TRUE(isShowing());
}

} // namespace
