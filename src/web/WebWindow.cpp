#include "web/WebWindow.h"

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
    m_knownFrame = frame;
    move(frame.topLeft());
    resize(frame.size());
    fitToDecorations();
}

void WebWindow::placeContent(const QRect &content)
{
    m_pendingFrame.reset();
    m_centrePending = false;
    m_knownFrame.reset();
    move(content.topLeft());
    resize(content.size());
}

void WebWindow::centreOnScreen()
{
    m_centrePending = true;
    m_knownFrame.reset();
    moveToCentre();
    fitToDecorations();
}

QRect WebWindow::moveToCentre()
{
    const QScreen *target = screen() ? screen() : QGuiApplication::primaryScreen();
    QRect frame = frameGeometry();
    if (!target)
        return frame;
    frame.moveCenter(target->availableGeometry().center());
    move(frame.topLeft());
    return frame;
}

bool WebWindow::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
        // The corrections of the window's own placement are not changes.
        if (!fitToDecorations())
            reportFrame();
        break;
    default:
        break;
    }
    return handled;
}

void WebWindow::closeEvent(QCloseEvent *event)
{
    Q_EMIT closing();
    QWidget::closeEvent(event);
}

bool WebWindow::fitToDecorations()
{
    if ((!m_pendingFrame && !m_centrePending) || !isVisible() || !windowHandle())
        return false;
    const QMargins margins = windowHandle()->frameMargins();
    if (margins.isNull())
        return false;
    if (m_pendingFrame) {
        const QRect frame = *m_pendingFrame;
        m_pendingFrame.reset();
        m_knownFrame = frame;
        setGeometry(frame.marginsRemoved(margins));
    }
    if (m_centrePending) {
        m_centrePending = false;
        m_knownFrame = moveToCentre();
    }
    return true;
}

void WebWindow::reportFrame()
{
    if (!isVisible())
        return;
    const QRect frame = frameGeometry();
    if (m_knownFrame == frame)
        return;
    // The first frame on screen is the one the window was placed at.
    const bool placed = !m_knownFrame;
    m_knownFrame = frame;
    if (!placed)
        Q_EMIT frameChanged();
}
