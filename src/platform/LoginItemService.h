#pragma once

#include <QString>

#include <optional>

// Starts the program when the user logs in.
class LoginItemService {
public:
    virtual ~LoginItemService() = default;

    // Registers the executable at this absolute path to start at login,
    // replacing any earlier registration. Returns why it failed, or nothing.
    virtual std::optional<QString> registerApplication(const QString &executablePath) = 0;
};
