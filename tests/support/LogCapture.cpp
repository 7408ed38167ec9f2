#include "LogCapture.h"

#include "model/Log.h"

LogCapture::LogCapture()
{
    Log::setSink([this](const QString &line) { m_lines.append(line); });
}

LogCapture::~LogCapture()
{
    Log::setSink({});
}

QStringList LogCapture::startingWith(const QString &prefix) const
{
    QStringList result;
    for (const QString &line : m_lines) {
        if (line.startsWith(prefix))
            result.append(line);
    }
    return result;
}
