#include "PrivateDirectory.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

std::optional<QString> PrivateDirectory::problem(const QString &path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return path + QStringLiteral(": ") + systemError(errno);
    if (S_ISLNK(status.st_mode))
        return path + QStringLiteral(" is a symbolic link");
    if (!S_ISDIR(status.st_mode))
        return path + QStringLiteral(" is not a directory");
    if (status.st_uid != ::geteuid())
        return path + QStringLiteral(" belongs to user %1").arg(status.st_uid);
    if ((status.st_mode & 07777) != S_IRWXU)
        return path + QStringLiteral(" has mode %1, not 0700").arg(status.st_mode & 07777, 4, 8, QChar(u'0'));
    return std::nullopt;
}

std::optional<QString> PrivateDirectory::ensure(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), S_IRWXU) != 0 && errno != EEXIST)
        return path + QStringLiteral(": ") + systemError(errno);
    return problem(path);
}
