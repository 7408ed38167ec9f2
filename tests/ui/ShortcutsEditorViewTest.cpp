#include "ButtonFileWriter.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestManager.h"
#include "hotkeys/HotkeyButtons.h"
#include "ui/EditButtonView.h"
#include "ui/LaunchButtonListView.h"
#include "ui/LaunchButtonRowAccessible.h"
#include "ui/ShortcutsEditorModel.h"
#include "ui/ShortcutsEditorView.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

// The editor driven as the user drives it: clicks and keys on the rows, the
// form and its fields, against a manager on the fake hotkey backend.
namespace {
using Area = LaunchButtonDelegate::Area;

class ShortcutsEditorViewTest : public ::testing::Test {
protected:
    explicit ShortcutsEditorViewTest(const QByteArray &file = twoButtons()) : testManager(file), view(testManager.manager())
    {
        view.show();
    }

    // What every row shows in this role (the name, or the shortcut text), top to bottom.
    QStringList rows(int role = Qt::DisplayRole) const
    {
        QStringList result;
        for (int row = 0; row < view.model().rowCount(); ++row)
            result.append(view.model().index(row).data(role).toString());
        return result;
    }

    QPoint at(int row, Area area) const { return view.list().areaRect(row, area).center(); }
    void click(int row, Area area) { QTest::mouseClick(view.list().viewport(), Qt::LeftButton, {}, at(row, area)); }

    template <typename T> T *inForm(const char *name) const { return view.editForm()->findChild<T *>(QLatin1String(name)); }
    bool formGone() const { return QTest::qWaitFor([this] { return view.editForm() == nullptr; }, 2000); }
    // Clicks the row's pencil: true once its form is open.
    bool edit(int row) { click(row, Area::edit); return view.editForm() != nullptr; }
    // Clicks the form's Save or Cancel: true once the form is gone.
    bool leaveFormBy(const char *button) { QTest::mouseClick(inForm<QPushButton>(button), Qt::LeftButton); return formGone(); }
    static bool activate(QWidget *window) { window->activateWindow(); return QTest::qWaitForWindowActive(window); }
    // Clicks into the form's shortcut field, which starts a recording, and presses the keys.
    void record(QKeyCombination keys)
    {
        QTest::mouseClick(inForm<QLineEdit>("shortcutField"), Qt::LeftButton);
        QTest::keyClick(inForm<QLineEdit>("shortcutField"), keys.key(), keys.keyboardModifiers());
    }
    QList<QUuid> ids() const
    {
        QList<QUuid> result;
        for (const LaunchButton &button : view.model().buttons())
            result.append(button.id());
        return result;
    }

    static QList<FakeAppLauncher::Launch> launched(const char *url, quint64 time = 0) { return {{QUrl(url), time}}; }

    qsizetype bound() { return testManager.shortcuts().bound().size(); }

    static QByteArray twoButtons()
    {
        // "&" is no keyboard mnemonic: the name reads as it is, in the list and the form.
        ButtonFileWriter file;
        file.add(QStringLiteral("Tom & Jerry"), QStringLiteral("⌘ + ⌥ + F"), QStringLiteral("file:///usr/bin/cartoon"));
        file.add(QStringLiteral("Web"), QStringLiteral("cmd+g"), QStringLiteral("file:///usr/bin/browser"));
        return file.bytes();
    }

    LogCapture log;
    TestManager testManager;
    ShortcutsEditorView view;
};

TEST_F(ShortcutsEditorViewTest, DeletingEveryButtonEmptiesTheFileAndAddingNumbersTheNewOnes)
{
    click(0, Area::remove);
    EXPECT_EQ(rows(), QStringList{"Web"});
    EXPECT_EQ(bound(), 1);
    click(0, Area::remove);
    EXPECT_EQ(testManager.fileText(), QByteArray("[]"));
    EXPECT_TRUE(bound() == 0);

    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(view.findChild<QAbstractButton *>("addButton"), Qt::LeftButton);
    EXPECT_EQ(rows(ShortcutsEditorModel::ShortcutRole), (QStringList{"⌘1", "⌘2"}));
    EXPECT_TRUE(testManager.fileText().contains("⌘2"));
}

// One text form everywhere: the file's "cmd+g" shows in the list and the
// form as the form saves it.
TEST_F(ShortcutsEditorViewTest, SavedEditReachesTheFileTheRowsAndTheHotkeys)
{
    EXPECT_EQ(rows(ShortcutsEditorModel::ShortcutRole), (QStringList{"⌘ + ⌥ + F", "⌘ + G"}));
    ASSERT_TRUE(edit(1));
    EXPECT_TRUE(log.contains(QStringLiteral("✏️ Starting edit for button: Web")));
    EXPECT_EQ(inForm<QLineEdit>("shortcutField")->text(), QStringLiteral("⌘ + G"));
    inForm<QLineEdit>("nameField")->setText(QStringLiteral("Post"));
    inForm<QLineEdit>("appPathField")->setText(QStringLiteral("/opt/My Tool.desktop"));
    ASSERT_TRUE(activate(view.editForm()));
    // While the shortcut field records, Escape ends the recording and Return
    // is refused: neither is Cancel or Save.
    for (const QKeyCombination keys : {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::Key_Return),
                                       Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_M}) {
        record(keys);
        ASSERT_NE(view.editForm(), nullptr);
    }
    EXPECT_TRUE(log.startingWith(QStringLiteral("💾")).isEmpty());
    ASSERT_TRUE(leaveFormBy("saveButton"));

    EXPECT_TRUE(log.contains(QStringLiteral("💾 Saving edited button: Post with shortcut: ⌘ + ⇧ + M")));
    EXPECT_EQ(rows(), (QStringList{"Tom & Jerry", "Post"}));
    EXPECT_EQ(rows(ShortcutsEditorModel::ShortcutRole).at(1), QStringLiteral("⌘ + ⇧ + M"));
    EXPECT_TRUE(testManager.fileText().contains("\"name\":\"Post\",\"shortcut\":\"⌘ + ⇧ + M\""));
    EXPECT_EQ(bound(), 2);
    EXPECT_TRUE(testManager.shortcuts().press(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_M, 4711));
    EXPECT_EQ(testManager.launcher().opened(), launched("file:///opt/My%20Tool.desktop", 4711));
}

// An application's running window may come to the front instead of a new
// copy; the choice is the button's, for applications only.
TEST_F(ShortcutsEditorViewTest, TheLaunchChoiceShowsForApplicationsSavesAndReadsBack)
{
    const QString bringToFront = QStringLiteral("Bring to front if running");
    const QString newCopy = QStringLiteral("Always start a new copy");
    ASSERT_TRUE(edit(0));
    auto *choice = inForm<QComboBox>("launchModeField");
    ASSERT_NE(choice, nullptr);
    EXPECT_TRUE(choice->isVisibleTo(view.editForm()));
    EXPECT_EQ(choice->currentText(), bringToFront);
    EXPECT_FALSE(inForm<QLabel>("bringToFrontNote")->isVisibleTo(view.editForm()));
    inForm<QLineEdit>("appPathField")->setText(QStringLiteral("https://example.org"));
    EXPECT_FALSE(choice->isVisibleTo(view.editForm())) << "web addresses open in the program's own window";
    inForm<QLineEdit>("appPathField")->setText(QStringLiteral("/usr/bin/cartoon"));
    ASSERT_TRUE(choice->isVisibleTo(view.editForm()));
    choice->setCurrentIndex(choice->findText(newCopy));
    ASSERT_TRUE(leaveFormBy("saveButton"));
    EXPECT_EQ(testManager.manager().launchMode(ids().at(0)), ButtonPreferences::LaunchMode::alwaysNewCopy);
    EXPECT_FALSE(testManager.fileText().contains("copy")) << "the button file keeps its format";

    // Where the desktop cannot find the window, the form says so.
    testManager.windows().setCanFindWindows(false);
    ASSERT_TRUE(edit(0));
    EXPECT_EQ(inForm<QComboBox>("launchModeField")->currentText(), newCopy);
    EXPECT_TRUE(inForm<QLabel>("bringToFrontNote")->isVisibleTo(view.editForm()));
}

// While the form is open no hotkey is held; leaving it unsaved gives them back.
// What stands in the way of a recorded shortcut shows under the field
// before saving: another button on it (by name), or what the desktop says.
// Saving stays possible, and the row then shows the state.
TEST_F(ShortcutsEditorViewTest, TheFormWarnsOfAShortcutInTheWayBeforeSaving)
{
    testManager.shortcuts().answerWith(Qt::ControlModifier | Qt::Key_H,
                                       {ShortcutState::Kind::TakenElsewhere, {}, QStringLiteral("held by the test")});
    ASSERT_TRUE(edit(0));
    auto *warning = inForm<QLabel>("shortcutWarning");
    EXPECT_FALSE(warning->isVisibleTo(view.editForm())) << "its own shortcut is in nobody's way";
    ASSERT_TRUE(activate(view.editForm()));
    const auto warningAfter = [&](QKeyCombination keys) {
        record(keys);
        return warning->isVisibleTo(view.editForm()) ? warning->text() : QString();
    };

    EXPECT_EQ(warningAfter(Qt::MetaModifier | Qt::Key_G), QStringLiteral("\"Web\" has the same shortcut"));
    EXPECT_EQ(warningAfter(Qt::ControlModifier | Qt::Key_H),
              QStringLiteral("Another program holds this combination\nheld by the test"));
    EXPECT_EQ(warningAfter(Qt::ControlModifier | Qt::Key_J), QString());
    record(Qt::ControlModifier | Qt::Key_H);
    ASSERT_TRUE(leaveFormBy("saveButton"));
    EXPECT_EQ(rows(ShortcutsEditorModel::HotkeyStateRole).at(0), QString::number(int(ShortcutState::Kind::TakenElsewhere)));
}

TEST_F(ShortcutsEditorViewTest, LeavingTheFormWithoutSavingGivesTheHotkeysBack)
{
    const QByteArray file = testManager.fileText();
    const auto registered = bound();
    const std::function<void(EditButtonView *)> ways[] = {
        [](EditButtonView *form) { QTest::mouseClick(form->findChild<QPushButton *>("cancelButton"), Qt::LeftButton); },
        [](EditButtonView *form) { QTest::keyClick(form, Qt::Key_Escape); },
        [](EditButtonView *form) { form->close(); },
    };
    for (const auto &leave : ways) {
        ASSERT_TRUE(edit(1));
        ASSERT_TRUE(bound() == 0);
        inForm<QLineEdit>("nameField")->setText(QStringLiteral("Changed"));
        leave(view.editForm());
        ASSERT_TRUE(formGone());
        EXPECT_EQ(bound(), registered);
        EXPECT_EQ(testManager.shortcuts().bound().constLast().description, QStringLiteral("Web"));
        EXPECT_EQ(testManager.fileText(), file);
    }
    EXPECT_TRUE(log.startingWith(QStringLiteral("💾")).isEmpty());
}

// Each row says whether its hotkey works, and why not.
TEST_F(ShortcutsEditorViewTest, RowsShowWhatTheDesktopDidWithEachHotkey)
{
    const auto stateOf = [this](int row) { return rows(ShortcutsEditorModel::HotkeyStateRole).at(row); };
    const auto textOf = [this](int row) { return rows(ShortcutsEditorModel::HotkeyStateTextRole).at(row); };
    const QString web = testManager.shortcuts().bound().at(1).actionId;
    testManager.shortcuts().answer(web, {ShortcutState::Kind::TakenElsewhere, {}, QStringLiteral("held by xbindkeys")});
    EXPECT_EQ(stateOf(0), QString::number(int(ShortcutState::Kind::Live))) << "only the answered row changes";
    EXPECT_EQ(stateOf(1), QString::number(int(ShortcutState::Kind::TakenElsewhere)));
    EXPECT_EQ(textOf(1), QStringLiteral("Another program holds this combination\nheld by xbindkeys"));
    EXPECT_TRUE(view.list().accessibleRow(1)->text(QAccessible::Description).contains(QStringLiteral("Another program holds")))
        << "a screen reader hears it too";
    testManager.shortcuts().answer(web, {ShortcutState::Kind::Live, QStringLiteral("Ctrl+Alt+K"), {}});
    EXPECT_EQ(textOf(1), QStringLiteral("Hotkey works: Ctrl+Alt+K"));

    // The symbol carries the tooltip; the rest of the line does not.
    const QRect symbol = view.list().hotkeyStateRect(1);
    ASSERT_FALSE(symbol.isEmpty());
    EXPECT_TRUE(view.list().toolTipAt(symbol.center()).contains(QStringLiteral("Ctrl+Alt+K")));
    EXPECT_FALSE(view.list().toolTipAt(symbol.center() + QPoint(symbol.width() * 3, 0)).contains(QStringLiteral("Ctrl")));

    // Where no window can be found, an application row says a press starts a new copy.
    const QString x11Only = QStringLiteral("\nBring to front works on X11 only: here a new copy starts");
    EXPECT_FALSE(textOf(0).endsWith(x11Only));
    testManager.windows().setCanFindWindows(false);
    EXPECT_TRUE(textOf(0).endsWith(x11Only));
    testManager.manager().setLaunchMode(ids().at(0), ButtonPreferences::LaunchMode::alwaysNewCopy);
    EXPECT_FALSE(textOf(0).endsWith(x11Only)) << "nothing to say where the user wants a new copy anyway";
}

// Alt with the key after "&" launches nothing; the keys that do act on the current row.
TEST_F(ShortcutsEditorViewTest, TheKeyboardLaunchesAndEditsTheCurrentRowButNoMnemonic)
{
    ASSERT_TRUE(activate(&view));
    QTest::keyClick(&view, Qt::Key_Space, Qt::AltModifier);
    QTest::qWait(300); // a mnemonic clicks its button after a short press animation
    EXPECT_TRUE(testManager.launcher().opened().isEmpty());

    view.list().setFocus(Qt::TabFocusReason);
    view.list().setCurrentIndex(view.model().index(1));
    QTest::keyClick(&view.list(), Qt::Key_Space);
    EXPECT_EQ(testManager.launcher().opened(), launched("file:///usr/bin/browser"));
    view.list().setCurrentIndex(view.model().index(0)); // Delete is the undo test's
    QTest::keyClick(&view.list(), Qt::Key_F2);
    ASSERT_NE(view.editForm(), nullptr);
    EXPECT_EQ(inForm<QLineEdit>("nameField")->text(), QStringLiteral("Tom & Jerry"));
}

// Deleting takes the button away at once; Undo brings it back where it was,
// with its id, its hotkey and its launch mode.
TEST_F(ShortcutsEditorViewTest, UndoBringsADeletedButtonBackInItsPlaceWithItsIdHotkeyAndSettings)
{
    const QList<QUuid> before = ids();
    testManager.manager().saveButtons(); // in the program's own spelling
    const QByteArray file = testManager.fileText();
    testManager.manager().setLaunchMode(before.at(0), ButtonPreferences::LaunchMode::alwaysNewCopy);
    auto *undoBar = view.findChild<QWidget *>(QStringLiteral("undoBar"));
    ASSERT_NE(undoBar, nullptr);
    EXPECT_FALSE(undoBar->isVisible());

    const std::function<void()> undoWays[] = {
        [&] { QTest::mouseClick(view.findChild<QPushButton *>(QStringLiteral("undoButton")), Qt::LeftButton); },
        [&] { QTest::keyClick(&view.list(), Qt::Key_Z, Qt::ControlModifier); },
    };
    for (const auto &undo : undoWays) {
        ASSERT_TRUE(activate(&view));
        view.list().setFocus(Qt::TabFocusReason);
        view.list().setCurrentIndex(view.model().index(0));
        QTest::keyClick(&view.list(), Qt::Key_Delete);
        EXPECT_EQ(rows(), QStringList{"Web"});
        EXPECT_FALSE(testManager.fileText().contains("Tom & Jerry"));
        EXPECT_EQ(bound(), 1);
        EXPECT_TRUE(undoBar->isVisible());
        EXPECT_TRUE(view.findChild<QLabel *>(QStringLiteral("undoText"))->text().contains(QStringLiteral("Tom & Jerry")));

        undo();
        EXPECT_FALSE(undoBar->isVisible());
        EXPECT_EQ(ids(), before);
        EXPECT_EQ(testManager.fileText(), file) << "its name, shortcut and target too";
        EXPECT_EQ(bound(), 2);
        EXPECT_EQ(testManager.manager().launchMode(before.at(0)), ButtonPreferences::LaunchMode::alwaysNewCopy);
    }
    // Once used, Undo is spent.
    view.undoDelete();
    EXPECT_EQ(view.model().buttons().size(), 2);
}

// "+" adds the button, shows it and opens its form; cancelling that first
// form takes it away again, a save keeps it.
TEST_F(ShortcutsEditorViewTest, PlusOpensTheNewButtonsFormAndCancellingItTakesTheButtonAway)
{
    testManager.manager().saveButtons(); // in the program's own spelling
    const QByteArray file = testManager.fileText();
    auto *plus = view.findChild<QAbstractButton *>("addButton");
    QTest::mouseClick(plus, Qt::LeftButton);
    ASSERT_NE(view.editForm(), nullptr);
    ASSERT_EQ(rows().size(), 3);
    EXPECT_EQ(view.list().currentIndex().row(), 2);
    EXPECT_EQ(inForm<QLineEdit>("nameField")->text(), QStringLiteral("New Button"));
    EXPECT_EQ(view.editingButton()->id(), ids().at(2));
    ASSERT_TRUE(leaveFormBy("cancelButton"));
    EXPECT_EQ(rows().size(), 2);
    EXPECT_EQ(testManager.fileText(), file);
    EXPECT_EQ(bound(), 2);

    QTest::mouseClick(plus, Qt::LeftButton);
    ASSERT_NE(view.editForm(), nullptr);
    inForm<QLineEdit>("nameField")->setText(QStringLiteral("Mail"));
    ASSERT_TRUE(leaveFormBy("saveButton"));
    EXPECT_EQ(rows(), (QStringList{"Tom & Jerry", "Web", "Mail"}));

    // Cancelling a later edit of it keeps it.
    ASSERT_TRUE(edit(2));
    ASSERT_TRUE(leaveFormBy("cancelButton"));
    EXPECT_EQ(rows().size(), 3);
}

// Every new button is "New Button": each action reaches the button of its
// row, by id, never the first of that name.
class SameNameTest : public ShortcutsEditorViewTest {
protected:
    static QByteArray sameNames()
    {
        ButtonFileWriter file;
        file.add(QStringLiteral("New Button"), QStringLiteral("⌘ + 1"), QStringLiteral("file:///usr/bin/first"));
        file.add(QStringLiteral("New Button"), QStringLiteral("⌘ + 2"), QStringLiteral("file:///usr/bin/second"));
        file.add(QStringLiteral("New Button"), QStringLiteral("⌘ + 3"), QStringLiteral("file:///usr/bin/third"));
        return file.bytes();
    }
    SameNameTest() : ShortcutsEditorViewTest(sameNames()) {}
};

TEST_F(SameNameTest, LaunchingEditingAndDeletingActOnTheirOwnRow)
{
    const QList<QUuid> all = ids();
    ASSERT_EQ(all.size(), 3);
    const QUuid first = all[0], second = all[1], third = all[2];

    // A name click launches only when the mouse goes up on the same row.
    QTest::mousePress(view.list().viewport(), Qt::LeftButton, {}, at(0, Area::name));
    QTest::mouseRelease(view.list().viewport(), Qt::LeftButton, {}, at(1, Area::name));
    EXPECT_TRUE(testManager.launcher().opened().isEmpty());
    const std::pair<int, const char *> launches[] = {{1, "second"}, {2, "third"}, {0, "first"}};
    for (const auto &[row, target] : launches) {
        click(row, Area::name);
        EXPECT_EQ(testManager.launcher().opened().constLast().target.fileName(), QString::fromLatin1(target));
    }

    ASSERT_TRUE(edit(1));
    EXPECT_EQ(view.editingButton()->id(), second);
    EXPECT_EQ(inForm<QLineEdit>("appPathField")->text(), QStringLiteral("file:///usr/bin/second"));
    inForm<QLineEdit>("nameField")->setText(QStringLiteral("Renamed"));
    ASSERT_TRUE(leaveFormBy("saveButton"));
    EXPECT_EQ(rows(), (QStringList{"New Button", "Renamed", "New Button"}));
    EXPECT_EQ(ids(), all);
    EXPECT_EQ(testManager.manager().buttons().at(1).appURLString, QStringLiteral("file:///usr/bin/second"));

    click(2, Area::remove);
    EXPECT_EQ(ids(), (QList<QUuid>{first, second}));
    EXPECT_EQ(testManager.manager().findButton(third), nullptr);
    view.undoDelete();
    EXPECT_EQ(ids(), all);
    click(0, Area::remove);
    EXPECT_EQ(ids(), (QList<QUuid>{second, third}));
    click(1, Area::remove);
    view.undoDelete();
    EXPECT_EQ(ids(), (QList<QUuid>{second, third})) << "of two deleted, the last comes back";
}

// A launch that fails shows on its row until one works or the button is saved again.
TEST_F(ShortcutsEditorViewTest, AFailedLaunchShowsOnItsRowWithTheReason)
{
    const auto failed = [this](int row) { return !rows(ShortcutsEditorModel::LaunchFailureRole).at(row).isEmpty(); };
    testManager.launcher().failWith(QStringLiteral("no terminal to run it in"));
    click(1, Area::name);
    EXPECT_TRUE(rows(ShortcutsEditorModel::LaunchFailureRole).at(1).contains(QStringLiteral("no terminal")));
    EXPECT_FALSE(failed(0));
    EXPECT_TRUE(view.list().toolTipAt(view.list().hotkeyStateRect(1).center()).contains(QStringLiteral("no terminal")));
    EXPECT_TRUE(view.list().accessibleRow(1)->text(QAccessible::Description).contains(QStringLiteral("no terminal")));

    ASSERT_TRUE(edit(1));
    ASSERT_TRUE(leaveFormBy("saveButton"));
    EXPECT_FALSE(failed(1));

    click(0, Area::name);
    EXPECT_TRUE(failed(0));
    testManager.launcher().succeed();
    click(1, Area::name);
    EXPECT_TRUE(failed(0)) << "another button's launch says nothing of this one";
    click(0, Area::name);
    EXPECT_FALSE(failed(0));
}
} // namespace
