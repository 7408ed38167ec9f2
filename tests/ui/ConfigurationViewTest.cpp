#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestManager.h"
#include "ui/ConfigurationView.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {
// The window over a manager on fake services, made once a test has set the fakes up.
class ConfigurationWindow : public ::testing::Test {
protected:
    void show()
    {
        view = std::make_unique<ConfigurationView>(testManager.manager());
        view->show();
    }
    template <typename T = QWidget> T *child(const char *name) const { return view->findChild<T *>(QLatin1String(name)); }

    LogCapture log;
    TestManager testManager;
    std::unique_ptr<ConfigurationView> view;
};

TEST_F(ConfigurationWindow, ShowsTheProgramsVersion)
{
    QCoreApplication::setApplicationVersion(QStringLiteral("9.8.7"));
    show();
    QCoreApplication::setApplicationVersion(QString());
    ASSERT_TRUE(child("versionLabel")->isVisible());
    EXPECT_EQ(child<QLabel>("versionLabel")->text(), QStringLiteral("Vantorel 9.8.7"));
}

// While the desktop's shortcut service has a problem, the view offers a
// request and checks again a second after it; once the problem is gone it
// shows the file and a checkmark.
TEST_F(ConfigurationWindow, DeniedOffersARequestAndChecksAgainASecondAfterIt)
{
    const auto statusSymbol = [&] { return child("statusIcon")->property("symbol").toString(); };
    testManager.shortcuts().setServiceProblem(QStringLiteral("X11: global hotkeys unavailable: no display"));
    log.clear();
    show();
    EXPECT_EQ(statusSymbol(), QStringLiteral("exclamationmark.circle.fill"));
    EXPECT_TRUE(child("hintLabel")->isVisible());
    EXPECT_EQ(log.lines(), (QStringList{"📱 View appeared", "🔐 Accessibility Permission Check:", "  • Status: denied"}));

    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get())); // becoming active checks again too
    log.clear();
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    QTest::mouseClick(child("requestButton"), Qt::LeftButton);
    EXPECT_EQ(log.lines(), QStringList{"Permission request initiated: false"});

    testManager.shortcuts().setServiceProblem(QString()); // the display comes back meanwhile
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.contains(QStringLiteral("  • Status: granted")); }, 3000));
    EXPECT_GE(sinceRequest.elapsed(), 990); // a second, give or take a millisecond
    EXPECT_EQ(statusSymbol(), QStringLiteral("checkmark.circle.fill"));
    EXPECT_FALSE(child("requestButton")->isVisible());
    EXPECT_FALSE(child("hintLabel")->isVisible());
    EXPECT_EQ(child<QLabel>("pathLabel")->text(), testManager.home() + QStringLiteral("/.vantorel"));
}

// Where the session has no shortcut service there is nothing to request: the
// view names the backend and gives the command to bind instead.
TEST_F(ConfigurationWindow, WithoutAShortcutServiceItGivesTheCommandToBindInstead)
{
    testManager.shortcuts().setServiceProblem(QStringLiteral("X11: global hotkeys unavailable: no display"));
    for (const bool service : {true, false}) {
        testManager.shortcuts().setBackend(service ? HotkeyBackend::X11 : HotkeyBackend::None);
        show();
        EXPECT_EQ(child("requestButton")->isVisible(), service);
        EXPECT_EQ(child("activateCommand")->isVisible(), !service);
        EXPECT_EQ(child<QLabel>("activateCommand")->text(), QStringLiteral("vantorel --activate NAME"));
        EXPECT_EQ(child<QLabel>("hintLabel")->text().contains(QStringLiteral("bind this command")), !service);
        EXPECT_TRUE(child<QLabel>("backendLabel")->text().endsWith(service ? QStringLiteral("X11") : QStringLiteral("none")));
    }
}

// Desktops that own the keys have a page of their own for them: the view
// offers it only where there is one.
TEST_F(ConfigurationWindow, OffersTheDesktopsShortcutSettingsWhereItHasThem)
{
    for (const bool hasSettings : {false, true}) {
        testManager.shortcuts().setHasDesktopSettings(hasSettings);
        show();
        EXPECT_EQ(child("desktopSettingsButton")->isVisible(), hasSettings);
    }
    child<QPushButton>("desktopSettingsButton")->click();
    EXPECT_EQ(testManager.shortcuts().desktopSettingsOpened(), 1);
}

// A desktop service that refuses Vantorel as a whole (the portal not
// accepting its app id) says why in the window, also when that comes after
// the window was made; nothing is said while nothing is wrong.
TEST_F(ConfigurationWindow, SaysWhyTheDesktopsShortcutServiceRefusesVantorel)
{
    show();
    auto *problem = child<QLabel>("serviceProblem");
    EXPECT_FALSE(problem->isVisible());
    const QString why = QStringLiteral("The desktop's portal does not accept the app id org.vantorel.Vantorel: "
                                       "App info not found for 'org.vantorel.Vantorel'");
    testManager.shortcuts().setServiceProblem(why);
    view->refreshPermissionStatus();
    EXPECT_TRUE(problem->isVisible());
    EXPECT_EQ(problem->text(), why);
    testManager.shortcuts().setServiceProblem(QString());
    view->refreshPermissionStatus();
    EXPECT_FALSE(problem->isVisible());
}

// GNOME before 48 asks nobody before a program writes its keyboard settings:
// the view asks, once, and offers taking everything out again.
TEST_F(ConfigurationWindow, AsksForTheConsentTheDesktopNeedsAndTakesItBack)
{
    show();
    EXPECT_FALSE(child("giveDesktopConsentButton")->isVisible()) << "a desktop that needs none";
    EXPECT_FALSE(child("withdrawDesktopConsentButton")->isVisible());

    testManager.shortcuts().asksConsent(QStringLiteral("Add them"), QStringLiteral("Remove them"));
    show();
    auto *give = child<QPushButton>("giveDesktopConsentButton");
    auto *withdraw = child<QPushButton>("withdrawDesktopConsentButton");
    EXPECT_EQ(give->text(), QStringLiteral("Add them"));
    EXPECT_EQ(withdraw->text(), QStringLiteral("Remove them"));
    EXPECT_TRUE(give->isVisible());
    EXPECT_FALSE(withdraw->isVisible());

    give->click();
    EXPECT_TRUE(testManager.shortcuts().hasConsent());
    EXPECT_FALSE(give->isVisible());
    EXPECT_TRUE(withdraw->isVisible());

    withdraw->click();
    EXPECT_FALSE(testManager.shortcuts().hasConsent());
    EXPECT_TRUE(give->isVisible());
    // Given from elsewhere (a terminal): the view follows.
    testManager.shortcuts().setConsent(true);
    EXPECT_TRUE(withdraw->isVisible());
}
} // namespace
