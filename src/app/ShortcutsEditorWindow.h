#pragma once

#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>

// The "Shortcuts Editor" window: above normal windows, without a taskbar
// entry of its own. It opens at 260 × 360 the first time, can be resized
// (to show more rows and longer names) and opens at the size it was left
// at, kept in the program's settings. It has no maximize button. Closing it
// only hides it.
class ShortcutsEditorWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize contentSize{260, 360};
    static constexpr QSize minimumContentSize{260, 200};
    static const QString sizeKey;

    ShortcutsEditorWindow();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void saveSize();

    QTimer m_saveLater;
};
