#include "EditButtonView.h"
#include "HotKeyManager.h"
#include "LaunchButtonListView.h"
#include "LaunchPadView.h"
#include "LaunchPadViewModel.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestManager.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

// The editor driven as the user drives it: clicks and keys on the rows, the
// form and its fields, against a manager on the fake hotkey backend.
namespace {
using Area = LaunchButtonDelegate::Area;

class LaunchPadViewTest : public ::testing::Test {
protected:
    LaunchPadViewTest() { view.show(); }

    // What every row shows in this role (the name, or the shortcut text), top to bottom.
    QStringList rows(int role = Qt::DisplayRole) const
    {
        QStringList result;
        for (int row = 0; row < view.viewModel().rowCount(); ++row)
            result.append(view.viewModel().index(row).data(role).toString());
        return result;
    }

    QPoint at(int row, Area area) const { return view.list().areaRect(row, area).center(); }
    void click(int row, Area area) { QTest::mouseClick(view.list().viewport(), Qt::LeftButton, {}, at(row, area)); }

    template <typename T> T *inForm(const char *name) const
    {
        return view.editForm()->findChild<T *>(QLatin1String(name));
    }

    bool formGone() const
    {
        return QTest::qWaitFor([this] { return view.editForm() == nullptr; }, 2000);
    }

    QList<QUrl> launched(const char *url) const { return {QUrl(QString::fromLatin1(url))}; }

    LogCapture log;
    // "&" is no keyboard mnemonic: the name reads as it is, in the list and the form.
    TestManager testManager{'['
                            + TestManager::button(QStringLiteral("Tom & Jerry"), QStringLiteral("⌘ + ⌥ + F"),
                                                  QStringLiteral("file:///usr/bin/cartoon"))
                            + ','
                            + TestManager::button(QStringLiteral("Web"), QStringLiteral("cmd+g"),
                                                  QStringLiteral("file:///usr/bin/browser"))
                            + ']'};
    LaunchPadView view{testManager.manager()};
};

TEST_F(LaunchPadViewTest, DeletingEveryButtonEmptiesTheFileAndAddingNumbersTheNewOnes)
{
    click(0, Area::remove);
    EXPECT_EQ(rows(), QStringList({QStringLiteral("Web")}));
    EXPECT_EQ(testManager.registeredCombinations().size(), 1);
    click(0, Area::remove);
    EXPECT_EQ(testManager.fileText(), QByteArray("[]"));
    EXPECT_TRUE(testManager.registeredCombinations().isEmpty());

    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(view.findChild<QAbstractButton *>("addButton"), Qt::LeftButton);
    EXPECT_EQ(rows(LaunchPadViewModel::ShortcutRole), QStringList({QStringLiteral("⌘1"), QStringLiteral("⌘2")}));
    EXPECT_TRUE(testManager.fileText().contains("⌘2"));
}

TEST_F(LaunchPadViewTest, SavedEditReachesTheFileTheRowsAndTheHotkeys)
{
    click(0, Area::edit);
    ASSERT_NE(view.editForm(), nullptr);
    EXPECT_TRUE(log.contains(QStringLiteral("✏️ Starting edit for button: Tom & Jerry")));
    inForm<QLineEdit>("nameField")->setText(QStringLiteral("Post"));
    inForm<QLineEdit>("appPathField")->setText(QStringLiteral("/opt/My Tool.desktop"));
    QApplication::setActiveWindow(view.editForm());
    auto *shortcut = inForm<QLineEdit>("shortcutField");
    // While the shortcut field records, Escape and Return are keys, not Cancel and Save.
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_M}) {
        shortcut->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(shortcut, key, key == Qt::Key_M ? Qt::MetaModifier | Qt::ShiftModifier : Qt::NoModifier);
        ASSERT_NE(view.editForm(), nullptr);
    }
    EXPECT_TRUE(log.startingWith(QStringLiteral("💾")).isEmpty());
    QTest::mouseClick(inForm<QPushButton>("saveButton"), Qt::LeftButton);
    ASSERT_TRUE(formGone());

    EXPECT_TRUE(log.contains(QStringLiteral("💾 Saving edited button: Post with shortcut: ⌘ + ⇧ + M")));
    EXPECT_EQ(rows(), QStringList({QStringLiteral("Post"), QStringLiteral("Web")}));
    EXPECT_TRUE(testManager.fileText().contains("\"name\":\"Post\""));
    EXPECT_EQ(testManager.registeredCombinations().size(), 2);
    testManager.hotkeys().press(46, HotkeyModifier::command | HotkeyModifier::shift); // the M key
    QCoreApplication::processEvents();
    EXPECT_EQ(testManager.launcher().opened(), launched("file:///opt/My%20Tool.desktop"));
}

// While the form is open no hotkey is held; leaving it unsaved gives them back.
TEST_F(LaunchPadViewTest, LeavingTheFormWithoutSavingGivesTheHotkeysBack)
{
    const QByteArray file = testManager.fileText();
    const auto registered = testManager.registeredCombinations();
    const std::function<void(EditButtonView *)> ways[] = {
        [](EditButtonView *form) { QTest::mouseClick(form->findChild<QPushButton *>("cancelButton"), Qt::LeftButton); },
        [](EditButtonView *form) { QTest::keyClick(form, Qt::Key_Escape); },
        [](EditButtonView *form) { form->close(); },
    };
    for (const auto &leave : ways) {
        click(1, Area::edit);
        ASSERT_NE(view.editForm(), nullptr);
        ASSERT_TRUE(testManager.registeredCombinations().isEmpty());
        inForm<QLineEdit>("nameField")->setText(QStringLiteral("Changed"));
        leave(view.editForm());
        ASSERT_TRUE(formGone());
        EXPECT_EQ(testManager.registeredCombinations(), registered);
        EXPECT_EQ(testManager.fileText(), file);
    }
    EXPECT_TRUE(log.startingWith(QStringLiteral("💾")).isEmpty());
}

TEST_F(LaunchPadViewTest, ANameClickLaunchesOnlyWhenTheButtonGoesUpOnTheSameName)
{
    QTest::mousePress(view.list().viewport(), Qt::LeftButton, {}, at(0, Area::name));
    QTest::mouseRelease(view.list().viewport(), Qt::LeftButton, {}, at(1, Area::name));
    EXPECT_TRUE(testManager.launcher().opened().isEmpty());
    click(1, Area::name);
    EXPECT_EQ(testManager.launcher().opened(), launched("file:///usr/bin/browser"));
}

// Alt with the key after "&" launches nothing; the keys that do act on the current row.
TEST_F(LaunchPadViewTest, TheKeyboardLaunchesEditsAndDeletesTheCurrentRowButNoMnemonic)
{
    QApplication::setActiveWindow(&view);
    QTest::keyClick(&view, Qt::Key_Space, Qt::AltModifier);
    QTest::qWait(300); // a mnemonic clicks its button after a short press animation
    EXPECT_TRUE(testManager.launcher().opened().isEmpty());

    view.list().setFocus(Qt::TabFocusReason);
    view.list().setCurrentIndex(view.viewModel().index(1));
    QTest::keyClick(&view.list(), Qt::Key_Space);
    EXPECT_EQ(testManager.launcher().opened(), launched("file:///usr/bin/browser"));
    QTest::keyClick(&view.list(), Qt::Key_Delete);
    EXPECT_EQ(rows(), QStringList({QStringLiteral("Tom & Jerry")}));
    view.list().setCurrentIndex(view.viewModel().index(0));
    QTest::keyClick(&view.list(), Qt::Key_F2);
    ASSERT_NE(view.editForm(), nullptr);
    EXPECT_EQ(inForm<QLineEdit>("nameField")->text(), QStringLiteral("Tom & Jerry"));
    view.editForm()->close();
    ASSERT_TRUE(formGone());
}
} // namespace
