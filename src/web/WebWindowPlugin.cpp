#include "WebWindowPlugin.h"

#include "WebWindowController.h"

void WebWindowPlugin::setWindowActivator(std::shared_ptr<WindowActivator> activator)
{
    WebWindowController::setWindowActivator(std::move(activator));
}

void WebWindowPlugin::loadURL(const QString &address)
{
    WebWindowController::shared().loadURL(address);
}
