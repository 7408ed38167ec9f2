#include "ui/ShortcutPicker.h"

#include "ui/Icons.h"
#include "ui/KeyMonitor.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

ShortcutPicker::ShortcutPicker(QWidget *parent)
    : QWidget(parent), m_field(new QLineEdit(this)), m_clearButton(new QToolButton(this)),
      m_keyMonitor(new KeyMonitor(this))
{
    m_field->setObjectName(QStringLiteral("shortcutField"));
    m_field->setReadOnly(true); // the text always follows the recorded shortcut
    m_field->setMinimumWidth(fieldWidth);
    m_field->setFocusPolicy(Qt::StrongFocus);
    m_field->installEventFilter(this);
    setFocusProxy(m_field);

    m_clearButton->setObjectName(QStringLiteral("clearShortcutButton"));
    m_clearButton->setIcon(Icons::symbolic(QStringLiteral("edit-clear-symbolic"), QStringLiteral("xmark.circle.fill")));
    m_clearButton->setAutoRaise(true);
    m_clearButton->setFocusPolicy(Qt::TabFocus);
    m_clearButton->setToolTip(tr("Clear"));
    m_clearButton->setAccessibleName(tr("Clear shortcut"));
    connect(m_clearButton, &QToolButton::clicked, this, &ShortcutPicker::clearShortcut);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_clearButton);

    m_keyMonitor->onKeyDown = [this](QKeyCombination combination) { recorded(combination); };
    m_keyMonitor->onRefused = [this](QKeyCombination combination) {
        Q_EMIT refused(refusalReason(KeyboardShortcut::fromKeyCombination(combination)));
    };
    m_keyMonitor->onClear = [this] {
        stopRecording();
        clearShortcut();
    };
    m_keyMonitor->onCancel = [this] { stopRecording(); };

    setShortcut({});
}

QString ShortcutPicker::refusalReason(const KeyboardShortcut &refused)
{
    return tr("%1 alone would take that key from every program you type in: hold Super, Control or Alt with it")
        .arg(refused.displayString());
}

void ShortcutPicker::setShortcut(const KeyboardShortcut &shortcut)
{
    m_shortcut = shortcut;
    showShortcut();
    Q_EMIT shortcutChanged(m_shortcut);
}

void ShortcutPicker::clearShortcut()
{
    setShortcut({});
}

void ShortcutPicker::showShortcut()
{
    const bool recording = isRecording();
    // While it records the field is empty and says so; the old shortcut
    // comes back when the recording ends without a new one.
    m_field->setText(recording ? QString() : m_shortcut.displayString());
    m_field->setPlaceholderText(recording ? tr("Press the keys… (Esc cancels)") : tr("Type shortcut"));
    m_field->setProperty("recording", recording);
    m_field->setAccessibleDescription(recording ? tr("Recording: press the combination, Escape cancels, "
                                                     "Backspace clears")
                                                : tr("Press Space to record a new shortcut"));
    // Tinted with the highlight colour while it records, in any theme.
    if (recording) {
        QPalette tinted = palette();
        const QColor base = tinted.color(QPalette::Base), highlight = tinted.color(QPalette::Highlight);
        const auto mix = [](int a, int b) { return (a * 4 + b) / 5; };
        tinted.setColor(QPalette::Base, QColor(mix(base.red(), highlight.red()), mix(base.green(), highlight.green()),
                                               mix(base.blue(), highlight.blue())));
        m_field->setPalette(tinted);
    } else {
        m_field->setPalette(QPalette()); // the form's own again
    }
    m_clearButton->setVisible(!m_shortcut.key.isEmpty() && !recording);
}

void ShortcutPicker::startRecording()
{
    if (isRecording())
        return;
    m_keyMonitor->startMonitoring();
    showShortcut();
    Q_EMIT recordingChanged(true);
}

void ShortcutPicker::stopRecording()
{
    if (!isRecording())
        return;
    m_keyMonitor->stopMonitoring();
    showShortcut();
    Q_EMIT recordingChanged(false);
}

bool ShortcutPicker::isRecording() const
{
    return m_keyMonitor->isMonitoring();
}

void ShortcutPicker::recorded(QKeyCombination combination)
{
    // One press per recording: the focus stays, so Tab moves on from here.
    m_keyMonitor->stopMonitoring();
    setShortcut(KeyboardShortcut::fromKeyCombination(combination));
    Q_EMIT recordingChanged(false);
}

bool ShortcutPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field) {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::MouseButtonPress:
            startRecording();
            break;
        case QEvent::FocusOut:
            stopRecording();
            break;
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent *>(event)->keyCombination() == QKeyCombination(Qt::Key_Space)) {
                startRecording();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
