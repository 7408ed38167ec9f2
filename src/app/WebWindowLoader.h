#pragma once

#include <QString>

#include <memory>

class QPluginLoader;
class WebWindowService;
class WindowActivator;

// Loads the web window plugin at the first web launch and hands it the
// addresses. The plugin lives beside the program: <bin>/../lib/vantorel/.
class WebWindowLoader {
public:
    WebWindowLoader(QString pluginPath, std::shared_ptr<WindowActivator> activator);
    ~WebWindowLoader();

    static QString defaultPluginPath();

    void loadURL(const QString &address, quint64 eventTime);

private:
    WebWindowService *service();

    QString m_pluginPath;
    std::shared_ptr<WindowActivator> m_activator;
    std::unique_ptr<QPluginLoader> m_loader;
    WebWindowService *m_service = nullptr;
};
