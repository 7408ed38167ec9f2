#include "QtPrinters.h"
#include "ui/ShortcutPicker.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

// The recorder as the desktops' recorders behave: one press records, Escape
// cancels, Tab moves on, Backspace clears, typing keys need a modifier.
namespace {
class ShortcutPickerTest : public ::testing::Test {
protected:
    ShortcutPickerTest()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(before);
        layout->addWidget(picker);
        layout->addWidget(after);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QLineEdit *field() const { return picker->field(); }

    // Clicks into the field (which starts a recording) and presses the key.
    void press(QKeyCombination keys)
    {
        QTest::mouseClick(field(), Qt::LeftButton);
        EXPECT_TRUE(picker->isRecording());
        QTest::keyClick(field(), keys.key(), keys.keyboardModifiers());
    }
    QString record(QKeyCombination keys) { press(keys); return field()->text(); }

    QWidget window;
    QPushButton *before = new QPushButton(QStringLiteral("Before"));
    ShortcutPicker *picker = new ShortcutPicker;
    QPushButton *after = new QPushButton(QStringLiteral("After"));
};

TEST_F(ShortcutPickerTest, OnePressWithSuperControlOrAltRecordsItAndEndsTheRecording)
{
    const struct {
        QKeyCombination keys;
        const char *shown;
        const char *key;
    } cases[] = {
        {Qt::MetaModifier | Qt::Key_K, "⌘ + K", "k"},
        {Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_K, "⌘ + ⇧ + K", "K"},
        {Qt::MetaModifier | Qt::Key_Space, "⌘ + SPACE", "Space"},
        {Qt::AltModifier | Qt::Key_F5, "⌥ + F5", "F5"},
        {QKeyCombination(Qt::Key_F5), "F5", "F5"}, // function keys type nothing: alone they may be
        {Qt::ShiftModifier | Qt::Key_F12, "⇧ + F12", "F12"},
        // With a modifier, the keys that otherwise cancel or move on are keys.
        {Qt::MetaModifier | Qt::Key_Tab, "⌘ + TAB", "Tab"},
        {Qt::ControlModifier | Qt::Key_Escape, "⌃ + ESCAPE", "Escape"},
        {Qt::AltModifier | Qt::Key_Return, "⌥ + RETURN", "Return"},
        {Qt::ControlModifier | Qt::AltModifier | Qt::Key_Left, "⌥ + ⌃ + LEFT", "Left"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(record(c.keys), QString::fromUtf8(c.shown));
        EXPECT_EQ(picker->shortcut().key, QString::fromUtf8(c.key));
        EXPECT_FALSE(picker->isRecording());
        EXPECT_TRUE(field()->hasFocus()) << "Tab moves on from here";
    }

    // X11 sends Control+K with the text "\x0b": the key counts, not the text.
    QTest::mouseClick(field(), Qt::LeftButton);
    QKeyEvent controlK(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier, QStringLiteral("\x0b"));
    QApplication::sendEvent(field(), &controlK);
    EXPECT_EQ(field()->text(), QStringLiteral("⌃ + K"));
}

TEST_F(ShortcutPickerTest, ATypingKeyWithoutSuperControlOrAltIsRefusedWithTheReason)
{
    picker->setShortcut(parseShortcutText(u"⌘ + B"));
    QSignalSpy refusals(picker, &ShortcutPicker::refused);
    const QKeyCombination typed[] = {
        QKeyCombination(Qt::Key_K), Qt::ShiftModifier | Qt::Key_K, QKeyCombination(Qt::Key_1),
        QKeyCombination(Qt::Key_Space), QKeyCombination(Qt::Key_Return), QKeyCombination(Qt::Key_Left),
        Qt::ShiftModifier | Qt::Key_Escape, QKeyCombination(Qt::Key_Plus),
    };
    for (const QKeyCombination keys : typed) {
        SCOPED_TRACE(QKeySequence(keys).toString().toStdString());
        refusals.clear();
        press(keys);
        EXPECT_EQ(picker->shortcut(), parseShortcutText(u"⌘ + B"));
        EXPECT_TRUE(picker->isRecording()) << "the user tries again";
        ASSERT_EQ(refusals.size(), 1);
        const QString reason = refusals.at(0).at(0).toString();
        EXPECT_TRUE(reason.contains(QStringLiteral("Super, Control or Alt"))) << reason.toStdString();
        EXPECT_TRUE(reason.startsWith(KeyboardShortcut::fromKeyCombination(keys).displayString()));
    }
    // A modifier press on its way to a combination is no refusal.
    refusals.clear();
    QTest::keyPress(field(), Qt::Key_Shift, Qt::ShiftModifier);
    QTest::keyPress(field(), Qt::Key_Meta, Qt::MetaModifier);
    EXPECT_TRUE(refusals.isEmpty());
    EXPECT_TRUE(picker->isRecording());
}

TEST_F(ShortcutPickerTest, ItShowsThatItRecordsAndEscapeAloneCancelsKeepingTheShortcut)
{
    picker->setShortcut(parseShortcutText(u"⌘ + B"));
    EXPECT_EQ(field()->text(), QStringLiteral("⌘ + B"));
    QTest::mouseClick(field(), Qt::LeftButton);
    ASSERT_TRUE(picker->isRecording());
    EXPECT_EQ(field()->text(), QString()) << "an empty field with the recording's prompt";
    EXPECT_TRUE(field()->placeholderText().contains(QStringLiteral("Esc")));
    EXPECT_TRUE(field()->property("recording").toBool());

    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_FALSE(picker->isRecording());
    EXPECT_FALSE(field()->property("recording").toBool());
    EXPECT_EQ(field()->text(), QStringLiteral("⌘ + B"));
    EXPECT_EQ(picker->shortcut(), parseShortcutText(u"⌘ + B"));
    EXPECT_TRUE(field()->hasFocus());

    // Space on the field records again, as on a push button.
    QTest::keyClick(field(), Qt::Key_Space);
    EXPECT_TRUE(picker->isRecording());
    EXPECT_EQ(record(Qt::AltModifier | Qt::Key_J), QStringLiteral("⌥ + J"));
}

TEST_F(ShortcutPickerTest, TabAndShiftTabAloneMoveTheFocusAndEndTheRecording)
{
    const std::pair<QKeyCombination, QWidget *> moves[] = {
        {QKeyCombination(Qt::Key_Tab), after},
        {Qt::ShiftModifier | Qt::Key_Backtab, before},
    };
    for (const auto &[keys, lands] : moves) {
        picker->clearShortcut(); // no clear button between the field and "After"
        press(keys);
        EXPECT_TRUE(lands->hasFocus());
        EXPECT_FALSE(picker->isRecording());
        EXPECT_TRUE(picker->shortcut().key.isEmpty());
    }
}

TEST_F(ShortcutPickerTest, BackspaceAndDeleteClearAndEndTheRecording)
{
    for (const Qt::Key clear : {Qt::Key_Backspace, Qt::Key_Delete}) {
        record(Qt::MetaModifier | Qt::Key_B);
        EXPECT_EQ(record(QKeyCombination(clear)), QString());
        EXPECT_TRUE(picker->shortcut().key.isEmpty());
        EXPECT_FALSE(picker->isRecording());
    }
}
} // namespace
