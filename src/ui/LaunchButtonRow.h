#pragma once

#include "LaunchButton.h"

#include <QWidget>

class QStyle;

// One row of the editor's list: the name as a launch button, and below it
// the stored shortcut text with the edit and delete buttons.
class LaunchButtonRow : public QWidget {
    Q_OBJECT

public:
    LaunchButtonRow(const LaunchButton &button, QStyle *launchStyle, QWidget *parent = nullptr);

    const LaunchButton &button() const { return m_button; }

signals:
    void launchRequested(const LaunchButton &button);
    void editRequested(const LaunchButton &button);
    void deleteRequested(const LaunchButton &button);

private:
    LaunchButton m_button;
};
