#include "FrameText.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameText, StoredFormRoundTrips)
{
    for (const QRect &frame : {QRect(100, 200, 1024, 796), QRect(-30, 0, 400, 300), QRect(0, 0, 0, 0)}) {
        const std::optional<QRect> parsed = FrameText::parse(FrameText::format(frame));
        ASSERT_TRUE(parsed.has_value()) << FrameText::format(frame).toStdString();
        EXPECT_EQ(*parsed, frame);
    }
}

TEST(FrameText, StoredFormIsTwoBracedPairs)
{
    EXPECT_EQ(FrameText::format(QRect(100, 200, 1024, 796)), QStringLiteral("{{100, 200}, {1024, 796}}"));
    EXPECT_EQ(FrameText::parse(QStringLiteral("{{10.4, 20.6}, {800.5, 600}}")), QRect(10, 21, 801, 600));
}

TEST(FrameText, TextThatIsNotAFrameIsRejected)
{
    for (const char *text : {"", "garbage", "{{1, 2}, {3}}", "{{1, 2}, {3, -4}}", "(0.0, 0.0, 10.0, 10.0)",
                             "{{a, 2}, {3, 4}}", "{{1, 2}, {3, 4}} trailing"})
        EXPECT_FALSE(FrameText::parse(QString::fromLatin1(text)).has_value()) << text;
}

} // namespace
