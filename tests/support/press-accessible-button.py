#!/usr/bin/env python3
"""Runs the first action of the push button called NAME in any window of the session, found over
the accessibility bus (as a screen reader would click it); waits up to TIMEOUT seconds for it.

    press-accessible-button.py NAME TIMEOUT

Exit status 0 once pressed; 1 (with the windows seen listed) when no such button appeared."""
import sys
import time

import gi

gi.require_version('Atspi', '2.0')
from gi.repository import Atspi, GLib  # noqa: E402

BUTTON_ROLES = {Atspi.Role.PUSH_BUTTON, getattr(Atspi.Role, 'BUTTON', Atspi.Role.PUSH_BUTTON)}


def find_button(node, name, depth=0):
    if node is None or depth > 60:
        return None
    try:
        if node.get_role() in BUTTON_ROLES and node.get_name() == name:
            return node
        for index in range(node.get_child_count()):
            found = find_button(node.get_child_at_index(index), name, depth + 1)
            if found is not None:
                return found
    except GLib.Error:
        pass  # a window that went away while we looked
    return None


def windows_seen(desktop):
    seen = []
    for index in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(index)
        try:
            titles = [app.get_child_at_index(i).get_name() for i in range(app.get_child_count())]
            seen.append('%s: %s' % (app.get_name(), titles))
        except GLib.Error:
            pass
    return seen


def main():
    name, timeout = sys.argv[1], float(sys.argv[2])
    deadline = time.monotonic() + timeout
    desktop = Atspi.get_desktop(0)
    while True:
        button = find_button(desktop, name)
        if button is not None:
            if Atspi.Action.do_action(button, 0):
                print('pressed "%s"' % name)
                return 0
            print('"%s" did not take its action' % name)
        if time.monotonic() > deadline:
            print('no push button "%s" appeared; windows seen: %s' % (name, windows_seen(desktop)))
            return 1
        time.sleep(0.5)


if __name__ == '__main__':
    sys.exit(main())
