#include "ButtonFileWriter.h"
#include "QtPrinters.h"
#include "TestManager.h"
#include "hotkeys/HotkeyButtons.h"
#include "ui/ConfigurationView.h"
#include "ui/EditButtonView.h"
#include "ui/LaunchButtonListView.h"
#include "ui/ShortcutsEditorModel.h"
#include "ui/ShortcutsEditorView.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <map>

#include <gtest/gtest.h>

// Real grabs of the editor, its form and the configuration, on a light, a
// dark and a high-contrast palette, at the scale the run is given
// (QT_SCALE_FACTOR; CTest runs these at 1 and at 2).
namespace {
double luminance(QRgb pixel)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(pixel)) + 0.7152 * channel(qGreen(pixel)) + 0.0722 * channel(qBlue(pixel));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The symbol's contrast in this part of a grab: its strongest pixel against
// the area's most common colour, the background.
double symbolContrast(const QImage &grab, const QRect &logicalArea)
{
    const qreal ratio = grab.devicePixelRatio();
    const QRect area = QRect(logicalArea.topLeft() * ratio, logicalArea.size() * ratio).intersected(grab.rect());
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[grab.pixel(x, y) | 0xff000000];
    const auto mostCommon = [](const auto &a, const auto &b) { return a.second < b.second; };
    const QRgb background = std::max_element(counts.cbegin(), counts.cend(), mostCommon)->first;
    double best = 1.0;
    for (const auto &[colour, count] : counts)
        best = std::max(best, contrast(colour, background));
    return best;
}

// These roles in this colour, in every group (or in the ones given).
void paint(QPalette &palette, std::initializer_list<QPalette::ColorRole> roles, const QColor &colour,
           std::initializer_list<QPalette::ColorGroup> groups = {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
{
    for (const QPalette::ColorGroup group : groups)
        for (const QPalette::ColorRole role : roles)
            palette.setColor(group, role, colour);
}

QPalette darkPalette()
{
    QPalette dark;
    paint(dark, {QPalette::Window, QPalette::AlternateBase, QPalette::Button}, QColor(0x35, 0x35, 0x35));
    paint(dark, {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}, QColor(0xee, 0xee, 0xee));
    paint(dark, {QPalette::WindowText}, QColor(0x80, 0x80, 0x80), {QPalette::Disabled});
    paint(dark, {QPalette::Base}, QColor(0x2a, 0x2a, 0x2a));
    paint(dark, {QPalette::Highlight}, QColor(0x3d, 0xae, 0xe9));
    paint(dark, {QPalette::HighlightedText}, Qt::black);
    paint(dark, {QPalette::PlaceholderText}, QColor(0xa0, 0xa0, 0xa0));
    return dark;
}

QPalette highContrastPalette()
{
    QPalette black = darkPalette();
    paint(black, {QPalette::Window, QPalette::Base, QPalette::Button}, Qt::black, {QPalette::Active, QPalette::Inactive});
    paint(black, {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}, Qt::white, {QPalette::Active, QPalette::Inactive});
    return black;
}

QByteArray buttons()
{
    ButtonFileWriter file;
    file.add(QStringLiteral("Files"), QStringLiteral("⌘ + E"), QStringLiteral("file:///usr/bin/files"));
    file.add(QStringLiteral("Mail"), QStringLiteral("⌘ + E"), QStringLiteral("file:///usr/bin/mail"));
    file.add(QStringLiteral("Taken"), QStringLiteral("⌃ + H"), QStringLiteral("file:///usr/bin/taken"));
    file.add(QStringLiteral("New Button"), QStringLiteral("⌘5"));
    return file.bytes();
}

class EditorRenderingTest : public ::testing::TestWithParam<const char *> {
protected:
    EditorRenderingTest() : m_style(QStyleFactory::create(QStringLiteral("Fusion")))
    {
        m_previousPalette = QApplication::palette();
        const QString name = QString::fromLatin1(GetParam());
        QApplication::setPalette(name == QLatin1String("light")  ? m_style->standardPalette()
                                 : name == QLatin1String("dark") ? darkPalette()
                                                                 : highContrastPalette());
        testManager.shortcuts().answerWith(Qt::ControlModifier | Qt::Key_H,
                                           {ShortcutState::Kind::TakenElsewhere, {},
                                            QStringLiteral("held by a program with a rather long name that wraps")});
        testManager.manager().registerAllShortcuts();
        view.resize(260, 360);
        view.show();
        QCoreApplication::processEvents(); // the widgets take the palette that follows
    }
    ~EditorRenderingTest() override { QApplication::setPalette(m_previousPalette); }

    QRect inView(const QRect &inList) const { return {view.list().viewport()->mapTo(&view, inList.topLeft()), inList.size()}; }
    static QRect inWindow(const QWidget *widget) { return {widget->mapTo(widget->window(), QPoint()), widget->size()}; }

    std::unique_ptr<QStyle> m_style;
    QPalette m_previousPalette;
    TestManager testManager{buttons()};
    ShortcutsEditorView view{testManager.manager()};
};

// WCAG asks 3:1 of graphics that carry meaning.
TEST_P(EditorRenderingTest, EverySymbolStandsOutFromItsBackgroundByAtLeastThreeToOne)
{
    const QImage editor = view.grab().toImage();
    EXPECT_GE(symbolContrast(editor, inView(view.list().areaRect(0, LaunchButtonDelegate::Area::edit))), 3.0) << "pencil";
    EXPECT_GE(symbolContrast(editor, inView(view.list().areaRect(0, LaunchButtonDelegate::Area::remove))), 3.0) << "trash";
    EXPECT_GE(symbolContrast(editor, inView(view.list().hotkeyStateRect(0))), 3.0) << "hotkey state";
    EXPECT_GE(symbolContrast(editor, inView(view.list().hotkeyStateRect(3))), 3.0) << "hotkey problem";
    for (const char *name : {"configurationButton", "addButton"})
        EXPECT_GE(symbolContrast(editor, inWindow(view.findChild<QWidget *>(QLatin1String(name)))), 3.0) << name;

    ConfigurationView configuration(testManager.manager());
    configuration.show();
    const QImage configurationGrab = configuration.grab().toImage();
    EXPECT_GE(symbolContrast(configurationGrab, inWindow(configuration.findChild<QWidget *>("refreshButton"))), 3.0)
        << "refresh";

    view.startEdit(view.model().buttons().at(0));
    ASSERT_NE(view.editForm(), nullptr);
    const QImage form = view.editForm()->grab().toImage();
    auto *clear = view.editForm()->findChild<QWidget *>(QStringLiteral("clearShortcutButton"));
    ASSERT_TRUE(clear->isVisible());
    EXPECT_GE(symbolContrast(form, inWindow(clear)), 3.0) << "clear shortcut";
    view.editForm()->close();
}

// The keyboard's row is marked in every palette: a ring around the current
// row while the list has the focus, nothing around the others.
TEST_P(EditorRenderingTest, TheCurrentRowIsRingedWhileTheListHasTheFocus)
{
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.list().setFocus(Qt::TabFocusReason);
    view.list().setCurrentIndex(view.model().index(1));
    ASSERT_TRUE(view.list().hasFocus());
    const QImage editor = view.grab().toImage();
    // The left side of each row, where the ring runs down beside the name.
    const auto leftSide = [this](int row) {
        const QRect name = view.list().areaRect(row, LaunchButtonDelegate::Area::name);
        return inView(QRect(name.left() - 9, name.top(), 8, name.height()));
    };
    EXPECT_GE(symbolContrast(editor, leftSide(1)), 3.0) << "the current row";
    EXPECT_LT(symbolContrast(editor, leftSide(0)), 1.2) << "another row";
    EXPECT_LT(symbolContrast(editor, leftSide(2)), 1.2) << "another row";
}

// With each warning under it, the shortcut field keeps its height and the
// warning shows whole, at the form's first width and at its narrowest.
TEST_P(EditorRenderingTest, TheShortcutFieldKeepsItsHeightAndEveryWarningShowsWhole)
{
    for (int row = 1; row < view.model().rowCount(); ++row) {
        view.startEdit(view.model().buttons().at(row));
        EditButtonView *form = view.editForm();
        ASSERT_NE(form, nullptr);
        auto *warning = form->findChild<QLabel *>(QStringLiteral("shortcutWarning"));
        // A desktop's larger font arrives once the form is up, as a theme's does.
        QFont larger = form->font();
        larger.setPointSizeF(larger.pointSizeF() * 1.3);
        form->setFont(larger);
        for (const int width : {EditButtonView::formWidth, form->minimumSizeHint().width()}) {
            SCOPED_TRACE(view.model().buttons().at(row).name.toStdString() + " at width " + std::to_string(width));
            form->resize(width, form->height());
            QCoreApplication::sendPostedEvents(); // the relayout the event loop would do
            form->grab(); // paints as on screen
            ASSERT_TRUE(warning->isVisible()) << "each of these buttons has something in its way";
            for (const char *name : {"shortcutField", "nameField", "appPathField", "launchModeField"}) {
                auto *field = form->findChild<QWidget *>(QLatin1String(name));
                EXPECT_GE(field->height(), field->sizeHint().height()) << name;
            }
            EXPECT_GE(warning->height(), warning->heightForWidth(warning->width())) << warning->text().toStdString();
            EXPECT_TRUE(form->rect().contains(QRect(warning->mapTo(form, QPoint()), warning->size())));
            auto *save = form->findChild<QWidget *>(QStringLiteral("saveButton"));
            EXPECT_GE(save->mapTo(form, QPoint()).y(), warning->mapTo(form, QPoint()).y() + warning->height());
        }
        form->close();
        ASSERT_TRUE(QTest::qWaitFor([this] { return view.editForm() == nullptr; }, 2000));
    }
}

INSTANTIATE_TEST_SUITE_P(Palettes, EditorRenderingTest, ::testing::Values("light", "dark", "highContrast"),
                         [](const auto &info) { return std::string(info.param); });
} // namespace
