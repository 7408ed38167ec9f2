#pragma once

#include "PermissionService.h"

#include <QString>

// For desktops whose shortcut service lives on the session bus: hotkeys are
// allowed while the service is there. There is nothing to ask for; the
// desktop asks the user itself when shortcuts are bound.
class BusServicePermission final : public PermissionService {
public:
    explicit BusServicePermission(QString serviceName);

    bool hotkeysAllowed() const override;
    bool requestHotkeys() override { return hotkeysAllowed(); }

private:
    QString m_serviceName;
};
