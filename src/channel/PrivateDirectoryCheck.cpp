#include "channel/PrivateDirectoryCheck.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

PrivateDirectoryCheck PrivateDirectoryCheck::of(const char *path)
{
    PrivateDirectoryCheck check;
    struct stat status {};
    if (::lstat(path, &status) != 0) {
        check.error = errno;
        return check;
    }
    check.owner = status.st_uid;
    check.mode = status.st_mode & 07777;
    if (S_ISLNK(status.st_mode))
        check.verdict = Verdict::symbolicLink;
    else if (!S_ISDIR(status.st_mode))
        check.verdict = Verdict::notDirectory;
    else if (status.st_uid != ::geteuid())
        check.verdict = Verdict::foreignOwner;
    else if (check.mode != S_IRWXU)
        check.verdict = Verdict::openMode;
    else
        check.verdict = Verdict::isPrivate;
    return check;
}
