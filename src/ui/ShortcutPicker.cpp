#include "ShortcutPicker.h"

#include "Icons.h"
#include "KeyMonitor.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

ShortcutPicker::ShortcutPicker(QWidget *parent)
    : QWidget(parent), m_field(new QLineEdit(this)), m_clearButton(new QToolButton(this)),
      m_keyMonitor(new KeyMonitor(this))
{
    m_field->setObjectName(QStringLiteral("shortcutField"));
    m_field->setPlaceholderText(tr("Type shortcut"));
    m_field->setReadOnly(true); // the text always follows the recorded shortcut
    m_field->setFixedWidth(fieldWidth);
    m_field->setFocusPolicy(Qt::StrongFocus);
    m_field->installEventFilter(this);

    m_clearButton->setObjectName(QStringLiteral("clearShortcutButton"));
    m_clearButton->setIcon(Icons::themed(QStringLiteral("edit-clear-symbolic"), QStringLiteral("xmark.circle.fill")));
    m_clearButton->setAutoRaise(true);
    m_clearButton->setFocusPolicy(Qt::NoFocus); // clearing leaves the focus where it is
    m_clearButton->setToolTip(tr("Clear"));
    connect(m_clearButton, &QToolButton::clicked, this, &ShortcutPicker::clearShortcut);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_field);
    layout->addWidget(m_clearButton);
    layout->addStretch();

    m_keyMonitor->onKeyDown = [this](QKeyCombination combination) { recorded(combination); };
    m_keyMonitor->onClear = [this] { clearShortcut(); };

    setShortcut({});
}

void ShortcutPicker::setShortcut(const KeyboardShortcut &shortcut)
{
    m_shortcut = shortcut;
    m_field->setText(shortcut.displayString());
    m_clearButton->setVisible(!shortcut.key.isEmpty());
    emit shortcutChanged(m_shortcut);
}

void ShortcutPicker::clearShortcut()
{
    setShortcut({});
}

bool ShortcutPicker::isRecording() const
{
    return m_keyMonitor->isMonitoring();
}

void ShortcutPicker::recorded(QKeyCombination combination)
{
    setShortcut(KeyboardShortcut::fromKeyCombination(combination));
    m_field->clearFocus(); // one press per recording
}

bool ShortcutPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field) {
        if (event->type() == QEvent::FocusIn)
            m_keyMonitor->startMonitoring();
        else if (event->type() == QEvent::FocusOut)
            m_keyMonitor->stopMonitoring();
    }
    return QWidget::eventFilter(watched, event);
}
