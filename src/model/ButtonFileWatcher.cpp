#include "model/ButtonFileWatcher.h"

#include <QFileInfo>
#include <QSet>

ButtonFileWatcher::ButtonFileWatcher(QString path, QObject *parent) : QObject(parent), m_path(std::move(path))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        watchCurrentPaths();
        Q_EMIT changed();
    });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &ButtonFileWatcher::eventSeen);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &ButtonFileWatcher::eventSeen);
    watchCurrentPaths();
}

void ButtonFileWatcher::eventSeen()
{
    // A file replaced by a rename drops out of the watch; watch the new one
    // at once so that a write right after it is not missed.
    watchCurrentPaths();
    m_settle.start();
}

// The file and its folder, then each link target along the way and its
// folder: a save by rename shows only in the folder.
void ButtonFileWatcher::watchCurrentPaths()
{
    QSet<QString> wanted;
    QFileInfo info(m_path);
    for (int depth = 0; depth < 40; ++depth) {
        wanted.insert(info.absolutePath());
        if (info.exists())
            wanted.insert(info.absoluteFilePath());
        if (!info.isSymLink())
            break;
        info.setFile(info.symLinkTarget());
    }
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    QStringList gone;
    for (const QString &path : watched) {
        if (!wanted.remove(path))
            gone.append(path);
    }
    if (!gone.isEmpty())
        m_watcher.removePaths(gone);
    if (!wanted.isEmpty())
        m_watcher.addPaths(wanted.values());
}
