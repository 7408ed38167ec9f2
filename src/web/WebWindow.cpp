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
    m_centrePending = false;
    move(frame.topLeft());
    resize(frame.size());
    fitToDecorations();
}

void WebWindow::placeContent(const QRect &content)
{
    m_pendingFrame.reset();
    m_centrePending = false;
    move(content.topLeft());
    resize(content.size());
}

void WebWindow::centreOnScreen()
{
    m_centrePending = true;
    moveToCentre();
    fitToDecorations();
}

void WebWindow::moveToCentre()
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
        fitToDecorations();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        fitToDecorations();
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

void WebWindow::fitToDecorations()
{
    if ((!m_pendingFrame && !m_centrePending) || !isVisible() || !windowHandle())
        return;
    const QMargins margins = windowHandle()->frameMargins();
    if (margins.isNull())
        return;
    if (m_pendingFrame) {
        const QRect frame = *m_pendingFrame;
        m_pendingFrame.reset();
        setGeometry(frame.marginsRemoved(margins));
    }
    if (m_centrePending) {
        m_centrePending = false;
        moveToCentre();
    }
}
