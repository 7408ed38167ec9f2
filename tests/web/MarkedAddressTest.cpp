#include "MarkedAddress.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

namespace {

const QString marker = QStringLiteral("scrivara-mac-version=2");

TEST(MarkedAddress, StartsOrExtendsTheQuery)
{
    EXPECT_EQ(MarkedAddress::from(QStringLiteral("https://example.org/app")),
              QStringLiteral("https://example.org/app?") + marker);
    EXPECT_EQ(MarkedAddress::from(QStringLiteral("https://example.org/app?lang=en")),
              QStringLiteral("https://example.org/app?lang=en&") + marker);
}

TEST(MarkedAddress, GoesInFrontOfTheFragment)
{
    EXPECT_EQ(MarkedAddress::from(QStringLiteral("https://example.org/app#inbox")),
              QStringLiteral("https://example.org/app?") + marker + QStringLiteral("#inbox"));
    EXPECT_EQ(MarkedAddress::from(QStringLiteral("https://example.org/app?lang=en#inbox")),
              QStringLiteral("https://example.org/app?lang=en&") + marker + QStringLiteral("#inbox"));
}

TEST(MarkedAddress, AQuestionMarkInsideTheFragmentIsNoQuery)
{
    EXPECT_EQ(MarkedAddress::from(QStringLiteral("https://example.org/#/route?tab=2")),
              QStringLiteral("https://example.org/?") + marker + QStringLiteral("#/route?tab=2"));
}

TEST(MarkedAddress, LeavesTheRestOfTheTextAsItIs)
{
    const QString address = QStringLiteral("https://example.org/a%20b/ä?q=x|y&r=%2F");
    const QString marked = MarkedAddress::from(address);
    EXPECT_TRUE(marked.startsWith(address));
    EXPECT_EQ(marked.size(), address.size() + 1 + marker.size());
}

} // namespace
