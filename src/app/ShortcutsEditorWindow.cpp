#include "app/ShortcutsEditorWindow.h"

#include "app/WindowPlacement.h"

#include <QSettings>

const QString ShortcutsEditorWindow::sizeKey = QStringLiteral("shortcutsEditorSize");

namespace {
// A remembered size, when there is a usable one.
QSize rememberedSize()
{
    const QSize size = QSettings().value(ShortcutsEditorWindow::sizeKey).toSize();
    return size.isValid() ? size.expandedTo(ShortcutsEditorWindow::minimumContentSize)
                          : ShortcutsEditorWindow::contentSize;
}
} // namespace

ShortcutsEditorWindow::ShortcutsEditorWindow()
    // A tool window floats with the program and stays out of the taskbar.
    // The title bar's buttons are named, so that none is offered that would
    // do nothing here (maximize a small tool window).
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint)
{
    setWindowTitle(tr("Shortcuts Editor"));
    setMinimumSize(minimumContentSize);
    resize(rememberedSize());
    WindowPlacement::centreOnScreen(*this);
    // A drag resizes many times a second: the size is written once it settles.
    m_saveLater.setSingleShot(true);
    m_saveLater.setInterval(400);
    connect(&m_saveLater, &QTimer::timeout, this, &ShortcutsEditorWindow::saveSize);
}

void ShortcutsEditorWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (isVisible())
        m_saveLater.start();
}

void ShortcutsEditorWindow::saveSize()
{
    QSettings settings;
    settings.setValue(sizeKey, size());
}
