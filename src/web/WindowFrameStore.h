#pragma once

#include <QRect>
#include <QString>

// The web window's frame in the program's settings, under one key.
class WindowFrameStore {
public:
    static const QString settingsKey;
    static const QRect defaultContentRect;

    struct Placement {
        QRect rect;
        // True for a frame read back from the settings: an outer frame, title
        // bar included. False for the default, which is a content rectangle.
        bool isSavedFrame = false;
        bool centred = false;
    };

    // Logs which rectangle it chose. Only a missing value gives a centred
    // default; an unreadable one gives the default where it stands.
    Placement load() const;
    void save(const QRect &frame) const;
};
