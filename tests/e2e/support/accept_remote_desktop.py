#!/usr/bin/python3
# Answers GNOME's remote desktop dialog (xdg-desktop-portal-gnome) as a user would:
# ticks "Allow remote interaction" and presses "Share", through the accessibility bus.
#
#     accept_remote_desktop.py TIMEOUT_SECONDS
#
# Exits 0 once it pressed "Share", 1 when no such dialog came in time.
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

TOGGLES = (Atspi.Role.CHECK_BOX, Atspi.Role.TOGGLE_BUTTON, Atspi.Role.CHECK_MENU_ITEM)


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.get_child_count()):
        yield from walk(node.get_child_at_index(i), depth + 1)


def press(node):
    try:
        return node.get_n_actions() > 0 and node.do_action(0)
    except GLib.Error:
        return False


# The control with this name and one of these roles (a label may carry the same name;
# a button's name may come with its mnemonic, as "_Share Share").
def find(name, roles):
    for node in walk(Atspi.get_desktop(0)):
        try:
            if node.get_role() in roles and name in (node.get_name(), node.get_name().split()[-1]):
                return node
        except GLib.Error:
            continue
    return None


def main():
    deadline = time.monotonic() + float(sys.argv[1])
    ticked = False
    while time.monotonic() < deadline:
        allow = find("Allow remote interaction", TOGGLES)
        share = find("Share", (Atspi.Role.PUSH_BUTTON,))
        if allow is not None and share is not None:
            if not ticked:
                state = allow.get_state_set()
                if not state.contains(Atspi.StateType.CHECKED):
                    press(allow)
                ticked = True
            if press(share):
                return 0
        time.sleep(0.2)
    return 1


if __name__ == "__main__":
    sys.exit(main())
