#include "ConfigurationView.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestManager.h"

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {
class ConfigurationViewTest : public ::testing::TestWithParam<bool> {
protected:
    ConfigurationViewTest() : testManager("[]", GetParam()) { log.clear(); }

    template <typename T> T *child(const char *name) const { return view.findChild<T *>(QLatin1String(name)); }

    QString statusSymbol() const { return child<QLabel>("statusIcon")->property("symbol").toString(); }

    LogCapture log;
    TestManager testManager;
    ConfigurationView view{testManager.manager()};
};

class GrantedConfigurationView : public ConfigurationViewTest {};
class DeniedConfigurationView : public ConfigurationViewTest {};

TEST_P(GrantedConfigurationView, ShowsCheckmarkWithoutRequest)
{
    view.show();
    EXPECT_TRUE(view.hasAccessibilityPermission());
    EXPECT_EQ(statusSymbol(), QStringLiteral("checkmark.circle.fill"));
    EXPECT_NE(child<QToolButton>("refreshButton"), nullptr);
    EXPECT_FALSE(child<QPushButton>("requestButton")->isVisible());
    EXPECT_FALSE(child<QLabel>("hintLabel")->isVisible());
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("📱 View appeared"),
                                        QStringLiteral("🔐 Accessibility Permission Check:"),
                                        QStringLiteral("  • Status: granted")}));
}

TEST_P(DeniedConfigurationView, ShowsWarningRequestAndHint)
{
    view.show();
    EXPECT_FALSE(view.hasAccessibilityPermission());
    EXPECT_EQ(statusSymbol(), QStringLiteral("exclamationmark.circle.fill"));
    EXPECT_TRUE(child<QPushButton>("requestButton")->isVisible());
    EXPECT_EQ(child<QPushButton>("requestButton")->text(), QStringLiteral("Request Permission"));
    EXPECT_EQ(child<QLabel>("hintLabel")->text(), QStringLiteral("Required for global shortcuts"));
    EXPECT_TRUE(child<QLabel>("hintLabel")->isVisible());
    EXPECT_EQ(log.lines().last(), QStringLiteral("  • Status: denied"));
}

TEST_P(DeniedConfigurationView, RequestLogsAnswerAndRechecksASecondLater)
{
    view.show();
    log.clear();
    testManager.permission().setAllowed(false);

    QTest::mouseClick(child<QPushButton>("requestButton"), Qt::LeftButton);
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("Permission request initiated: false")}));
    EXPECT_EQ(testManager.permission().requestCount(), 1);

    testManager.permission().setAllowed(true); // the user grants it meanwhile
    QTest::qWait(ConfigurationView::recheckDelayMs / 2);
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_FALSE(view.hasAccessibilityPermission());

    EXPECT_TRUE(QTest::qWaitFor([this] { return view.hasAccessibilityPermission(); }, 3000));
    EXPECT_EQ(log.lines().mid(1), QStringList({QStringLiteral("🔐 Accessibility Permission Check:"),
                                               QStringLiteral("  • Status: granted")}));
    EXPECT_FALSE(child<QPushButton>("requestButton")->isVisible());
}

TEST_P(DeniedConfigurationView, RefreshButtonChecksAgain)
{
    view.show();
    testManager.permission().setAllowed(true);
    QTest::mouseClick(child<QToolButton>("refreshButton"), Qt::LeftButton);
    EXPECT_TRUE(view.hasAccessibilityPermission());
    EXPECT_EQ(statusSymbol(), QStringLiteral("checkmark.circle.fill"));
}

TEST_P(DeniedConfigurationView, EveryShowingLogsAndRefreshes)
{
    view.show();
    view.hide();
    log.clear();
    view.show();
    EXPECT_EQ(log.lines().first(), QStringLiteral("📱 View appeared"));
    EXPECT_EQ(log.lines().size(), 3);
}

TEST_P(DeniedConfigurationView, ActiveStateChangesLogBothWaysAndRefresh)
{
    view.show();
    view.applicationStateChanged(Qt::ApplicationInactive);
    log.clear();
    testManager.permission().setAllowed(true);

    view.applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("🔄 App active state changed: false -> true"),
                                        QStringLiteral("🔐 Accessibility Permission Check:"),
                                        QStringLiteral("  • Status: granted")}));
    log.clear();
    view.applicationStateChanged(Qt::ApplicationActive); // no change, no hook
    EXPECT_TRUE(log.lines().isEmpty());
    view.applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_EQ(log.lines().first(), QStringLiteral("🔄 App active state changed: true -> false"));
}

TEST_P(GrantedConfigurationView, PathIsTheButtonFileInMonospaceAndSelectable)
{
    auto *path = child<QLabel>("pathLabel");
    EXPECT_EQ(view.configPath(), testManager.home() + QStringLiteral("/.vantorel"));
    EXPECT_EQ(path->text(), view.configPath());
    EXPECT_TRUE(path->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(QFontInfo(path->font()).fixedPitch());
}

INSTANTIATE_TEST_SUITE_P(Permission, GrantedConfigurationView, ::testing::Values(true));
INSTANTIATE_TEST_SUITE_P(Permission, DeniedConfigurationView, ::testing::Values(false));
} // namespace
