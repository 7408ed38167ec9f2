#include "ui/EditButtonView.h"

#include "model/KeyboardShortcut.h"
#include "ui/ApplicationFileFilter.h"
#include "ui/ShortcutPicker.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QString initialTargetText(const std::optional<QString> &appURLString)
{
    if (!appURLString)
        return {};
    const QUrl url(*appURLString);
    return url.isValid() ? url.toString(QUrl::FullyEncoded) : QString();
}

// A field's label, which also names the field for assistive technology.
QLabel *secondaryLabel(const QString &text, QWidget *field, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setBuddy(field);
    // Screen readers find a buddy only among the label's siblings; some
    // fields sit one level down, beside their buttons.
    field->setAccessibleName(text);
    return label;
}

QVBoxLayout *fieldRow(QLabel *label, QWidget *field)
{
    auto *row = new QVBoxLayout;
    row->setSpacing(8);
    row->addWidget(label);
    row->addWidget(field);
    return row;
}
} // namespace

const QString EditButtonView::applicationsFolder = QStringLiteral("/usr/share/applications");

EditButtonView::EditButtonView(const LaunchButton &button, OnSave onSave, QWidget *parent)
    : QDialog(parent), m_button(button), m_onSave(std::move(onSave)), m_name(new QLineEdit(this)),
      m_shortcut(new ShortcutPicker(this)), m_shortcutWarning(new QLabel(this)), m_appPath(new QLineEdit(this)),
      m_launchChoice(new QWidget(this)), m_launchMode(new QComboBox(this)), m_bringToFrontNote(new QLabel(this))
{
    setWindowTitle(tr("Edit Button"));
    setSizeGripEnabled(true);

    m_name->setObjectName(QStringLiteral("nameField"));
    m_name->setPlaceholderText(tr("Button Name"));
    m_name->setText(button.name);
    m_shortcut->setShortcut(parseShortcutText(button.shortcut));
    m_shortcutWarning->setObjectName(QStringLiteral("shortcutWarning"));
    m_shortcutWarning->setTextFormat(Qt::PlainText);
    m_shortcutWarning->setWordWrap(true);
    m_shortcutWarning->setForegroundRole(QPalette::PlaceholderText);
    m_shortcutWarning->hide();
    connect(m_shortcut, &ShortcutPicker::shortcutChanged, this, [this](const KeyboardShortcut &shortcut) {
        showShortcutCheck(shortcut.displayString());
    });
    connect(m_shortcut, &ShortcutPicker::refused, this, &EditButtonView::showWarning);
    connect(m_shortcut, &ShortcutPicker::recordingChanged, this, [this](bool recording) {
        if (!recording)
            showShortcutCheck(m_shortcut->shortcut().displayString()); // a refusal is over
    });
    m_appPath->setObjectName(QStringLiteral("appPathField"));
    m_appPath->setPlaceholderText(tr("Path or URL"));
    m_appPath->setText(initialTargetText(button.appURLString));
    connect(m_appPath, &QLineEdit::textChanged, this, &EditButtonView::showLaunchChoice);

    m_launchMode->setObjectName(QStringLiteral("launchModeField"));
    m_launchMode->addItem(tr("Bring to front if running"), int(LaunchMode::bringToFront));
    m_launchMode->addItem(tr("Always start a new copy"), int(LaunchMode::alwaysNewCopy));
    m_bringToFrontNote->setObjectName(QStringLiteral("bringToFrontNote"));
    m_bringToFrontNote->setText(tr("Bring to front works on X11 only: here a new copy starts"));
    m_bringToFrontNote->setWordWrap(true);
    m_bringToFrontNote->setForegroundRole(QPalette::PlaceholderText);
    m_bringToFrontNote->hide();
    QVBoxLayout *launchRow =
        fieldRow(secondaryLabel(tr("When the application is running"), m_launchMode, m_launchChoice), m_launchMode);
    launchRow->addWidget(m_bringToFrontNote);
    launchRow->setContentsMargins(0, 0, 0, 0);
    m_launchChoice->setLayout(launchRow);

    auto *browseButton = new QPushButton(tr("Browse"), this);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, &EditButtonView::browse);

    auto *cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setAutoDefault(false);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *saveButton = new QPushButton(tr("Save"), this);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    saveButton->setDefault(true);
    connect(saveButton, &QPushButton::clicked, this, &EditButtonView::save);

    auto *targetRow = new QHBoxLayout;
    targetRow->addWidget(m_appPath);
    targetRow->addWidget(browseButton);
    auto *target = new QWidget(this);
    target->setLayout(targetRow);
    targetRow->setContentsMargins(0, 0, 0, 0);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(cancelButton);
    buttonRow->addWidget(saveButton);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(16);
    layout->addLayout(fieldRow(secondaryLabel(tr("Name"), m_name, this), m_name));
    QVBoxLayout *shortcutRow = fieldRow(secondaryLabel(tr("Shortcut"), m_shortcut->field(), this), m_shortcut);
    shortcutRow->addWidget(m_shortcutWarning);
    layout->addLayout(shortcutRow);
    layout->addLayout(fieldRow(secondaryLabel(tr("Application or URL"), m_appPath, this), target));
    layout->addWidget(m_launchChoice);
    layout->addStretch(); // a taller form keeps its fields together
    layout->addLayout(buttonRow);

    // Keyboard order follows the reading order.
    setTabOrder(m_name, m_shortcut->field());
    setTabOrder(m_shortcut->field(), m_shortcut->clearButton());
    setTabOrder(m_shortcut->clearButton(), m_appPath);
    setTabOrder(m_appPath, browseButton);
    setTabOrder(browseButton, m_launchMode);
    setTabOrder(m_launchMode, cancelButton);
    setTabOrder(cancelButton, saveButton);
    m_shortcutWarning->setAccessibleName(tr("Shortcut warning"));

    resize(formWidth, 0);
    showLaunchChoice();
}

std::optional<QUrl> EditButtonView::targetURL(const QString &appPath)
{
    const bool isURL = appPath.startsWith(QLatin1String("http://")) || appPath.startsWith(QLatin1String("https://"))
        || appPath.startsWith(QLatin1String("file://"));
    // An absolute path is taken whole, so "#", "?" and "%" in a file name
    // stay part of it instead of starting a fragment, a query or an escape.
    // Only extra leading slashes go: Linux reads them as one, and
    // QUrl::fromLocalFile would take "//name/…" for a host.
    if (!isURL && appPath.startsWith(u'/')) {
        qsizetype extraSlashes = 0;
        while (extraSlashes + 1 < appPath.size() && appPath.at(extraSlashes + 1) == u'/')
            ++extraSlashes;
        return QUrl::fromLocalFile(appPath.mid(extraSlashes));
    }
    const QString text = isURL ? appPath : QStringLiteral("file://") + appPath;
    // Tolerant parsing percent-encodes what a URL may not hold, such as spaces.
    const QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

void EditButtonView::setShortcutCheck(CheckShortcut check)
{
    m_checkShortcut = std::move(check);
    showShortcutCheck(m_shortcut->shortcut().displayString());
}

void EditButtonView::showShortcutCheck(const QString &shortcut)
{
    showWarning(m_checkShortcut && !shortcut.isEmpty() ? m_checkShortcut(shortcut) : QString());
}

void EditButtonView::showWarning(const QString &warning)
{
    m_shortcutWarning->setText(warning);
    m_shortcutWarning->setVisible(!warning.isEmpty());
    // Read out by screen readers as the field's description.
    m_shortcut->field()->setAccessibleDescription(warning);
    fitHeight();
}

void EditButtonView::setLaunchChoice(LaunchMode mode, bool bringToFrontWorks)
{
    m_launchMode->setCurrentIndex(m_launchMode->findData(int(mode)));
    m_bringToFrontNote->setVisible(!bringToFrontWorks);
    fitHeight();
}

void EditButtonView::showLaunchChoice()
{
    const QString text = m_appPath->text().trimmed();
    const bool web = text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://"));
    m_launchChoice->setVisible(!web);
    fitHeight();
}

void EditButtonView::fitHeight()
{
    // Wrapped warnings need more height the narrower the form is: the
    // form never gets less than its content needs at its width, and grows
    // when a warning appears.
    layout()->activate();
    const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width())
                                                     : layout()->totalMinimumSize().height();
    setMinimumHeight(std::max(needed, layout()->totalMinimumSize().height()));
    if (height() < minimumHeight())
        resize(width(), minimumHeight());
}

bool EditButtonView::event(QEvent *event)
{
    const bool handled = QDialog::event(event);
    // The style and fonts a window gets when shown, and every change of
    // what it shows, change what it needs.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show)
        fitHeight();
    return handled;
}

void EditButtonView::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        fitHeight();
}

void EditButtonView::save()
{
    const std::optional<QUrl> target = targetURL(m_appPath->text());
    if (m_onSave)
        m_onSave(m_name->text(), m_shortcut->shortcut().displayString(), target,
                 LaunchMode(m_launchMode->currentData().toInt()));
    accept();
}

void EditButtonView::browse()
{
    auto *chooser = new QFileDialog(this, tr("Choose Application"), applicationsFolder);
    chooser->setObjectName(QStringLiteral("applicationChooser"));
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    // Qt's own dialog: the platform ones cannot take our filter.
    chooser->setOption(QFileDialog::DontUseNativeDialog);
    chooser->setFileMode(QFileDialog::ExistingFile);
    chooser->setNameFilter(tr("Applications (*)"));
    chooser->setProxyModel(new ApplicationFileFilter(chooser));
    connect(chooser, &QFileDialog::fileSelected, this, [this](const QString &path) {
        if (!path.isEmpty())
            m_appPath->setText(path);
    });
    chooser->open();
}
