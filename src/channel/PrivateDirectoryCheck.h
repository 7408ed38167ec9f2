#pragma once

#include <sys/types.h>

// Whether a directory is one that only this user can enter: owned by us, a
// real directory (not a symbolic link), mode 0700. Sockets and files placed
// in it cannot be replaced or read by other local users.
struct PrivateDirectoryCheck {
    enum class Verdict { isPrivate, cannotRead, symbolicLink, notDirectory, foreignOwner, openMode };

    static PrivateDirectoryCheck of(const char *path);

    Verdict verdict = Verdict::cannotRead;
    int error = 0;  // cannotRead: errno of lstat
    uid_t owner = 0;
    mode_t mode = 0; // permission bits

    bool isPrivate() const { return verdict == Verdict::isPrivate; }
};
