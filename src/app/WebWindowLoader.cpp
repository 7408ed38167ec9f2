#include "app/WebWindowLoader.h"

#include "app/InstallLayout.h"
#include "app/WebGraphicsSetup.h"
#include "model/Log.h"
#include "platform/posix/RunningExecutable.h"
#include "web/WebWindowService.h"

#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

WebWindowLoader::WebWindowLoader(QString pluginPath, std::shared_ptr<WindowActivator> activator)
    : m_pluginPath(std::move(pluginPath)), m_activator(std::move(activator))
{
}

// The plugin stays loaded for the rest of the process: its window and
// engine live until the event loop ends.
WebWindowLoader::~WebWindowLoader() = default;

QString WebWindowLoader::defaultPluginPath()
{
    return QDir::cleanPath(QFileInfo(RunningExecutable::path()).path() + QLatin1Char('/')
                           + QLatin1String(InstallLayout::pluginDirFromBinary) + QStringLiteral("/webwindow.so"));
}

void WebWindowLoader::loadURL(const QString &address, quint64 eventTime)
{
    if (WebWindowService *web = service())
        web->loadURL(address, eventTime);
}

WebWindowService *WebWindowLoader::service()
{
    if (m_service)
        return m_service;
    WebGraphicsSetup::prepareSharedContext();
    m_loader = std::make_unique<QPluginLoader>(m_pluginPath);
    m_service = qobject_cast<WebWindowService *>(m_loader->instance());
    if (!m_service) {
        Log::line(QStringLiteral("WebWindow: Failed to load the web window: ") + m_loader->errorString());
        return nullptr;
    }
    m_service->setWindowActivator(m_activator);
    return m_service;
}
