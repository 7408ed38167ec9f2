#!/usr/bin/python3
"""Walks the Shortcuts Editor through AT-SPI, as a screen reader does.

Usage: atspi_editor.py rows | act ROW ACTION | form
  rows       one JSON object per row: name, description, actions
  act        invokes the row's action (Launch, Edit, Delete) through AT-SPI
  form       the open edit form: its title and its labelled text fields, as
             JSON; then presses its Cancel button through AT-SPI
"""
import json
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def find(node, wanted, depth=0):
    if node is None or depth > 40:
        return None
    if wanted(node):
        return node
    for i in range(node.get_child_count()):
        found = find(node.get_child_at_index(i), wanted, depth + 1)
        if found is not None:
            return found
    return None


def find_all(node, wanted, depth=0):
    if node is None or depth > 40:
        return []
    found = [node] if wanted(node) else []
    for i in range(node.get_child_count()):
        found += find_all(node.get_child_at_index(i), wanted, depth + 1)
    return found


def wait_for(look, seconds=15):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = look()
        if found is not None:
            return found
        time.sleep(0.1)
    sys.exit("not found in time")


def application():
    desktop = Atspi.get_desktop(0)
    app = wait_for(lambda: find(desktop, lambda n: n.get_role_name() == "application"
                                and (n.get_name() or "").lower() == "vantorel", 1))
    # Asked afresh each time: what the program says now, never a cached past.
    app.set_cache_mask(Atspi.Cache.NONE)
    return app


def button_list(app):
    return wait_for(lambda: find(app, lambda n: n.get_role_name() == "list" and n.get_name() == "Buttons"))


def actions_of(node):
    action = node.get_action_iface()
    return [action.get_action_name(i) for i in range(action.get_n_actions())] if action else []


def invoke(node, name):
    action = node.get_action_iface()
    names = actions_of(node)
    if name not in names:
        sys.exit(f"no action {name} among {names}")
    action.do_action(names.index(name))


def main():
    app = application()
    command = sys.argv[1]
    if command == "rows":
        rows = button_list(app)
        for i in range(rows.get_child_count()):
            row = rows.get_child_at_index(i)
            print(json.dumps({"role": row.get_role_name(), "name": row.get_name(),
                              "description": row.get_description(), "actions": actions_of(row)},
                             ensure_ascii=False))
    elif command == "act":
        invoke(button_list(app).get_child_at_index(int(sys.argv[2])), sys.argv[3])
    elif command == "form":
        form = wait_for(lambda: find(app, lambda n: n.get_name() == "Edit Button"))
        fields = {}
        for field in find_all(form, lambda n: n.get_role() in (Atspi.Role.TEXT, Atspi.Role.ENTRY)):
            text = field.get_text_iface()
            fields[field.get_name()] = Atspi.Text.get_text(text, 0, Atspi.Text.get_character_count(text)) if text else None
        print(json.dumps({"title": form.get_name(), "fields": fields}, ensure_ascii=False))
        invoke(find(form, lambda n: n.get_role() == Atspi.Role.PUSH_BUTTON and n.get_name() == "Cancel"), "Press")
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
