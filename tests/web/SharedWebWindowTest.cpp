#include "LogCapture.h"
#include "QStringPrinter.h"
#include "TestHttpServer.h"
#include "WebWindow.h"
#include "WebWindowController.h"
#include "fake/FakeWindowActivator.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// The engine's helper processes that this process started.
int engineHelperCount()
{
    int count = 0;
    const QString parent = QString::number(getpid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromLatin1(stat.readAll());
        const qsizetype nameEnd = text.lastIndexOf(QLatin1Char(')'));
        const QString name = text.mid(text.indexOf(QLatin1Char('(')) + 1, nameEnd - text.indexOf(QLatin1Char('(')) - 1);
        const QStringList fields = text.mid(nameEnd + 2).split(QLatin1Char(' '));
        if (fields.size() > 1 && fields.at(1) == parent && name.startsWith(QStringLiteral("QtWebEngine")))
            ++count;
    }
    return count;
}

bool loadFinishes(QWebEnginePage *page, const std::function<void()> &load)
{
    QSignalSpy finished(page, &QWebEnginePage::loadFinished);
    QEventLoop loop;
    QObject::connect(page, &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    load();
    loop.exec();
    return !finished.isEmpty() && finished.last().first().toBool();
}

// The process-wide controller exists once per process and ends with the
// event loop, so this binary holds only this test.
TEST(SharedWebWindow, EngineStartsWithTheFirstWebLaunchOnThePersistentProfile)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    QCoreApplication::setOrganizationName(QStringLiteral("VantorelTests"));
    QCoreApplication::setApplicationName(QStringLiteral("shared-web-test"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.filePath(QStringLiteral("config")));
    TestHttpServer server;
    server.serve(QStringLiteral("/start"), "<html><body>start</body></html>");
    auto activator = std::make_shared<FakeWindowActivator>();
    WebWindowController::setWindowActivator(activator);

    EXPECT_EQ(engineHelperCount(), 0);

    LogCapture log;
    WebWindowController &controller = WebWindowController::shared();
    EXPECT_EQ(&controller, &WebWindowController::shared());
    EXPECT_TRUE(log.contains(QStringLiteral("WebWindow: Using default frame: (0.0, 0.0, 1024.0, 768.0)")));
    ASSERT_TRUE(loadFinishes(controller.webView()->page(),
                             [&] { controller.loadURL(server.url(QStringLiteral("/start"))); }));

    EXPECT_GT(engineHelperCount(), 0);
    EXPECT_EQ(activator->activated(), QList<quintptr>({controller.window()->winId()}));
    const QWebEngineProfile *profile = controller.webView()->page()->profile();
    EXPECT_FALSE(profile->isOffTheRecord());
    EXPECT_TRUE(profile->persistentStoragePath().startsWith(home.filePath(QStringLiteral("data"))))
        << profile->persistentStoragePath().toStdString();

    // Quitting the program tears the window and its pages down before the
    // profile, while the application still exists.
    QPointer<WebWindow> window(controller.window());
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    EXPECT_TRUE(window.isNull());
}

} // namespace
