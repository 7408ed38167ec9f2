#include "app/PrivateDirectory.h"

#include "channel/PrivateDirectoryCheck.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {
QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

std::optional<QString> PrivateDirectory::problem(const QString &path)
{
    const PrivateDirectoryCheck check = PrivateDirectoryCheck::of(QFile::encodeName(path).constData());
    switch (check.verdict) {
    case PrivateDirectoryCheck::Verdict::isPrivate:
        return std::nullopt;
    case PrivateDirectoryCheck::Verdict::cannotRead:
        return path + QStringLiteral(": ") + systemError(check.error);
    case PrivateDirectoryCheck::Verdict::symbolicLink:
        return path + QStringLiteral(" is a symbolic link");
    case PrivateDirectoryCheck::Verdict::notDirectory:
        return path + QStringLiteral(" is not a directory");
    case PrivateDirectoryCheck::Verdict::foreignOwner:
        return path + QStringLiteral(" belongs to user %1").arg(check.owner);
    case PrivateDirectoryCheck::Verdict::openMode:
        break;
    }
    return path + QStringLiteral(" has mode %1, not 0700").arg(check.mode, 4, 8, QChar(u'0'));
}

std::optional<QString> PrivateDirectory::ensure(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), S_IRWXU) != 0 && errno != EEXIST)
        return path + QStringLiteral(": ") + systemError(errno);
    return problem(path);
}
