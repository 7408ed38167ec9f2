#pragma once

#include "model/LaunchButton.h"

#include <QByteArray>
#include <QString>

#include <variant>

// The button file's JSON form: a compact UTF-8 array of
// {"id", "name", "shortcut", "appURLString"?} objects, members in that order,
// upper-case ids, no "appURLString" when a button has no target.
class ButtonCodec {
public:
    static QByteArray encode(const LaunchButtonList &buttons);

    // The whole list, or a description of the first problem found. Any member
    // order and unknown members are accepted; nothing is loaded partly.
    static std::variant<LaunchButtonList, QString> decode(const QByteArray &json);
};
