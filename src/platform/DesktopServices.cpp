#include "DesktopServices.h"

#include "xdg/XdgAutostartLoginItem.h"

DesktopServices DesktopServices::forThisSession()
{
    DesktopServices services;
    services.loginItem = std::make_shared<XdgAutostartLoginItem>();
    return services;
}
