#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <optional>
#include <utility>

// Environment variables a test changes: each comes back as it was before
// the test first touched it when the object ends.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;
    ~ScopedEnvironment()
    {
        for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it)
            apply(it->first, it->second);
    }

    // Sets the variable, or unsets it for nothing.
    void set(const char *name, const std::optional<QByteArray> &value)
    {
        m_saved.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
        apply(name, value);
    }
    void unset(const char *name) { set(name, std::nullopt); }

private:
    static void apply(const char *name, const std::optional<QByteArray> &value)
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }

    QList<std::pair<const char *, std::optional<QByteArray>>> m_saved;
};
