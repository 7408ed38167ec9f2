#include "EditButtonView.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {
struct Saved {
    QString name;
    QString shortcut;
    std::optional<QUrl> appURL;
};

class EditButtonViewTest : public ::testing::Test {
protected:
    std::unique_ptr<EditButtonView> formFor(const QString &name, const QString &shortcut,
                                            std::optional<QString> target)
    {
        auto form = std::make_unique<EditButtonView>(
            LaunchButton::withTargetText(QUuid::createUuid(), name, shortcut, std::move(target)),
            [this](const QString &n, const QString &s, std::optional<QUrl> u) { saves.append({n, s, std::move(u)}); });
        form->show();
        QApplication::setActiveWindow(form.get());
        return form;
    }

    static QLineEdit *field(EditButtonView &form, const char *name)
    {
        return form.findChild<QLineEdit *>(QLatin1String(name));
    }

    static QString encoded(const std::optional<QUrl> &url)
    {
        return url ? url->toString(QUrl::FullyEncoded) : QStringLiteral("<none>");
    }

    QList<Saved> saves;
};

TEST(EditButtonViewTarget, WebAndFileAddressesPassUnchanged)
{
    EXPECT_EQ(EditButtonView::targetURL(QStringLiteral("https://example.com/a?b=1"))->toString(),
              QStringLiteral("https://example.com/a?b=1"));
    EXPECT_EQ(EditButtonView::targetURL(QStringLiteral("http://example.com"))->toString(),
              QStringLiteral("http://example.com"));
    EXPECT_EQ(EditButtonView::targetURL(QStringLiteral("file:///usr/bin/xterm"))->toString(),
              QStringLiteral("file:///usr/bin/xterm"));
}

TEST(EditButtonViewTarget, PathsBecomeFileURLsWithSpacesEncoded)
{
    EXPECT_EQ(EditButtonView::targetURL(QStringLiteral("/usr/bin/xterm"))->toString(QUrl::FullyEncoded),
              QStringLiteral("file:///usr/bin/xterm"));
    EXPECT_EQ(EditButtonView::targetURL(QStringLiteral("/opt/My Tool.desktop"))->toString(QUrl::FullyEncoded),
              QStringLiteral("file:///opt/My%20Tool.desktop"));
}

TEST(EditButtonViewTarget, EmptyTextBecomesBareFileScheme)
{
    const auto url = EditButtonView::targetURL(QString());
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->toString(QUrl::FullyEncoded), QStringLiteral("file://"));
}

TEST(EditButtonViewTarget, SchemeTestIsCaseSensitive)
{
    const auto url = EditButtonView::targetURL(QStringLiteral("HTTPS://example.com"));
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->scheme(), QStringLiteral("file"));
    EXPECT_TRUE(url->toString().startsWith(QStringLiteral("file://")));
}

TEST(EditButtonViewTarget, TextThatCannotBeAURLGivesNone)
{
    EXPECT_FALSE(EditButtonView::targetURL(QStringLiteral("http://[::1")).has_value());
}

TEST_F(EditButtonViewTest, OpensWithTheButtonsValues)
{
    auto form = formFor(QStringLiteral("Web"), QStringLiteral("cmd+shift+k"), QStringLiteral("https://example.com"));
    EXPECT_EQ(field(*form, "nameField")->text(), QStringLiteral("Web"));
    EXPECT_EQ(field(*form, "shortcutField")->text(), QStringLiteral("⌘ + ⇧ + K"));
    EXPECT_EQ(field(*form, "appPathField")->text(), QStringLiteral("https://example.com"));
    EXPECT_EQ(field(*form, "nameField")->placeholderText(), QStringLiteral("Button Name"));
    EXPECT_EQ(field(*form, "appPathField")->placeholderText(), QStringLiteral("Path or URL"));
    EXPECT_EQ(form->width(), EditButtonView::formWidth);
}

TEST_F(EditButtonViewTest, MissingOrBrokenTargetShowsAnEmptyField)
{
    auto none = formFor(QStringLiteral("A"), QString(), std::nullopt);
    EXPECT_TRUE(field(*none, "appPathField")->text().isEmpty());
    auto broken = formFor(QStringLiteral("B"), QString(), QStringLiteral("http://[::1"));
    EXPECT_TRUE(field(*broken, "appPathField")->text().isEmpty());
}

TEST_F(EditButtonViewTest, SaveHandsOnDisplayFormAndNormalisedTarget)
{
    auto form = formFor(QStringLiteral("Tool"), QStringLiteral("cmd+shift+k"), std::nullopt);
    field(*form, "appPathField")->setText(QStringLiteral("/opt/My Tool.desktop"));

    QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("saveButton")), Qt::LeftButton);

    ASSERT_EQ(saves.size(), 1);
    EXPECT_EQ(saves[0].name, QStringLiteral("Tool"));
    EXPECT_EQ(saves[0].shortcut, QStringLiteral("⌘ + ⇧ + K"));
    EXPECT_EQ(encoded(saves[0].appURL), QStringLiteral("file:///opt/My%20Tool.desktop"));
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(EditButtonViewTest, ReturnSavesAndEscapeCancels)
{
    auto saved = formFor(QStringLiteral("A"), QStringLiteral("cmd+a"), std::nullopt);
    QTest::keyClick(field(*saved, "nameField"), Qt::Key_Return);
    EXPECT_EQ(saves.size(), 1);
    EXPECT_FALSE(saved->isVisible());

    auto cancelled = formFor(QStringLiteral("B"), QStringLiteral("cmd+b"), std::nullopt);
    QTest::keyClick(field(*cancelled, "nameField"), Qt::Key_Escape);
    EXPECT_EQ(saves.size(), 1);
    EXPECT_EQ(cancelled->result(), QDialog::Rejected);
    EXPECT_FALSE(cancelled->isVisible());
}

TEST_F(EditButtonViewTest, WhileRecordingEscapeAndReturnAreKeysNotCommands)
{
    auto form = formFor(QStringLiteral("A"), QStringLiteral("cmd+a"), std::nullopt);
    QLineEdit *shortcut = field(*form, "shortcutField");
    shortcut->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(shortcut, Qt::Key_Escape);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(shortcut->text(), QStringLiteral("ESCAPE"));

    shortcut->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(shortcut, Qt::Key_Return, Qt::MetaModifier);
    EXPECT_TRUE(saves.isEmpty());
    EXPECT_EQ(shortcut->text(), QStringLiteral("⌘ + RETURN"));
}

TEST_F(EditButtonViewTest, ClearedShortcutSavesAsEmptyText)
{
    auto form = formFor(QStringLiteral("A"), QStringLiteral("cmd+a"), std::nullopt);
    QTest::mouseClick(form->findChild<QAbstractButton *>(QStringLiteral("clearShortcutButton")), Qt::LeftButton);
    form->save();
    ASSERT_EQ(saves.size(), 1);
    EXPECT_TRUE(saves[0].shortcut.isEmpty());
}

TEST_F(EditButtonViewTest, BrowseChoosesAnApplicationPath)
{
    auto form = formFor(QStringLiteral("A"), QString(), std::nullopt);
    QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("browseButton")), Qt::LeftButton);

    auto *chooser = form->findChild<QFileDialog *>(QStringLiteral("applicationChooser"));
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->directory().absolutePath(), EditButtonView::applicationsFolder);
    EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFile);

    chooser->fileSelected(QStringLiteral("/usr/share/applications/My Tool.desktop"));
    EXPECT_EQ(field(*form, "appPathField")->text(), QStringLiteral("/usr/share/applications/My Tool.desktop"));
    chooser->reject();
}
} // namespace
