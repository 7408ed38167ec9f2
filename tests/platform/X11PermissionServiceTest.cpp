#include "LatestPressTime.h"
#include "SharedXvfb.h"
#include "x11/X11Connection.h"
#include "x11/X11HotkeyService.h"
#include "x11/X11PermissionService.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value) : m_name(name), m_old(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_old.isNull())
            qunsetenv(m_name);
        else
            qputenv(m_name, m_old);
    }

private:
    const char *m_name;
    QByteArray m_old;
};

std::shared_ptr<X11HotkeyService> hotkeysOnThisDisplay()
{
    return std::make_shared<X11HotkeyService>(std::make_shared<X11Connection>(),
                                              std::make_shared<LatestPressTime>());
}
} // namespace

class X11PermissionServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString(); }

    ScopedEnv noWaylandDisplay{"WAYLAND_DISPLAY", QByteArray()};
    ScopedEnv x11Session{"XDG_SESSION_TYPE", "x11"};
};

TEST_F(X11PermissionServiceTest, AllowedInAnX11SessionWithAWorkingConnection)
{
    X11PermissionService permission(hotkeysOnThisDisplay());
    EXPECT_TRUE(permission.hotkeysAllowed());
    EXPECT_TRUE(permission.requestHotkeys());
}

TEST_F(X11PermissionServiceTest, DeniedWithoutADisplay)
{
    std::shared_ptr<X11HotkeyService> hotkeys;
    {
        ScopedEnv noDisplay("DISPLAY", QByteArray());
        hotkeys = hotkeysOnThisDisplay();
    }
    X11PermissionService permission(hotkeys);
    EXPECT_FALSE(permission.hotkeysAllowed());
    EXPECT_FALSE(permission.requestHotkeys());
}

TEST_F(X11PermissionServiceTest, DeniedInAWaylandSession)
{
    X11PermissionService permission(hotkeysOnThisDisplay());
    {
        ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
        EXPECT_FALSE(permission.hotkeysAllowed());
        EXPECT_FALSE(permission.requestHotkeys());
    }
    {
        ScopedEnv wayland("XDG_SESSION_TYPE", "wayland");
        EXPECT_FALSE(permission.hotkeysAllowed());
    }
    EXPECT_TRUE(permission.hotkeysAllowed());
}
