#include "TestManager.h"

#include <QFile>

TestManager::TestManager(const QByteArray &buttonFile)
{
    QFile file(m_home.filePath(QStringLiteral(".vantorel")));
    if (file.open(QIODevice::WriteOnly))
        file.write(buttonFile);
    file.close();
    restart();
}

void TestManager::restart()
{
    m_manager.reset();
    m_manager = std::make_unique<HotkeyButtons>(HotkeyButtons::Services{
        m_shortcuts, m_launcher,
        [this](const QString &address, quint64 time) { m_webAddresses.append({address, time}); }, m_home.path(),
        QStringLiteral("/usr/bin/vantorel"), m_windows, m_home.path()});
}

QByteArray TestManager::fileText() const
{
    QFile file(m_home.filePath(QStringLiteral(".vantorel")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
