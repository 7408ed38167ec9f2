#include "SingleInstance.h"

#include <QSignalSpy>
#include <QUuid>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {
QString uniqueName()
{
    return QStringLiteral("vantorel-test-") + QUuid::createUuid().toString(QUuid::Id128);
}

TEST(SingleInstanceTest, FirstClaimsLaterOnesAskItToShowTheEditor)
{
    const QString name = uniqueName();
    SingleInstance first(name);
    ASSERT_TRUE(first.claim());
    QSignalSpy shows(&first, &SingleInstance::showRequested);

    SingleInstance second(name);
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(shows.wait(2000));

    SingleInstance third(name);
    EXPECT_FALSE(third.claim());
    EXPECT_TRUE(shows.wait(2000));
    EXPECT_EQ(shows.size(), 2);
}

TEST(SingleInstanceTest, ALeftOverSocketDoesNotBlockTheNextStart)
{
    const QString name = uniqueName();
    {
        SingleInstance gone(name);
        ASSERT_TRUE(gone.claim());
    }
    SingleInstance next(name);
    EXPECT_TRUE(next.claim());
}

TEST(SingleInstanceTest, NameDependsOnUserAndDisplay)
{
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":7");
    const QString seven = SingleInstance::nameForThisSession();
    qputenv("DISPLAY", ":8");
    const QString eight = SingleInstance::nameForThisSession();
    qputenv("DISPLAY", display);
    EXPECT_NE(seven, eight);
    EXPECT_FALSE(seven.contains(u':'));
    EXPECT_TRUE(seven.contains(QString::number(::getuid())));
}
} // namespace
