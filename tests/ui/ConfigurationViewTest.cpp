#include "ConfigurationView.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestManager.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {
TEST(ConfigurationViewTest, ShowsTheProgramsVersion)
{
    QCoreApplication::setApplicationVersion(QStringLiteral("9.8.7"));
    TestManager testManager;
    ConfigurationView view(testManager.manager());
    view.show();
    QCoreApplication::setApplicationVersion(QString());
    const auto *version = view.findChild<QLabel *>(QStringLiteral("versionLabel"));
    ASSERT_TRUE(version && version->isVisible());
    EXPECT_EQ(version->text(), QStringLiteral("Vantorel 9.8.7"));
}

// While the desktop's shortcut service has a problem, the view offers a
// request and checks again a second after it; once the problem is gone it
// shows the file and a checkmark.
TEST(ConfigurationViewTest, DeniedOffersARequestAndChecksAgainASecondAfterIt)
{
    LogCapture log;
    TestManager testManager;
    ConfigurationView view(testManager.manager());
    const auto child = [&](const char *name) { return view.findChild<QWidget *>(QLatin1String(name)); };
    const auto statusSymbol = [&] { return child("statusIcon")->property("symbol").toString(); };
    testManager.shortcuts().setServiceProblem(QStringLiteral("X11: global hotkeys unavailable: no display"));
    log.clear();
    view.show();
    EXPECT_EQ(statusSymbol(), QStringLiteral("exclamationmark.circle.fill"));
    EXPECT_TRUE(child("hintLabel")->isVisible());
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("📱 View appeared"),
                                        QStringLiteral("🔐 Accessibility Permission Check:"),
                                        QStringLiteral("  • Status: denied")}));

    ASSERT_TRUE(QTest::qWaitForWindowActive(&view)); // becoming active checks again too
    log.clear();
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    QTest::mouseClick(child("requestButton"), Qt::LeftButton);
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("Permission request initiated: false")}));

    testManager.shortcuts().setServiceProblem(QString()); // the display comes back meanwhile
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.contains(QStringLiteral("  • Status: granted")); }, 3000));
    EXPECT_GE(sinceRequest.elapsed(), 990); // a second, give or take a millisecond
    EXPECT_EQ(statusSymbol(), QStringLiteral("checkmark.circle.fill"));
    EXPECT_FALSE(child("requestButton")->isVisible());
    EXPECT_FALSE(child("hintLabel")->isVisible());
    EXPECT_EQ(qobject_cast<QLabel *>(child("pathLabel"))->text(), testManager.home() + QStringLiteral("/.vantorel"));
}

// Where the session has no shortcut service there is nothing to request: the
// view names the backend and gives the command to bind instead.
TEST(ConfigurationViewTest, WithoutAShortcutServiceItGivesTheCommandToBindInstead)
{
    for (const bool service : {true, false}) {
        TestManager testManager;
        testManager.shortcuts().setBackend(service ? HotkeyBackend::X11 : HotkeyBackend::None);
        if (service)
            testManager.shortcuts().setServiceProblem(QStringLiteral("X11: global hotkeys unavailable: no display"));
        ConfigurationView view(testManager.manager());
        view.show();
        const auto child = [&](const char *name) { return view.findChild<QLabel *>(QLatin1String(name)); };
        EXPECT_EQ(view.findChild<QWidget *>(QStringLiteral("requestButton"))->isVisible(), service);
        EXPECT_EQ(child("activateCommand")->isVisible(), !service);
        EXPECT_EQ(child("activateCommand")->text(), QStringLiteral("vantorel --activate NAME"));
        EXPECT_EQ(child("hintLabel")->text().contains(QStringLiteral("bind this command")), !service);
        EXPECT_TRUE(child("backendLabel")->text().endsWith(service ? QStringLiteral("X11") : QStringLiteral("none")));
    }
}
// Desktops that own the keys have a page of their own for them: the view
// offers it only where there is one.
TEST(ConfigurationViewTest, OffersTheDesktopsShortcutSettingsWhereItHasThem)
{
    for (const bool hasSettings : {false, true}) {
        TestManager testManager;
        testManager.shortcuts().setHasDesktopSettings(hasSettings);
        ConfigurationView view(testManager.manager());
        view.show();
        auto *button = view.findChild<QPushButton *>(QStringLiteral("desktopSettingsButton"));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->isVisible(), hasSettings);
        if (hasSettings) {
            button->click();
            EXPECT_EQ(testManager.shortcuts().desktopSettingsOpened(), 1);
        }
    }
}

// A desktop service that refuses Vantorel as a whole (the portal not
// accepting its app id) says why in the window, also when that comes after
// the window was made; nothing is said while nothing is wrong.
TEST(ConfigurationViewTest, SaysWhyTheDesktopsShortcutServiceRefusesVantorel)
{
    TestManager testManager;
    ConfigurationView view(testManager.manager());
    view.show();
    auto *problem = view.findChild<QLabel *>(QStringLiteral("serviceProblem"));
    ASSERT_NE(problem, nullptr);
    EXPECT_FALSE(problem->isVisible());

    const QString why = QStringLiteral("The desktop's portal does not accept the app id org.vantorel.Vantorel: "
                                       "App info not found for 'org.vantorel.Vantorel'");
    testManager.shortcuts().setServiceProblem(why);
    view.refreshPermissionStatus();
    EXPECT_TRUE(problem->isVisible());
    EXPECT_EQ(problem->text(), why);

    testManager.shortcuts().setServiceProblem(QString());
    view.refreshPermissionStatus();
    EXPECT_FALSE(problem->isVisible());
}

// GNOME before 48 asks nobody before a program writes its keyboard settings:
// the view asks, once, and offers taking everything out again.
TEST(ConfigurationViewTest, AsksForTheConsentTheDesktopNeedsAndTakesItBack)
{
    TestManager plain;
    ConfigurationView plainView(plain.manager());
    plainView.show();
    EXPECT_FALSE(plainView.findChild<QPushButton *>(QStringLiteral("giveDesktopConsentButton"))->isVisible());
    EXPECT_FALSE(plainView.findChild<QPushButton *>(QStringLiteral("withdrawDesktopConsentButton"))->isVisible());

    TestManager testManager;
    testManager.shortcuts().asksConsent(QStringLiteral("Add them"), QStringLiteral("Remove them"));
    ConfigurationView view(testManager.manager());
    view.show();
    auto *give = view.findChild<QPushButton *>(QStringLiteral("giveDesktopConsentButton"));
    auto *withdraw = view.findChild<QPushButton *>(QStringLiteral("withdrawDesktopConsentButton"));
    ASSERT_NE(give, nullptr);
    ASSERT_NE(withdraw, nullptr);
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
