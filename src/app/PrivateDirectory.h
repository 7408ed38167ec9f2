#pragma once

#include <QString>

#include <optional>

// A directory that only this user can enter: owned by us, a real directory
// (not a symbolic link), mode 0700. Sockets and files placed in it cannot be
// replaced or read by other local users.
namespace PrivateDirectory {
// Why the directory is not private, or nothing when it is.
std::optional<QString> problem(const QString &path);

// Creates the directory with mode 0700 when it is missing; then as problem().
std::optional<QString> ensure(const QString &path);
} // namespace PrivateDirectory
