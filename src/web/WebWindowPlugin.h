#pragma once

#include "web/WebWindowService.h"

#include <QObject>

// The plugin's entry: hands the program's calls to the shared controller.
class WebWindowPlugin : public QObject, public WebWindowService {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VantorelWebWindowService_iid)
    Q_INTERFACES(WebWindowService)

public:
    void setWindowActivator(std::shared_ptr<WindowActivator> activator) override;
    void loadURL(const QString &address, quint64 eventTime) override;
};
