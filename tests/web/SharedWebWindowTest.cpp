#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestHttpServer.h"
#include "app/WebGraphicsSetup.h"
#include "fake/FakeWindowActivator.h"
#include "web/WebWindow.h"
#include "web/WebWindowController.h"

#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace {

// The process-wide controller exists once per process and ends with the
// event loop, so this binary holds only this test. It starts the way the
// program loads the web window.
TEST(SharedWebWindow, TheFirstWebLaunchShowsThePageOnThePersistentProfile)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    QCoreApplication::setOrganizationName(QStringLiteral("VantorelTests"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.filePath(QStringLiteral("config")));
    TestHttpServer server;
    server.serve(QStringLiteral("/start"), "<html><body>start</body></html>");
    auto activator = std::make_shared<FakeWindowActivator>();
    WebWindowController::setWindowActivator(activator);

    // Offscreen there is no GL: the program says so, and pages still show.
    LogCapture log;
    WebGraphicsSetup::prepareSharedContext();
    EXPECT_TRUE(log.contains(QStringLiteral("WebWindow: No shared graphics context, pages render in software")));

    WebWindowController &controller = WebWindowController::shared();
    QSignalSpy finished(controller.webView()->page(), &QWebEnginePage::loadFinished);
    controller.loadURL(server.url(QStringLiteral("/start")), 4242);
    ASSERT_TRUE(finished.wait(15000));

    EXPECT_EQ(activator->activated(), QList<quintptr>({controller.window()->winId()}));
    EXPECT_EQ(activator->eventTimes(), QList<quint64>({4242})) << "the press that asked brings the window forward";
    EXPECT_TRUE(controller.webView()->page()->profile()->persistentStoragePath().startsWith(home.path()));

    // Quitting tears the window and its pages down while the application lives.
    QPointer<WebWindow> window(controller.window());
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    EXPECT_TRUE(window.isNull());
}

} // namespace
