#pragma once

#include "model/LaunchButton.h"

#include <QString>

#include <functional>
#include <optional>
#include <variant>

// The button file on disk. Saving never leaves a truncated file: it writes a
// temporary file beside the target, flushes it to disk, renames it over the
// target and flushes the directory, so that a power cut finds the old file
// or the whole new one; a symbolic link is written through and stays a link. A file
// that could not be read is kept under another name before the first save
// replaces it.
class ButtonFile {
public:
    // Larger files are not read: nobody keeps that many buttons, and reading
    // one would take the program's memory and time for nothing.
    static constexpr qint64 sizeLimit = 16 * 1024 * 1024;

    struct SaveResult {
        std::optional<QString> error;         // why nothing was written
        std::optional<QString> movedAsideTo;  // where an unreadable file went
        std::optional<QString> keptChangeAs;  // where a version written by someone else went
    };

    // Puts what was written to a file or directory on the disk, as fsync(2)
    // does (the default); a test passes its own to see when it is called.
    using SyncToDisk = std::function<int(int descriptor)>;

    explicit ButtonFile(QString path, SyncToDisk syncToDisk = {});

    QString path() const { return m_path; }

    // Anything at the path counts: a file, a directory, a dangling link.
    bool exists() const;

    // The buttons, or why the file could not be read.
    std::variant<LaunchButtonList, QString> load();
    // As load(), but nothing when the file holds what this object last read
    // or wrote: its own saves never come back as a change.
    std::optional<std::variant<LaunchButtonList, QString>> loadIfChanged();

    SaveResult save(const LaunchButtonList &buttons);

private:
    // What is at the path (links followed), cheap to compare: a file replaced
    // by a rename or written in place looks different.
    struct Identity {
        bool present = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        friend bool operator==(const Identity &, const Identity &) = default;
    };

    Identity identity() const;
    std::variant<QByteArray, QString> readBytes();
    std::variant<LaunchButtonList, QString> decode(const std::variant<QByteArray, QString> &read);
    void remember(const QByteArray &bytes);
    QString resolvedPath() const;
    bool changedSinceSeen() const;
    std::optional<QString> keepAside(const QString &why, QString *newPath);
    std::optional<QString> writeAtomically(const QByteArray &bytes);

    void syncDirectoryOf(const QString &file) const;

    QString m_path;
    SyncToDisk m_syncToDisk;
    bool m_unreadableOnDisk = false;
    // Set once the unreadable file has a copy under another name, so that a
    // failing save does not make a second one.
    bool m_unreadableKept = false;
    Identity m_seenIdentity;
    std::optional<size_t> m_seenDigest;
};
