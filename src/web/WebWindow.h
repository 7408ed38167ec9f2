#pragma once

#include <QRect>
#include <QWidget>

#include <optional>

class QWebEngineView;

// A top-level window around one web view. Reports the moves and resizes
// made on screen (not its own placement, nor being shown again) and its
// closing, and can be placed by its outer frame.
class WebWindow : public QWidget {
    Q_OBJECT
public:
    explicit WebWindow(QWebEngineView *view, Qt::WindowFlags flags = Qt::Window);

    QWebEngineView *view() const { return m_view; }

    // Gives the window exactly this outer frame, title bar included. The
    // decorations are known only once the window is on screen, so the
    // content size is corrected then; centring is redone then too.
    void placeFrame(const QRect &frame);
    void placeContent(const QRect &content);
    void centreOnScreen();

    bool isShowingOnScreen() const { return isVisible() && !isMinimized(); }

Q_SIGNALS:
    void frameChanged();
    void closing();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QRect moveToCentre();
    bool fitToDecorations();
    void reportFrame();

    QWebEngineView *m_view;
    std::optional<QRect> m_pendingFrame;
    bool m_centrePending = false;
    // Where the window was put, or last reported; unknown until on screen.
    std::optional<QRect> m_knownFrame;
};
