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

// The editor driven as the user drives it: clicks on the rows, the form and
// its fields, against a manager on the fake hotkey backend.
namespace {
// Key codes and masks as the hotkey service sees them.
constexpr quint32 keyF = 3, keyM = 46;
constexpr quint32 commandOption = HotkeyModifier::command | HotkeyModifier::option;
constexpr quint32 commandShift = HotkeyModifier::command | HotkeyModifier::shift;

TEST(EditButtonViewTest, TargetsBecomeURLs)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("/opt/My Tool.desktop"), QStringLiteral("file:///opt/My%20Tool.desktop")},
        {QStringLiteral("/opt/My#App 100%.desktop"), QStringLiteral("file:///opt/My%23App%20100%25.desktop")},
        {QStringLiteral("https://example.com/a?b=1"), QStringLiteral("https://example.com/a?b=1")},
        {QStringLiteral("http://example.com"), QStringLiteral("http://example.com")},
        {QStringLiteral("file:///usr/bin/xterm"), QStringLiteral("file:///usr/bin/xterm")},
        {QString(), QStringLiteral("file://")},
    };
    for (const auto &[text, url] : cases) {
        const auto target = EditButtonView::targetURL(text);
        ASSERT_TRUE(target.has_value()) << text.toStdString();
        EXPECT_EQ(target->toString(QUrl::FullyEncoded), url);
    }
}

class LaunchPadViewTest : public ::testing::Test {
protected:
    LaunchPadViewTest() { view.show(); }

    // What every row shows in this role (the name, or the shortcut text), top to bottom.
    QStringList rows(int role = Qt::DisplayRole) const
    {
        QStringList result;
        const LaunchPadViewModel &model = view.viewModel();
        for (int row = 0; row < model.rowCount(); ++row)
            result.append(model.index(row).data(role).toString());
        return result;
    }

    void click(LaunchButtonDelegate::Area area, int row)
    {
        const QRect rect = view.list().areaRect(row, area);
        ASSERT_FALSE(rect.isEmpty()) << "row " << row;
        QTest::mouseClick(view.list().viewport(), Qt::LeftButton, {}, rect.center());
    }

    void clickAdd() { QTest::mouseClick(view.findChild<QAbstractButton *>("addButton"), Qt::LeftButton); }

    template <typename T> T *inForm(const char *name) const
    {
        return view.editForm()->findChild<T *>(QLatin1String(name));
    }

    bool formGone() const
    {
        return QTest::qWaitFor([this] { return view.editForm() == nullptr; }, 2000);
    }

    LogCapture log;
    TestManager testManager{'['
                            + TestManager::button(QStringLiteral("Mail"), QStringLiteral("⌘ + ⌥ + F"),
                                                  QStringLiteral("file:///usr/bin/mail"))
                            + ','
                            + TestManager::button(QStringLiteral("Web"), QStringLiteral("cmd+g"),
                                                  QStringLiteral("file:///usr/bin/browser"))
                            + ']'};
    LaunchPadView view{testManager.manager()};
};

TEST_F(LaunchPadViewTest, DeletingEveryButtonEmptiesTheFileAndAddingNumbersTheNewOnes)
{
    click(LaunchButtonDelegate::Area::remove, 0);
    EXPECT_EQ(rows(), QStringList({QStringLiteral("Web")}));
    EXPECT_EQ(testManager.registeredCombinations().size(), 1);
    click(LaunchButtonDelegate::Area::remove, 0);
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(testManager.fileText(), QByteArray("[]"));
    EXPECT_TRUE(testManager.registeredCombinations().isEmpty());

    clickAdd();
    clickAdd();
    EXPECT_EQ(rows(LaunchPadViewModel::ShortcutRole), QStringList({QStringLiteral("⌘1"), QStringLiteral("⌘2")}));
    EXPECT_TRUE(testManager.fileText().contains("⌘2"));
}

TEST_F(LaunchPadViewTest, SavedEditReachesTheFileTheRowsAndTheHotkeys)
{
    click(LaunchButtonDelegate::Area::edit, 0);
    ASSERT_NE(view.editForm(), nullptr);
    EXPECT_TRUE(log.contains(QStringLiteral("✏️ Starting edit for button: Mail")));
    // While the form is open no hotkey is held, so a press launches nothing.
    EXPECT_FALSE(testManager.hotkeys().press(keyF, commandOption).has_value());

    inForm<QLineEdit>("nameField")->setText(QStringLiteral("Post"));
    inForm<QLineEdit>("appPathField")->setText(QStringLiteral("/opt/My Tool.desktop"));
    QApplication::setActiveWindow(view.editForm());
    auto *shortcut = inForm<QLineEdit>("shortcutField");
    // While the shortcut field records, Escape and Return are keys, not Cancel and Save.
    for (const auto &[key, shown] : {std::pair{Qt::Key_Escape, "ESCAPE"}, std::pair{Qt::Key_Return, "RETURN"}}) {
        shortcut->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(shortcut, key);
        EXPECT_EQ(shortcut->text(), QLatin1String(shown));
    }
    ASSERT_NE(view.editForm(), nullptr);
    EXPECT_TRUE(log.startingWith(QStringLiteral("💾")).isEmpty());
    shortcut->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(shortcut, Qt::Key_M, Qt::MetaModifier | Qt::ShiftModifier);
    QTest::mouseClick(inForm<QPushButton>("saveButton"), Qt::LeftButton);
    ASSERT_TRUE(formGone());

    EXPECT_TRUE(log.contains(QStringLiteral("💾 Saving edited button: Post with shortcut: ⌘ + ⇧ + M")));
    EXPECT_EQ(rows(), QStringList({QStringLiteral("Post"), QStringLiteral("Web")}));
    EXPECT_TRUE(testManager.fileText().contains("\"name\":\"Post\""));
    EXPECT_EQ(testManager.registeredCombinations().size(), 2);
    testManager.hotkeys().press(keyM, commandShift);
    QCoreApplication::processEvents();
    ASSERT_EQ(testManager.launcher().opened().size(), 1);
    EXPECT_EQ(testManager.launcher().opened().first().toString(QUrl::FullyEncoded),
              QStringLiteral("file:///opt/My%20Tool.desktop"));
}

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
        click(LaunchButtonDelegate::Area::edit, 1);
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
    const QPoint mail = view.list().areaRect(0, LaunchButtonDelegate::Area::name).center();
    const QPoint web = view.list().areaRect(1, LaunchButtonDelegate::Area::name).center();
    QTest::mousePress(view.list().viewport(), Qt::LeftButton, {}, mail);
    QTest::mouseRelease(view.list().viewport(), Qt::LeftButton, {}, web);
    EXPECT_TRUE(testManager.launcher().opened().isEmpty());

    QTest::mouseClick(view.list().viewport(), Qt::LeftButton, {}, web);
    EXPECT_EQ(testManager.launcher().opened(), QList<QUrl>({QUrl(QStringLiteral("file:///usr/bin/browser"))}));
}

TEST_F(LaunchPadViewTest, TheKeyboardLaunchesEditsAndDeletesTheCurrentRow)
{
    view.list().setFocus(Qt::TabFocusReason);
    view.list().setCurrentIndex(view.viewModel().index(1));
    QTest::keyClick(&view.list(), Qt::Key_Space);
    EXPECT_EQ(testManager.launcher().opened(), QList<QUrl>({QUrl(QStringLiteral("file:///usr/bin/browser"))}));
    QTest::keyClick(&view.list(), Qt::Key_Delete);
    EXPECT_EQ(rows(), QStringList({QStringLiteral("Mail")}));
    view.list().setCurrentIndex(view.viewModel().index(0));
    QTest::keyClick(&view.list(), Qt::Key_F2);
    ASSERT_NE(view.editForm(), nullptr);
    EXPECT_EQ(inForm<QLineEdit>("nameField")->text(), QStringLiteral("Mail"));
    view.editForm()->close();
    ASSERT_TRUE(formGone());
}

// "&" is no keyboard mnemonic: the name reads as it is, in the list and in
// the edit form, and Alt with the key after it launches nothing.
TEST(LaunchPadViewNamesTest, AnAmpersandIsShownLiterallyAndIsNoShortcut)
{
    TestManager testManager{'[' + TestManager::button(QStringLiteral("Tom & Jerry"), QStringLiteral("cmd+t"),
                                                      QStringLiteral("file:///usr/bin/cartoon")) + ']'};
    LaunchPadView view{testManager.manager()};
    view.show();
    QApplication::setActiveWindow(&view);
    QTest::keyClick(&view, Qt::Key_Space, Qt::AltModifier);
    QTest::qWait(300); // a mnemonic clicks its button after a short press animation
    EXPECT_TRUE(testManager.launcher().opened().isEmpty());

    EXPECT_EQ(view.viewModel().index(0).data().toString(), QStringLiteral("Tom & Jerry"));
    QTest::mouseClick(view.list().viewport(), Qt::LeftButton, {},
                      view.list().areaRect(0, LaunchButtonDelegate::Area::edit).center());
    ASSERT_NE(view.editForm(), nullptr);
    EXPECT_EQ(view.editForm()->findChild<QLineEdit *>("nameField")->text(), QStringLiteral("Tom & Jerry"));
    view.editForm()->close();
}
} // namespace
