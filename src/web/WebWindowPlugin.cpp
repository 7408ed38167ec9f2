#include "web/WebWindowPlugin.h"

#include "web/WebWindowController.h"

void WebWindowPlugin::setWindowActivator(std::shared_ptr<WindowActivator> activator)
{
    WebWindowController::setWindowActivator(std::move(activator));
}

void WebWindowPlugin::loadURL(const QString &address, quint64 eventTime)
{
    WebWindowController::shared().loadURL(address, eventTime);
}
