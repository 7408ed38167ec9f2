#include "FakeKGlobalAccel.h"

#include "FakeKGlobalAccelDaemon.h"

#include <QDBusMessage>

namespace {
const QString service = QStringLiteral("org.kde.kglobalaccel");
}

FakeKGlobalAccel::FakeKGlobalAccel(const QDBusConnection &bus)
    : m_bus(bus), m_daemon(std::make_unique<FakeKGlobalAccelDaemon>())
{
    KGlobalAccelKeys::registerDBusTypes();
    FakeKGlobalAccelDaemon::registerDBusTypes();
    m_thread.start();
    m_daemon->moveToThread(&m_thread);
    m_serving = m_bus.registerObject(QStringLiteral("/kglobalaccel"), m_daemon.get(),
                                     QDBusConnection::ExportAllSlots)
        && takeName();
}

FakeKGlobalAccel::~FakeKGlobalAccel()
{
    m_bus.unregisterObject(QStringLiteral("/kglobalaccel"));
    m_bus.unregisterService(service);
    m_thread.quit();
    m_thread.wait();
}

bool FakeKGlobalAccel::takeName()
{
    return m_bus.registerService(service);
}

bool FakeKGlobalAccel::press(const QString &actionUnique, qint64 timestamp)
{
    const QStringList components = m_daemon->components();
    for (const QString &component : components) {
        if (!m_daemon->action(component, actionUnique))
            continue;
        QDBusMessage pressed = QDBusMessage::createSignal(FakeKGlobalAccelDaemon::componentPath(component),
                                                          QStringLiteral("org.kde.kglobalaccel.Component"),
                                                          QStringLiteral("globalShortcutPressed"));
        pressed << component << actionUnique << timestamp;
        return m_bus.send(pressed);
    }
    return false;
}

void FakeKGlobalAccel::holdElsewhere(QKeyCombination keys, const QString &component, const QString &action)
{
    m_daemon->hold(keys.toCombined(), {component, action, keys.toCombined()});
}

void FakeKGlobalAccel::restart()
{
    m_bus.unregisterService(service);
    m_daemon->forget();
    m_serving = takeName();
}

QStringList FakeKGlobalAccel::registered() const
{
    return m_daemon->registered();
}

int FakeKGlobalAccel::keysOf(const QString &component, const QString &actionUnique) const
{
    const auto action = m_daemon->action(component, actionUnique);
    return action ? action->keys : 0;
}

bool FakeKGlobalAccel::isActive(const QString &component, const QString &actionUnique) const
{
    const auto action = m_daemon->action(component, actionUnique);
    return action && action->active;
}

QString FakeKGlobalAccel::friendlyNameOf(const QString &component, const QString &actionUnique) const
{
    const auto action = m_daemon->action(component, actionUnique);
    return action ? action->friendlyName : QString();
}
