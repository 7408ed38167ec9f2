#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Vantorel need, on Debian 12
# (bookworm) and 13 (trixie) alike: every name below exists on both releases.
# Idempotent: quiet and quick when everything is already there. Runs as root or through sudo.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build pkg-config
  # Qt 6
  qt6-base-dev qt6-base-private-dev qt6-svg-dev qt6-webengine-dev qt6-webchannel-dev
  libqt6svg6 qt6-image-formats-plugins
  # Vantorel's own windows native on Wayland, without XWayland
  qt6-wayland
  # desktop: X11 hotkeys, keysym names for the shortcut portal, GIO launching
  libxcb1-dev libxcb-keysyms1-dev libxcb-xtest0-dev libxcb-xkb-dev x11proto-dev libxkbcommon-dev libglib2.0-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  dbus xvfb xauth x11-utils x11-xserver-utils x11-xkb-utils xdotool xclip trayer imagemagick sxhkd python3
  # the accessibility bus and a client of it, as screen readers see the editor
  at-spi2-core python3-gi gir1.2-atspi-2.0
  # the light and dark pictures of scripts/screenshots.sh: Qt through the GTK theme
  qt6-gtk-platformtheme
  # as on every desktop: libdbus could start a session bus through X11, which no test may do
  dbus-x11
  # KDE's shortcut daemon, run on a private bus by the KDE tests: KF5's kglobalaccel5 on
  # Debian 12; on Debian 13 this name brings in Plasma 6's kglobalacceld
  libkf5globalaccel-bin
  # a real display-less GNOME: its keybinding schemas and gsd-media-keys for the custom shortcuts
  # tests (GNOME 43+), its portals with GNOME Settings' shortcut dialog for the portal test (GNOME
  # 48+, Debian 13), the accessibility bus tests click through, software rendering
  gnome-shell mutter gnome-settings-daemon xdg-desktop-portal xdg-desktop-portal-gnome dconf-service dconf-cli
  libglib2.0-bin gir1.2-glib-2.0 libgl1-mesa-dri libegl-mesa0
  # a real headless sway (with swaymsg) and a key typist for the sway session tests; setpriv runs them unprivileged
  sway wtype util-linux
  # the cached Debian 13 root in which CI runs the tests a second time
  debootstrap
  # packaging checks
  desktop-file-utils appstream lintian
  # fuzzing: clang's libFuzzer and sanitizer runtimes (the release's default clang: 14 on Debian 12,
  # 19 on Debian 13)
  clang libclang-rt-dev
  # icon theme and fonts for a readable UI on a bare system
  adwaita-icon-theme fonts-dejavu-core
)
# Qt's SVG icon and image plugins, which draw every symbol of the program's windows: part of
# libqt6svg6 on Debian 12, a package of their own from Debian 13 on.
. /etc/os-release
[ "${VERSION_CODENAME:-}" = bookworm ] || packages+=(qt6-svg-plugins)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
