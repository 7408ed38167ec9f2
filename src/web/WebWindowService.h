#pragma once

#include <QString>
#include <QtPlugin>

#include <memory>

class WindowActivator;

// The web window as the program reaches it: through a plugin that is loaded
// at the first web launch, so the web engine (and the graphics stack it
// pulls in) costs nothing until a web button is used.
class WebWindowService {
public:
    virtual ~WebWindowService() = default;

    // How the window comes to the front; call before the first loadURL.
    virtual void setWindowActivator(std::shared_ptr<WindowActivator> activator) = 0;

    // Shows the address in the one web window, or closes the window when
    // that very address is showing. eventTime: the window system's time of
    // the press that asked, 0 when unknown.
    virtual void loadURL(const QString &address, quint64 eventTime) = 0;
};

#define VantorelWebWindowService_iid "org.vantorel.WebWindowService/2"
Q_DECLARE_INTERFACE(WebWindowService, VantorelWebWindowService_iid)
