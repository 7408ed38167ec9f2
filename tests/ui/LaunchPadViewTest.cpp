#include "EditButtonView.h"
#include "HotKeyManager.h"
#include "LaunchPadView.h"
#include "LaunchPadViewModel.h"
#include "LogCapture.h"
#include "TestManager.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {
// Key codes and masks as the hotkey service sees them.
constexpr quint32 keyF = 3, keyM = 46, keyG = 5;
constexpr quint32 commandOption = HotkeyModifier::command | HotkeyModifier::option;
constexpr quint32 commandShift = HotkeyModifier::command | HotkeyModifier::shift;

QByteArray list(std::initializer_list<QByteArray> buttons)
{
    QByteArrayList items(buttons);
    return '[' + items.join(',') + ']';
}

class LaunchPadViewTest : public ::testing::Test {
protected:
    explicit LaunchPadViewTest(const QByteArray &file = "[]") : testManager(file) {}

    void SetUp() override { view.show(); }

    QStringList rowTexts(const char *objectName) const
    {
        QStringList texts;
        for (auto *label : view.findChildren<QLabel *>(QLatin1String(objectName)))
            texts.append(label->text());
        for (auto *button : view.findChildren<QPushButton *>(QLatin1String(objectName)))
            texts.append(button->text());
        return texts;
    }

    void click(const char *objectName, int row = 0)
    {
        const auto buttons = view.findChildren<QAbstractButton *>(QLatin1String(objectName));
        ASSERT_GT(buttons.size(), row) << objectName;
        QTest::mouseClick(buttons.at(row), Qt::LeftButton);
    }

    EditButtonView *openForm(int row = 0)
    {
        click("editButton", row);
        return view.editForm();
    }

    // Records a combination in the open form's shortcut field.
    void recordShortcut(EditButtonView *form, Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        auto *field = form->findChild<QLineEdit *>(QStringLiteral("shortcutField"));
        QApplication::setActiveWindow(form);
        field->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(field, key, modifiers);
    }

    void waitForFormGone()
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return view.editForm() == nullptr; }, 2000));
    }

    LogCapture log;
    TestManager testManager;
    LaunchPadView view{testManager.manager()};
};

class LaunchPadViewWithMail : public LaunchPadViewTest {
protected:
    LaunchPadViewWithMail()
        : LaunchPadViewTest(list({TestManager::button(QStringLiteral("Mail"), QStringLiteral("⌘ + ⌥ + F"),
                                                      QStringLiteral("file:///usr/share/applications/mail.desktop")),
                                  TestManager::button(QStringLiteral("Web"), QStringLiteral("cmd+g"),
                                                      QStringLiteral("https://example.com"))}))
    {
    }
};

TEST_F(LaunchPadViewTest, EmptyListShowsNoRows)
{
    EXPECT_TRUE(rowTexts("nameButton").isEmpty());
    EXPECT_NE(view.findChild<QToolButton *>(QStringLiteral("addButton")), nullptr);
}

TEST_F(LaunchPadViewTest, AddingTwiceGivesNumberedPlaceholders)
{
    click("addButton");
    click("addButton");

    EXPECT_EQ(rowTexts("nameButton"), QStringList({QStringLiteral("New Button"), QStringLiteral("New Button")}));
    EXPECT_EQ(rowTexts("shortcutLabel"), QStringList({QStringLiteral("⌘1"), QStringLiteral("⌘2")}));
    ASSERT_EQ(view.viewModel().buttons().size(), 2);
    EXPECT_EQ(view.viewModel().buttons().at(1).shortcut, QStringLiteral("⌘2"));
    EXPECT_TRUE(testManager.fileText().contains("⌘2"));
    EXPECT_EQ(view.editForm(), nullptr); // adding does not open the form
}

TEST_F(LaunchPadViewWithMail, RowsShowNameAndStoredShortcutText)
{
    EXPECT_EQ(rowTexts("nameButton"), QStringList({QStringLiteral("Mail"), QStringLiteral("Web")}));
    EXPECT_EQ(rowTexts("shortcutLabel"), QStringList({QStringLiteral("⌘ + ⌥ + F"), QStringLiteral("cmd+g")}));
}

TEST_F(LaunchPadViewWithMail, ClickOnNameLaunchesTheButton)
{
    click("nameButton", 0);
    ASSERT_EQ(testManager.launcher().opened().size(), 1);
    EXPECT_EQ(testManager.launcher().opened().first().toString(),
              QStringLiteral("file:///usr/share/applications/mail.desktop"));
}

TEST_F(LaunchPadViewWithMail, StartingAnEditLogsUnregistersAndOpensTheForm)
{
    ASSERT_EQ(testManager.registeredCombinations().size(), 2);

    EditButtonView *form = openForm(0);

    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(log.contains(QStringLiteral("✏️ Starting edit for button: Mail")));
    EXPECT_TRUE(testManager.registeredCombinations().isEmpty());
    ASSERT_TRUE(view.editingButton().has_value());
    EXPECT_EQ(view.editingButton()->name, QStringLiteral("Mail"));
    EXPECT_EQ(form->findChild<QLineEdit *>(QStringLiteral("nameField"))->text(), QStringLiteral("Mail"));
}

TEST_F(LaunchPadViewWithMail, SavingUpdatesFileListAndRegistrations)
{
    EditButtonView *form = openForm(0);
    ASSERT_NE(form, nullptr);
    form->findChild<QLineEdit *>(QStringLiteral("nameField"))->setText(QStringLiteral("Post"));
    recordShortcut(form, Qt::Key_M, Qt::MetaModifier | Qt::ShiftModifier);
    log.clear();

    QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("saveButton")), Qt::LeftButton);
    waitForFormGone();

    EXPECT_EQ(log.lines().first(), QStringLiteral("💾 Saving edited button: Post with shortcut: ⌘ + ⇧ + M"));
    EXPECT_EQ(rowTexts("nameButton"), QStringList({QStringLiteral("Post"), QStringLiteral("Web")}));
    EXPECT_TRUE(testManager.fileText().contains("\"name\":\"Post\""));
    EXPECT_TRUE(testManager.fileText().contains("⌘ + ⇧ + M"));
    const auto registered = testManager.registeredCombinations();
    EXPECT_EQ(registered.size(), 2);
    EXPECT_TRUE(registered.contains(std::make_pair(keyM, commandShift)));
    EXPECT_TRUE(registered.contains(std::make_pair(keyG, quint32(HotkeyModifier::command))));
    EXPECT_FALSE(view.editingButton().has_value());
    // The save registers once more after the manager's own round.
    EXPECT_EQ(log.startingWith(QStringLiteral("🎹 Registering shortcuts for")).size(), 2);
}

TEST_F(LaunchPadViewWithMail, CancelGivesTheHotkeysBack)
{
    const auto before = testManager.registeredCombinations();
    EditButtonView *form = openForm(0);
    ASSERT_NE(form, nullptr);
    form->findChild<QLineEdit *>(QStringLiteral("nameField"))->setText(QStringLiteral("Changed"));

    QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("cancelButton")), Qt::LeftButton);
    waitForFormGone();

    EXPECT_EQ(testManager.registeredCombinations(), before);
    EXPECT_TRUE(testManager.registeredCombinations().contains(std::make_pair(keyF, commandOption)));
    EXPECT_EQ(rowTexts("nameButton").first(), QStringLiteral("Mail"));
    EXPECT_FALSE(testManager.fileText().contains("Changed"));
    EXPECT_TRUE(log.startingWith(QStringLiteral("💾")).isEmpty());
}

TEST_F(LaunchPadViewWithMail, EscapeAndClosingTheFormAlsoGiveTheHotkeysBack)
{
    EditButtonView *form = openForm(0);
    ASSERT_NE(form, nullptr);
    QTest::keyClick(form, Qt::Key_Escape);
    waitForFormGone();
    EXPECT_EQ(testManager.registeredCombinations().size(), 2);

    form = openForm(1);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(testManager.registeredCombinations().isEmpty());
    form->close();
    waitForFormGone();
    EXPECT_EQ(testManager.registeredCombinations().size(), 2);
}

TEST_F(LaunchPadViewWithMail, HotkeysPressedWhileEditingLaunchNothing)
{
    openForm(1);
    EXPECT_FALSE(testManager.hotkeys().press(keyF, commandOption).has_value());
    QCoreApplication::processEvents();
    EXPECT_TRUE(testManager.launcher().opened().isEmpty());
}

TEST_F(LaunchPadViewWithMail, DeleteRemovesTheRowSavesAndReregisters)
{
    click("deleteButton", 0);

    EXPECT_EQ(rowTexts("nameButton"), QStringList({QStringLiteral("Web")}));
    EXPECT_FALSE(testManager.fileText().contains("Mail"));
    EXPECT_EQ(testManager.registeredCombinations(),
              (QList<std::pair<quint32, quint32>>{{keyG, HotkeyModifier::command}}));
}

TEST_F(LaunchPadViewTest, DeletingTheOnlyButtonLeavesAnEmptyFile)
{
    click("addButton");
    click("deleteButton", 0);

    EXPECT_TRUE(rowTexts("nameButton").isEmpty());
    EXPECT_EQ(testManager.fileText(), QByteArray("[]"));
    EXPECT_TRUE(testManager.registeredCombinations().isEmpty());
}

TEST_F(LaunchPadViewWithMail, DeletingAButtonNoLongerListedDoesNothing)
{
    const LaunchButton stale(QUuid::createUuid(), QStringLiteral("Gone"), QStringLiteral("cmd+x"), std::nullopt);
    view.deleteButton(stale);
    EXPECT_EQ(view.viewModel().buttons().size(), 2);
}

TEST_F(LaunchPadViewWithMail, ViewModelCopiesOnlyWhenTold)
{
    testManager.manager().addButton(); // a change the view did not make
    EXPECT_EQ(view.viewModel().buttons().size(), 2);
    view.viewModel().copyFromManager();
    EXPECT_EQ(view.viewModel().buttons().size(), 3);
}
} // namespace
