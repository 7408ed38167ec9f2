#include "WebWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWindow>

WebWindow::WebWindow(QWebEngineView *view, Qt::WindowFlags flags)
    : QWidget(nullptr, flags)
    , m_view(view)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
}

void WebWindow::placeFrame(const QRect &frame)
{
    m_pendingFrame = frame;
    move(frame.topLeft());
    resize(frame.size());
    fitPendingFrame();
}

void WebWindow::placeContent(const QRect &content)
{
    m_pendingFrame.reset();
    move(content.topLeft());
    resize(content.size());
}

void WebWindow::centreOnScreen()
{
    const QScreen *target = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!target)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(target->availableGeometry().center());
    move(frame.topLeft());
}

bool WebWindow::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    switch (event->type()) {
    case QEvent::Show:
        fitPendingFrame();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        fitPendingFrame();
        emit frameChanged();
        break;
    default:
        break;
    }
    return handled;
}

void WebWindow::closeEvent(QCloseEvent *event)
{
    emit closing();
    QWidget::closeEvent(event);
}

void WebWindow::fitPendingFrame()
{
    if (!m_pendingFrame || !isVisible() || !windowHandle())
        return;
    const QMargins margins = windowHandle()->frameMargins();
    if (margins.isNull())
        return;
    const QRect frame = *m_pendingFrame;
    m_pendingFrame.reset();
    setGeometry(frame.marginsRemoved(margins));
}
