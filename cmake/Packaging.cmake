# A Debian package: `cmake --workflow --preset package` builds
# build-package/vantorel_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantorel)
set(CPACK_PACKAGE_VENDOR "The Vantorel developers")
set(CPACK_PACKAGE_CONTACT "${VANTOREL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "global-hotkey launcher for the desktop")
set(CPACK_PACKAGE_DESCRIPTION "Vantorel lives in the system tray and keeps a list of launch buttons,
each with a name, a global keyboard shortcut and a target: an application
or a web address. While it runs, every shortcut works system-wide. Web
addresses open in its own web window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VANTOREL_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so the library scan cannot see them: Qt's
# SVG icon engine, the web engine's helper process with its resources, and
# Qt's Wayland platform plugin, so that the program's windows are native in a
# Wayland session (sway may run without XWayland).
# Qt's SVG plugins came with libqt6svg6 until Qt 6.5 (Debian 12), and are a
# package of their own since (Debian 13).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-svg-plugins | libqt6svg6 (<< 6.5), libqt6webenginecore6-bin, qt6-wayland")

include(CPack)
