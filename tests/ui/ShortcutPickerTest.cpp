#include "KeyMonitor.h"
#include "ShortcutPicker.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {
class ShortcutPickerTest : public ::testing::Test {
protected:
    ShortcutPickerTest()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(picker);
        layout->addWidget(other);
        window.show();
        QApplication::setActiveWindow(&window);
        other->setFocus();
    }

    QLineEdit *field() const { return picker->findChild<QLineEdit *>(QStringLiteral("shortcutField")); }
    QToolButton *clearButton() const { return picker->findChild<QToolButton *>(QStringLiteral("clearShortcutButton")); }

    void startRecording()
    {
        field()->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(picker->isRecording());
    }

    // Presses a key while recording; returns the shortcut's display text.
    QString record(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        startRecording();
        QTest::keyClick(field(), key, modifiers);
        return field()->text();
    }

    QWidget window;
    ShortcutPicker *picker = new ShortcutPicker;
    QPushButton *other = new QPushButton(QStringLiteral("Other"));
};

TEST_F(ShortcutPickerTest, ShowsPlaceholderAndNoClearButtonWhenEmpty)
{
    EXPECT_EQ(field()->placeholderText(), QStringLiteral("Type shortcut"));
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_EQ(field()->width(), ShortcutPicker::fieldWidth);
    EXPECT_FALSE(clearButton()->isVisible());
    EXPECT_FALSE(picker->isRecording());
}

TEST_F(ShortcutPickerTest, RecordsSuperAsCommandAndStopsRecording)
{
    EXPECT_EQ(record(Qt::Key_K, Qt::MetaModifier), QStringLiteral("⌘ + K"));
    EXPECT_EQ(picker->shortcut().key, QStringLiteral("k"));
    EXPECT_EQ(picker->shortcut().modifiers, ModifierFlags::command);
    EXPECT_FALSE(field()->hasFocus());
    EXPECT_FALSE(picker->isRecording());
    EXPECT_TRUE(clearButton()->isVisible());
}

TEST_F(ShortcutPickerTest, ShiftIsAppliedToTheKey)
{
    EXPECT_EQ(record(Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier), QStringLiteral("⌘ + ⇧ + K"));
    EXPECT_EQ(picker->shortcut().key, QStringLiteral("K"));
}

TEST_F(ShortcutPickerTest, AltControlAndPlainKeys)
{
    EXPECT_EQ(record(Qt::Key_X, Qt::AltModifier | Qt::ControlModifier), QStringLiteral("⌥ + ⌃ + X"));
    EXPECT_EQ(record(Qt::Key_A), QStringLiteral("A"));
    EXPECT_EQ(picker->shortcut().key, QStringLiteral("a"));
    EXPECT_TRUE(picker->shortcut().modifiers.isEmpty());
}

TEST_F(ShortcutPickerTest, ControlCharacterTextIsIgnoredInFavourOfTheKey)
{
    // X11 reports Ctrl+K with the text "\x0b".
    startRecording();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier, QStringLiteral("\x0b"));
    QApplication::sendEvent(field(), &press);
    EXPECT_EQ(picker->shortcut().key, QStringLiteral("k"));
    EXPECT_EQ(field()->text(), QStringLiteral("⌃ + K"));
}

TEST_F(ShortcutPickerTest, KeysWithoutAVisibleCharacterAreRecordedByName)
{
    EXPECT_EQ(record(Qt::Key_Space, Qt::MetaModifier), QStringLiteral("⌘ + SPACE"));
    EXPECT_EQ(record(Qt::Key_Plus, Qt::ShiftModifier), QStringLiteral("⇧ + PLUS"));
    EXPECT_EQ(record(Qt::Key_F5, Qt::AltModifier), QStringLiteral("⌥ + F5"));
    EXPECT_EQ(record(Qt::Key_F12), QStringLiteral("F12"));
    EXPECT_EQ(record(Qt::Key_Left, Qt::MetaModifier), QStringLiteral("⌘ + LEFT"));
    EXPECT_EQ(record(Qt::Key_Escape), QStringLiteral("ESCAPE"));
    EXPECT_EQ(record(Qt::Key_Enter), QStringLiteral("RETURN"));
    EXPECT_EQ(record(Qt::Key_Tab, Qt::MetaModifier), QStringLiteral("⌘ + TAB"));
    EXPECT_EQ(picker->shortcut().key, QStringLiteral("Tab"));
}

TEST_F(ShortcutPickerTest, NamedKeysSurviveTheTextForm)
{
    record(Qt::Key_Space, Qt::MetaModifier);
    EXPECT_EQ(parseShortcutText(picker->shortcut().displayString()).key.toLower(), QStringLiteral("space"));
    record(Qt::Key_Plus, Qt::MetaModifier);
    EXPECT_EQ(parseShortcutText(picker->shortcut().displayString()).key.toLower(), QStringLiteral("plus"));
}

TEST_F(ShortcutPickerTest, ModifierOnlyPressesPassAndKeepRecording)
{
    record(Qt::Key_B, Qt::MetaModifier);
    startRecording();
    QTest::keyPress(field(), Qt::Key_Shift, Qt::ShiftModifier);
    QTest::keyPress(field(), Qt::Key_Meta, Qt::MetaModifier);
    QTest::keyPress(field(), Qt::Key_Control, Qt::ControlModifier);
    EXPECT_TRUE(picker->isRecording());
    EXPECT_EQ(field()->text(), QStringLiteral("⌘ + B"));
}

TEST_F(ShortcutPickerTest, KeysThatNameNothingPass)
{
    startRecording();
    QTest::keyClick(field(), Qt::Key_Home);
    EXPECT_TRUE(picker->isRecording());
    EXPECT_TRUE(field()->text().isEmpty());
}

TEST_F(ShortcutPickerTest, BackspaceAndDeleteClearAndKeepRecording)
{
    record(Qt::Key_K, Qt::MetaModifier);
    startRecording();
    QTest::keyClick(field(), Qt::Key_Backspace);
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_TRUE(picker->isRecording());
    EXPECT_TRUE(field()->hasFocus());
    EXPECT_FALSE(clearButton()->isVisible());

    QTest::keyClick(field(), Qt::Key_J, Qt::MetaModifier);
    startRecording();
    QTest::keyClick(field(), Qt::Key_Delete);
    EXPECT_TRUE(picker->shortcut().key.isEmpty());
}

TEST_F(ShortcutPickerTest, ClearButtonEmptiesTheShortcut)
{
    picker->setShortcut(parseShortcutText(u"⌘ + ⌥ + F"));
    ASSERT_TRUE(clearButton()->isVisible());
    QSignalSpy changes(picker, &ShortcutPicker::shortcutChanged);
    QTest::mouseClick(clearButton(), Qt::LeftButton);
    EXPECT_TRUE(picker->shortcut().key.isEmpty());
    EXPECT_TRUE(picker->shortcut().modifiers.isEmpty());
    EXPECT_EQ(changes.size(), 1);
    EXPECT_FALSE(clearButton()->isVisible());
}

TEST_F(ShortcutPickerTest, NothingIsRecordedWithoutFocus)
{
    startRecording();
    other->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(picker->isRecording());
    QTest::keyClick(other, Qt::Key_K, Qt::MetaModifier);
    EXPECT_TRUE(field()->text().isEmpty());
}

TEST(KeyMonitorTest, ConsumesShortcutOverrideOnlyForRecordableKeys)
{
    KeyMonitor monitor;
    QStringList keys;
    monitor.onKeyDown = [&keys](const QString &key, ModifierFlags) { keys.append(key); };
    monitor.startMonitoring();
    QWidget target;

    QKeyEvent escape(QEvent::ShortcutOverride, Qt::Key_Escape, Qt::NoModifier);
    escape.ignore();
    QApplication::sendEvent(&target, &escape);
    EXPECT_TRUE(escape.isAccepted());

    QKeyEvent shift(QEvent::ShortcutOverride, Qt::Key_Shift, Qt::ShiftModifier);
    shift.ignore();
    QApplication::sendEvent(&target, &shift);
    EXPECT_FALSE(shift.isAccepted());
    EXPECT_TRUE(keys.isEmpty()); // overrides only claim the press

    monitor.stopMonitoring();
    QKeyEvent late(QEvent::KeyPress, Qt::Key_K, Qt::NoModifier, QStringLiteral("k"));
    QApplication::sendEvent(&target, &late);
    EXPECT_TRUE(keys.isEmpty());
}

TEST(KeyMonitorTest, DestroyedMonitorNoLongerHooksTheApplication)
{
    QStringList keys;
    {
        KeyMonitor monitor;
        monitor.onKeyDown = [&keys](const QString &key, ModifierFlags) { keys.append(key); };
        monitor.startMonitoring();
    }
    QWidget target;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_K, Qt::NoModifier, QStringLiteral("k"));
    QApplication::sendEvent(&target, &press);
    EXPECT_TRUE(keys.isEmpty());
}
} // namespace
