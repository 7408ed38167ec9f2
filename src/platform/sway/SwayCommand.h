#pragma once

#include <QString>

#include <optional>

// The command texts Vantorel sends sway to bind and release its keys.
class SwayCommand {
public:
    // `bindsym --no-warn KEYS exec "PROGRAM --activate 'ID'"`. sway's
    // parser takes the double quotes off and hands the rest, backslashes and
    // all, to `sh -c`; it also replaces its own $variables there. Nothing
    // when program or id holds a character no command line can carry (a
    // line break, a control character).
    static std::optional<QString> bind(const QString &keys, const QString &program, const QString &actionId);
    static QString unbind(const QString &keys);

    // text as one shell word that passes sway's parser unchanged: in single
    // quotes, with the characters sway reads inside double quotes (the
    // double quote, the backslash, the dollar sign) and the single quote
    // itself each outside them, escaped.
    // Plain words ("/usr/bin/vantorel") are left as they are unless always.
    static QString shellWord(const QString &text, bool always = false);
};
