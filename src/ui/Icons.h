#pragma once

#include <QIcon>
#include <QString>

// The editor's symbols. Theme icons follow the desktop; our own drawings
// (under :/icons/) stand in on a bare system and wherever the colour of a
// symbol carries meaning.
namespace Icons {
// The desktop theme's icon, or the bundled drawing when the theme has none.
QIcon themed(const QString &themeName, const QString &bundledName);
// Always the bundled drawing.
QIcon bundled(const QString &bundledName);
// A one-colour symbol (the theme's, else ours) in the palette's text colour.
QIcon symbolic(const QString &themeName, const QString &bundledName);
} // namespace Icons
