#pragma once

#include <QStringView>

#include <optional>

// The hardware key code (ANSI virtual key code) of a shortcut's key text:
// letters and digits in either case, the named keys "F1"–"F12", "Space",
// "Return", "Tab", "Escape", "Left", "Right", "Up", "Down", "Plus" (matched
// case-insensitively), the control characters of Return, Tab and Escape, and
// the punctuation keys of the US layout with what Shift types on them there
// ("!" is the 1 key). Nothing for any other text, so an unknown key is never
// registered on some other key.
std::optional<quint32> keyCode(QStringView key);
