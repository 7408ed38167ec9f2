#include "ShortcutPicker.h"
#include "QtPrinters.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {
class ShortcutPickerTest : public ::testing::Test {
protected:
    ShortcutPickerTest()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(picker);
        layout->addWidget(new QPushButton(QStringLiteral("Other")));
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QLineEdit *field() const { return picker->findChild<QLineEdit *>(QStringLiteral("shortcutField")); }

    // Clicks into the field, presses the key and returns what the field shows.
    QString record(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        field()->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(field(), key, modifiers);
        return field()->text();
    }

    QWidget window;
    ShortcutPicker *picker = new ShortcutPicker;
};

TEST_F(ShortcutPickerTest, OnePressRecordsTheKeyWithItsModifiers)
{
    EXPECT_EQ(record(Qt::Key_K, Qt::MetaModifier), QStringLiteral("⌘ + K"));
    EXPECT_EQ(picker->shortcut().key, QStringLiteral("k"));
    EXPECT_FALSE(picker->isRecording());

    EXPECT_EQ(record(Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier), QStringLiteral("⌘ + ⇧ + K"));
    EXPECT_EQ(picker->shortcut().key, QStringLiteral("K"));

    // X11 sends Control+K with the text "\x0b": the key counts, not the text.
    field()->setFocus(Qt::MouseFocusReason);
    QKeyEvent controlK(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier, QStringLiteral("\x0b"));
    QApplication::sendEvent(field(), &controlK);
    EXPECT_EQ(field()->text(), QStringLiteral("⌃ + K"));

    // Keys without a visible character go by name; Escape and Tab are keys here.
    EXPECT_EQ(record(Qt::Key_Space, Qt::MetaModifier), QStringLiteral("⌘ + SPACE"));
    EXPECT_EQ(record(Qt::Key_Plus, Qt::ShiftModifier), QStringLiteral("⇧ + PLUS"));
    EXPECT_EQ(record(Qt::Key_F5, Qt::AltModifier), QStringLiteral("⌥ + F5"));
    EXPECT_EQ(record(Qt::Key_Escape), QStringLiteral("ESCAPE"));
    EXPECT_EQ(record(Qt::Key_Tab, Qt::MetaModifier), QStringLiteral("⌘ + TAB"));
}

TEST_F(ShortcutPickerTest, ModifierPressesPassAndClearingKeysClearWhileRecordingGoesOn)
{
    record(Qt::Key_B, Qt::MetaModifier);
    field()->setFocus(Qt::MouseFocusReason);
    QTest::keyPress(field(), Qt::Key_Shift, Qt::ShiftModifier);
    QTest::keyPress(field(), Qt::Key_Meta, Qt::MetaModifier);
    EXPECT_TRUE(picker->isRecording());
    EXPECT_EQ(field()->text(), QStringLiteral("⌘ + B"));

    for (const Qt::Key clear : {Qt::Key_Backspace, Qt::Key_Delete}) {
        record(Qt::Key_B, Qt::MetaModifier);
        EXPECT_EQ(record(clear), QString());
        EXPECT_TRUE(picker->shortcut().key.isEmpty());
        EXPECT_TRUE(picker->isRecording());
    }
    QTest::keyClick(field(), Qt::Key_J, Qt::AltModifier);
    EXPECT_EQ(field()->text(), QStringLiteral("⌥ + J"));
}
} // namespace
