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
class ConfigurationViewTest : public ::testing::Test {
protected:
    void show(bool granted)
    {
        testManager.permission().setAllowed(granted);
        log.clear();
        view.show();
    }

    template <typename T> T *child(const char *name) const { return view.findChild<T *>(QLatin1String(name)); }
    QString statusSymbol() const { return child<QLabel>("statusIcon")->property("symbol").toString(); }

    LogCapture log;
    TestManager testManager;
    ConfigurationView view{testManager.manager()};
};

TEST_F(ConfigurationViewTest, GrantedShowsTheFileAndACheckmark)
{
    show(true);
    EXPECT_EQ(child<QLabel>("pathLabel")->text(), testManager.home() + QStringLiteral("/.vantorel"));
    EXPECT_EQ(statusSymbol(), QStringLiteral("checkmark.circle.fill"));
    EXPECT_FALSE(child<QPushButton>("requestButton")->isVisible());
    EXPECT_FALSE(child<QLabel>("hintLabel")->isVisible());
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("📱 View appeared"),
                                        QStringLiteral("🔐 Accessibility Permission Check:"),
                                        QStringLiteral("  • Status: granted")}));
}

TEST(ConfigurationViewVersion, ShowsTheProgramsVersion)
{
    QCoreApplication::setApplicationVersion(QStringLiteral("9.8.7"));
    TestManager testManager;
    ConfigurationView view(testManager.manager());
    view.show();
    QCoreApplication::setApplicationVersion(QString());
    const auto *version = view.findChild<QLabel *>(QStringLiteral("versionLabel"));
    ASSERT_TRUE(version);
    EXPECT_TRUE(version->isVisible());
    EXPECT_EQ(version->text(), QStringLiteral("Vantorel 9.8.7"));
}

TEST_F(ConfigurationViewTest, DeniedOffersARequestAndChecksAgainASecondAfterIt)
{
    show(false);
    EXPECT_EQ(statusSymbol(), QStringLiteral("exclamationmark.circle.fill"));
    EXPECT_TRUE(child<QLabel>("hintLabel")->isVisible());
    EXPECT_EQ(log.lines().last(), QStringLiteral("  • Status: denied"));

    ASSERT_TRUE(QTest::qWaitForWindowActive(&view)); // becoming active checks again too
    log.clear();
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    QTest::mouseClick(child<QPushButton>("requestButton"), Qt::LeftButton);
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("Permission request initiated: false")}));
    EXPECT_EQ(testManager.permission().requestCount(), 1);

    testManager.permission().setAllowed(true); // the user grants it meanwhile
    ASSERT_TRUE(QTest::qWaitFor([this] { return log.contains(QStringLiteral("  • Status: granted")); }, 3000));
    EXPECT_GE(sinceRequest.elapsed(), 990); // a second, give or take a millisecond
    EXPECT_EQ(statusSymbol(), QStringLiteral("checkmark.circle.fill"));
    EXPECT_FALSE(child<QPushButton>("requestButton")->isVisible());
}
} // namespace
