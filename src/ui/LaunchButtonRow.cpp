#include "LaunchButtonRow.h"

#include "Icons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int smallPointSize = 9; // about 12 pixels at 96 dpi

QToolButton *iconButton(const QIcon &icon, const QString &objectName, const QString &toolTip, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setIcon(icon);
    button->setIconSize(QSize(14, 14));
    button->setAutoRaise(true);
    button->setToolTip(toolTip);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}
} // namespace

LaunchButtonRow::LaunchButtonRow(const LaunchButton &button, QStyle *launchStyle, QWidget *parent)
    : QWidget(parent), m_button(button)
{
    auto *name = new QPushButton(button.name, this);
    name->setObjectName(QStringLiteral("nameButton"));
    name->setStyle(launchStyle);
    name->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    name->setCursor(Qt::PointingHandCursor);
    name->setToolTip(tr("Launch"));
    connect(name, &QPushButton::clicked, this, [this] { emit launchRequested(m_button); });

    auto *shortcut = new QLabel(button.shortcut, this);
    shortcut->setObjectName(QStringLiteral("shortcutLabel"));
    shortcut->setTextFormat(Qt::PlainText);
    shortcut->setForegroundRole(QPalette::PlaceholderText);
    QFont small = shortcut->font();
    small.setPointSize(smallPointSize);
    shortcut->setFont(small);

    auto *edit = iconButton(Icons::themed(QStringLiteral("document-edit-symbolic"), QStringLiteral("pencil")),
                            QStringLiteral("editButton"), tr("Edit"), this);
    connect(edit, &QToolButton::clicked, this, [this] { emit editRequested(m_button); });
    auto *remove = iconButton(Icons::themed(QStringLiteral("user-trash-symbolic"), QStringLiteral("trash")),
                              QStringLiteral("deleteButton"), tr("Delete"), this);
    connect(remove, &QToolButton::clicked, this, [this] { emit deleteRequested(m_button); });

    auto *details = new QHBoxLayout;
    details->setSpacing(8);
    details->addWidget(shortcut);
    details->addStretch();
    details->addWidget(edit);
    details->addWidget(remove);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->setSpacing(4);
    layout->addWidget(name);
    layout->addLayout(details);
}
