#include "NativeButtonStyle.h"

#include <QImage>
#include <QPushButton>
#include <QStyleOptionButton>

#include <gtest/gtest.h>

namespace {
QColor centreColour(QPushButton &button)
{
    QImage image(button.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    button.render(&image);
    return image.pixelColor(button.width() - 12, button.height() / 2 - 1);
}

class NativeButtonStyleTest : public ::testing::Test {
protected:
    NativeButtonStyleTest()
    {
        button.setStyle(&style);
        button.resize(160, button.sizeHint().height());
    }

    NativeButtonStyle style;
    QPushButton button{QStringLiteral("Launch")};
};

TEST_F(NativeButtonStyleTest, BlueAreaIsTheLabelPlusPadding)
{
    QPushButton empty;
    empty.setStyle(&style);
    QPushButton plain;
    const QSize withStyle = empty.sizeHint();
    empty.setStyle(nullptr);
    QStyleOptionButton option;
    option.initFrom(&plain);
    const QSize label(1, 1);
    const QSize styled = style.sizeFromContents(QStyle::CT_PushButton, &option, label, &plain);
    EXPECT_EQ(styled.width(), label.width() + 2 * NativeButtonStyle::horizontalPadding);
    EXPECT_GE(styled.height(), label.height() + 2 * NativeButtonStyle::verticalPadding);
    EXPECT_GT(withStyle.width(), 2 * NativeButtonStyle::horizontalPadding);
}

TEST_F(NativeButtonStyleTest, DrawsSolidBlue)
{
    EXPECT_EQ(centreColour(button), NativeButtonStyle::background());
}

TEST_F(NativeButtonStyleTest, DimsWhilePressed)
{
    button.setDown(true);
    const QColor pressed = centreColour(button);
    button.setDown(false);
    EXPECT_NE(pressed, NativeButtonStyle::background());
    // 80 % blue over the white background (and the faint shadow).
    const int expectedRed = qRound(0.8 * NativeButtonStyle::background().red() + 0.2 * 255);
    EXPECT_NEAR(pressed.red(), expectedRed, 10);
    EXPECT_EQ(centreColour(button), NativeButtonStyle::background());
}

TEST_F(NativeButtonStyleTest, LeavesOtherControlsToTheApplicationStyle)
{
    QPushButton plain(QStringLiteral("Launch"));
    plain.resize(button.size());
    EXPECT_NE(centreColour(plain), NativeButtonStyle::background());
}
} // namespace
