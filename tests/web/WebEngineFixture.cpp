#include "WebEngineFixture.h"

#include "WebWindowController.h"
#include "WindowFrameStore.h"

#include <QCoreApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <optional>

namespace {
QWebEngineProfile *suiteProfile = nullptr;

QTemporaryDir &settingsDirectory()
{
    static QTemporaryDir directory;
    return directory;
}
} // namespace

void WebEngineFixture::SetUpTestSuite()
{
    QCoreApplication::setOrganizationName(QStringLiteral("VantorelTests"));
    QCoreApplication::setApplicationName(QStringLiteral("web-tests"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsPath());
    suiteProfile = new QWebEngineProfile;
}

void WebEngineFixture::TearDownTestSuite()
{
    delete suiteProfile;
    suiteProfile = nullptr;
}

void WebEngineFixture::SetUp()
{
    QSettings().remove(WindowFrameStore::settingsKey);
}

QWebEngineProfile *WebEngineFixture::profile()
{
    return suiteProfile;
}

QString WebEngineFixture::settingsPath()
{
    return settingsDirectory().path();
}

std::unique_ptr<WebWindowController> WebEngineFixture::makeController(std::shared_ptr<WindowActivator> activator)
{
    return std::make_unique<WebWindowController>(suiteProfile, std::move(activator));
}

QVariant WebEngineFixture::evaluate(QWebEnginePage *page, const QString &script)
{
    // Shared so that a late answer after a time-out has somewhere to go.
    auto answer = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(script, [answer](const QVariant &value) { *answer = value; });
    waitFor([&] { return answer->has_value(); });
    return answer->value_or(QVariant());
}

bool WebEngineFixture::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    // A running event loop rather than QTest::qWaitFor: its sleeps between
    // rounds add up over the many hops of a page load.
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(5);
    loop.exec();
    return condition();
}

bool WebEngineFixture::loadAndWait(QWebEnginePage *page, const std::function<void()> &load)
{
    QSignalSpy finished(page, &QWebEnginePage::loadFinished);
    load();
    if (!waitFor([&] { return !finished.isEmpty(); }))
        return false;
    return finished.last().first().toBool();
}
