#include "ButtonHome.h"
#include "DesktopServices.h"
#include "DesktopTestKit.h"
#include "EditButtonView.h"
#include "HotkeyButtons.h"
#include "LaunchButtonListView.h"
#include "ShortcutsEditorView.h"
#include "XTestKeyboard.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#define XK_LATIN1
#include <X11/keysymdef.h>

// The edit form on a real X server: a combination a second client holds is
// reported under the shortcut field before anything is saved.
TEST(EditFormOnX11Test, ACombinationAnotherClientHoldsIsReportedBeforeSaving)
{
    ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString();
    XTestKeyboard otherClient;
    ASSERT_TRUE(otherClient.grab(xSuperAlt, XK_g));
    ButtonHome home;
    home.addButton(QStringLiteral("first"), QStringLiteral("⌘ + ⌥ + F"));
    ASSERT_TRUE(home.writeButtonFile());
    const DesktopServices desktop = DesktopServices::forThisSession();
    ASSERT_EQ(desktop.shortcuts->backendName(), QStringLiteral("X11"));
    HotkeyButtons manager(
        {desktop.shortcuts, desktop.launcher, desktop.permission, {}, home.path(), {}, desktop.windows, home.path()});
    ShortcutsEditorView view(manager);
    view.show();

    QTest::mouseClick(view.list().viewport(), Qt::LeftButton, {},
                      view.list().areaRect(0, LaunchButtonDelegate::Area::edit).center());
    ASSERT_NE(view.editForm(), nullptr);
    view.editForm()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.editForm()));
    auto *shortcut = view.editForm()->findChild<QLineEdit *>(QStringLiteral("shortcutField"));
    auto *warning = view.editForm()->findChild<QLabel *>(QStringLiteral("shortcutWarning"));
    const auto record = [&](Qt::Key key) {
        QTest::mouseClick(shortcut, Qt::LeftButton); // starts a recording
        QTest::keyClick(shortcut, key, Qt::MetaModifier | Qt::AltModifier);
        return warning->isVisibleTo(view.editForm()) ? warning->text() : QString();
    };

    EXPECT_TRUE(record(Qt::Key_G).startsWith(QStringLiteral("Another program holds this combination\n")));
    EXPECT_EQ(record(Qt::Key_H), QString());
    EXPECT_TRUE(otherClient.canGrab(xSuperAlt, XK_h)) << "checking grabbed nothing for good";
    view.editForm()->close();
}
