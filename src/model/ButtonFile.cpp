#include "ButtonFile.h"

#include "ButtonCodec.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

ButtonFile::ButtonFile(QString path) : m_path(std::move(path)) {}

bool ButtonFile::exists() const
{
    const QFileInfo info(m_path);
    return info.exists() || info.isSymLink();
}

std::variant<LaunchButtonList, QString> ButtonFile::load()
{
    QFile file(m_path);
    if (QFileInfo(m_path).isDir()) {
        m_unreadableOnDisk = false; // a directory is never moved or replaced
        return QStringLiteral("%1 is a directory").arg(m_path);
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_unreadableOnDisk = true;
        return QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString());
    }
    auto decoded = ButtonCodec::decode(file.readAll());
    m_unreadableOnDisk = std::holds_alternative<QString>(decoded);
    return decoded;
}

ButtonFile::SaveResult ButtonFile::save(const LaunchButtonList &buttons)
{
    SaveResult result;
    if (m_unreadableOnDisk) {
        QString newPath;
        if (auto error = moveUnreadableAside(&newPath)) {
            result.error = *error;
            return result;
        }
        m_unreadableOnDisk = false;
        if (!newPath.isEmpty())
            result.movedAsideTo = newPath;
    }

    // QSaveFile writes a temporary file in the target's directory, syncs it
    // and renames it over the target; it follows a symbolic link to its target.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return result;
    }
    const QByteArray bytes = ButtonCodec::encode(buttons);
    if (file.write(bytes) != bytes.size() || !file.commit())
        result.error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
    return result;
}

QString ButtonFile::resolvedPath() const
{
    QFileInfo info(m_path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.absoluteFilePath();
}

std::optional<QString> ButtonFile::moveUnreadableAside(QString *newPath)
{
    const QString target = resolvedPath();
    if (!QFileInfo::exists(target))
        return std::nullopt; // gone meanwhile: nothing to keep
    const QString stem = target + QStringLiteral(".unreadable-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = stem;
    for (int n = 2; QFileInfo(candidate).exists() || QFileInfo(candidate).isSymLink(); ++n)
        candidate = stem + QStringLiteral("-%1").arg(n);
    if (!QFile::rename(target, candidate))
        return QStringLiteral("cannot move the unreadable file %1 aside, so it is kept and not replaced").arg(target);
    *newPath = candidate;
    return std::nullopt;
}
