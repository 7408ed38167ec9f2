#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Writes one of Vantorel's own desktop entries (the autostart entry, the
// application entry) so that it starts exactly the given program: a new
// entry in full, an existing one only with its Exec line brought up to
// date, so that whatever the user set in it stays.
class XdgDesktopEntryFile {
public:
    // extraLines: keys of this kind of entry, after the common ones, each
    // ending in '\n'. Returns why the entry could not be written.
    static std::optional<QString> write(const QString &path, const QString &executablePath,
                                        const QByteArray &extraLines = {});
    // The Exec= value that runs exactly this file, quoted and escaped for a
    // desktop entry.
    static QString execValue(const QString &executablePath);
};
