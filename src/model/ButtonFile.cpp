#include "model/ButtonFile.h"

#include "model/ButtonCodec.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString megabytes(qint64 bytes)
{
    return QLocale::c().toString(double(bytes) / (1024 * 1024), 'f', 1) + QStringLiteral(" MB");
}
} // namespace

ButtonFile::ButtonFile(QString path, SyncToDisk syncToDisk)
    : m_path(std::move(path)), m_syncToDisk(syncToDisk ? std::move(syncToDisk) : SyncToDisk(::fsync))
{
}

bool ButtonFile::exists() const
{
    const QFileInfo info(m_path);
    return info.exists() || info.isSymLink();
}

std::variant<LaunchButtonList, QString> ButtonFile::load()
{
    return decode(readBytes());
}

std::optional<std::variant<LaunchButtonList, QString>> ButtonFile::loadIfChanged()
{
    if (identity() == m_seenIdentity)
        return std::nullopt;
    const std::optional<size_t> seenDigest = m_seenDigest;
    const std::variant<QByteArray, QString> read = readBytes();
    if (std::holds_alternative<QByteArray>(read) && m_seenDigest == seenDigest)
        return std::nullopt; // touched or rewritten with the same content
    return decode(read);
}

std::variant<LaunchButtonList, QString> ButtonFile::decode(const std::variant<QByteArray, QString> &read)
{
    m_unreadableKept = false;
    if (const auto *error = std::get_if<QString>(&read)) {
        // A directory is never moved aside or replaced.
        m_unreadableOnDisk = !QFileInfo(m_path).isDir();
        return *error;
    }
    auto decoded = ButtonCodec::decode(std::get<QByteArray>(read));
    m_unreadableOnDisk = std::holds_alternative<QString>(decoded);
    return decoded;
}

ButtonFile::Identity ButtonFile::identity() const
{
    struct stat status {};
    if (::stat(QFile::encodeName(m_path).constData(), &status) != 0)
        return {};
    return {true, quint64(status.st_dev), quint64(status.st_ino), qint64(status.st_size),
            qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

void ButtonFile::remember(const QByteArray &bytes)
{
    m_seenIdentity = identity();
    m_seenDigest = qHash(bytes);
}

// Reads the whole file, bounded by the size limit; remembers what it read.
std::variant<QByteArray, QString> ButtonFile::readBytes()
{
    m_seenIdentity = identity();
    m_seenDigest.reset();
    const QFileInfo info(m_path);
    if (info.isDir())
        return QStringLiteral("%1 is a directory").arg(m_path);
    // Opening a pipe or a device could block or never end.
    if (info.exists() && !info.isFile())
        return QStringLiteral("%1 is not a regular file").arg(m_path);
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString());
    if (file.size() > sizeLimit)
        return QStringLiteral("%1 is too large (%2; the limit is %3)")
            .arg(m_path, megabytes(file.size()), megabytes(sizeLimit));
    // Read no more than the limit even if the file grows meanwhile.
    const QByteArray bytes = file.read(std::min(file.size(), sizeLimit) + 1);
    if (bytes.size() > sizeLimit)
        return QStringLiteral("%1 is too large (the limit is %2)").arg(m_path, megabytes(sizeLimit));
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString());
    m_seenDigest = qHash(bytes);
    return bytes;
}

ButtonFile::SaveResult ButtonFile::save(const LaunchButtonList &buttons)
{
    SaveResult result;
    if (m_unreadableOnDisk && !m_unreadableKept) {
        QString newPath;
        if (auto error = keepAside(QStringLiteral("unreadable"), &newPath)) {
            result.error = *error;
            return result;
        }
        m_unreadableKept = true;
        if (!newPath.isEmpty())
            result.movedAsideTo = newPath;
    }
    // Someone else wrote the file since it was read or saved here (an
    // editor, a sync) and the change has not been taken in yet: keep theirs.
    if (!result.movedAsideTo && changedSinceSeen()) {
        QString newPath;
        if (auto error = keepAside(QStringLiteral("replaced"), &newPath)) {
            result.error = *error;
            return result;
        }
        if (!newPath.isEmpty())
            result.keptChangeAs = newPath;
    }
    const QByteArray bytes = ButtonCodec::encode(buttons);
    result.error = writeAtomically(bytes);
    if (!result.error) {
        m_unreadableOnDisk = m_unreadableKept = false;
        remember(bytes);
    }
    return result;
}

std::optional<QString> ButtonFile::writeAtomically(const QByteArray &bytes)
{
    const auto failure = [this](const QString &reason) {
        return QStringLiteral("cannot write %1: %2").arg(m_path, reason);
    };
    // QSaveFile writes a temporary file in the target's directory and renames
    // it over the target; it follows a symbolic link to its target. Unbuffered,
    // so that every write error shows at once: a buffered one surfaces only
    // when the file is closed, where QSaveFile no longer looks at it.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(reason);
    }
    // QSaveFile ignores a failing sync; a full or failing disk may report
    // itself only here.
    if (m_syncToDisk(file.handle()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return failure(reason);
    }
    if (!file.commit())
        return failure(file.errorString());
    syncDirectoryOf(resolvedPath());
    return std::nullopt;
}

// The rename is on disk only once its directory is. The new file is in place
// whatever happens here, so a failure (some file systems cannot sync a
// directory) changes nothing about the save.
void ButtonFile::syncDirectoryOf(const QString &file) const
{
    const int directory =
        ::open(QFile::encodeName(QFileInfo(file).path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0)
        return;
    m_syncToDisk(directory);
    ::close(directory);
}

QString ButtonFile::resolvedPath() const
{
    QFileInfo info(m_path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.absoluteFilePath();
}

bool ButtonFile::changedSinceSeen() const
{
    if (!m_seenDigest || !m_seenIdentity.present || identity() == m_seenIdentity)
        return false;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return false; // nothing that could be kept
    return qHash(file.read(sizeLimit + 1)) != *m_seenDigest;
}

// The file gets a second name and keeps its own until a complete new file
// replaces it, so a save that fails leaves both in place.
std::optional<QString> ButtonFile::keepAside(const QString &why, QString *newPath)
{
    const QString target = resolvedPath();
    const QFileInfo targetInfo(target);
    if (!targetInfo.exists())
        return std::nullopt; // gone meanwhile: nothing to keep
    const QString stem = target + QLatin1Char('.') + why + QLatin1Char('-')
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = stem;
    for (int n = 2; QFileInfo(candidate).exists() || QFileInfo(candidate).isSymLink(); ++n)
        candidate = stem + QStringLiteral("-%1").arg(n);
    const bool kept = ::link(QFile::encodeName(target).constData(), QFile::encodeName(candidate).constData()) == 0
        || (targetInfo.isFile() && QFile::copy(target, candidate));
    if (!kept)
        return QStringLiteral("cannot keep %1 under another name, so it is kept and not replaced").arg(target);
    *newPath = candidate;
    return std::nullopt;
}
