#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots/ from the built program on a
# private X server, in the light and the dark theme: the Shortcuts Editor
# with a few buttons, the edit form while it records a shortcut and with a
# warning, and the configuration window.
# Usage: scripts/screenshots.sh [build-dir]
# (needs xvfb, xdotool, trayer, imagemagick, qt6-gtk-platformtheme)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
binary=$build/bin/vantorel
out=$root/docs/screenshots
[ -x "$binary" ] || { echo "no program at $binary: build it first" >&2; exit 1; }
mkdir -p "$out"

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A free display, chosen by the server itself.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"

# A tray, so the program starts quietly as it does on a desktop.
trayer --edge top --align right --widthtype pixel --width 120 --height 28 --SetDockType true >/dev/null 2>&1 &
pids+=($!)
sleep 0.5

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=xcb
mkdir -p "$HOME"
cat > "$HOME/.vantorel" <<'JSON'
[{"id":"6A1F0C2E-1B7D-4C59-9E1A-2F6B1D0C9A01","name":"Scrivara","shortcut":"⌘ + ⌥ + F","appURLString":"https://scrivara.com"},{"id":"6A1F0C2E-1B7D-4C59-9E1A-2F6B1D0C9A02","name":"Terminal","shortcut":"⌘ + RETURN","appURLString":"file:///usr/share/applications/debian-xterm.desktop"},{"id":"6A1F0C2E-1B7D-4C59-9E1A-2F6B1D0C9A03","name":"Files","shortcut":"⌘ + E","appURLString":"file:///usr/share/applications/org.gnome.Nautilus.desktop"},{"id":"6A1F0C2E-1B7D-4C59-9E1A-2F6B1D0C9A04","name":"Mail","shortcut":"⌘ + ⇧ + M","appURLString":"https://mail.example.com"}]
JSON

window_of() { xdotool search --sync --onlyvisible --name "^$1\$" | head -n1; }
shoot() { sleep 0.5; /usr/bin/import -window "$1" "$out/$2"; echo "wrote docs/screenshots/$2"; }

# One round per theme, through Qt's GTK platform theme: the editor, the
# form while its shortcut field records, the form with a warning under the
# shortcut, and the configuration window.
for theme in light dark; do
  if [ "$theme" = dark ]; then suffix=-dark gtk=Adwaita:dark; else suffix= gtk=Adwaita; fi
  rm -rf "$HOME/.config" "$XDG_CONFIG_HOME"
  QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=$gtk "$binary" > "$work/log" 2>&1 &
  program=$!
  pids+=("$program")
  for _ in $(seq 200); do grep -q "Registering shortcuts for" "$work/log" && break; sleep 0.05; done

  # A second start shows the running program's editor. (Where hotkeys are
  # not allowed, the configuration window has opened by itself: out of the way.)
  "$binary" >/dev/null 2>&1
  for window in $(xdotool search --onlyvisible --name '^Configuration$' || true); do
    xdotool windowunmap "$window"
  done
  editor=$(window_of "Shortcuts Editor")
  shoot "$editor" "shortcuts-editor$suffix.png"

  # From the keyboard: into the list, down to "Files", F2 edits it; Tab to
  # the shortcut field, which then records.
  xdotool windowfocus --sync "$editor"
  xdotool key --delay 100 Tab Down Down F2
  form=$(window_of "Edit Button")
  xdotool windowfocus --sync "$form"
  xdotool key --delay 100 Tab
  shoot "$form" "recorder$suffix.png"
  # Scrivara's combination: the form says so under the field.
  xdotool key --delay 100 super+alt+f
  shoot "$form" "edit-form$suffix.png"
  xdotool key --delay 100 Escape
  sleep 0.3

  # The gear under the list opens the configuration window.
  geometry=$(xdotool getwindowgeometry --shell "$editor")
  width=$(echo "$geometry" | sed -n 's/^WIDTH=//p'); height=$(echo "$geometry" | sed -n 's/^HEIGHT=//p')
  xdotool mousemove --window "$editor" $((width - 24)) $((height - 28)) click 1
  config=$(window_of Configuration)
  shoot "$config" "configuration$suffix.png"

  kill "$program"; wait "$program" 2>/dev/null || true
done
