#!/usr/bin/python3
"""The person in front of GNOME's screen-sharing chooser (xdg-desktop-portal-gnome's GTK 4 dialog), reached
through the accessibility bus (AT-SPI), as a screen reader user would.

  chooser.py share     waits for the dialog, selects every monitor in its list, presses Share
  chooser.py cancel    waits for the dialog, presses Cancel
  chooser.py absent    status 0 when no chooser is open
It prints what the dialog offered: "remember on|off" (its "Remember this selection" check box) and
"monitors N". Status 1 when the dialog did not come within 20 seconds or did not take the answer.
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

APP = "xdg-desktop-portal-gnome"


def find(node, test):
    try:
        if test(node):
            return node
        children = [node.get_child_at_index(i) for i in range(node.get_child_count())]
    except GLib.Error:
        return None  # an object that went away while it was looked at
    for child in children:
        found = child and find(child, test)
        if found:
            return found
    return None


def dialog():
    """The chooser's window (a frame with a list of monitors), or None."""
    desktop = Atspi.get_desktop(0)
    chooser = find(desktop, lambda a: a.get_role() == Atspi.Role.APPLICATION and a.get_name() == APP)
    return chooser and find(chooser, lambda a: a.get_role() == Atspi.Role.FRAME and
                            a.get_state_set().contains(Atspi.StateType.VISIBLE) and
                            find(a, lambda b: b.get_role() == Atspi.Role.LIST) is not None)


def button(frame, label):
    # GTK 4 names a button by its mnemonic text and its label ("_Share Share").
    return find(frame, lambda a: a.get_role() == Atspi.Role.PUSH_BUTTON and a.get_name().split()[-1] == label)


def wait_for(test, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = test()
        if found:
            return found
        time.sleep(0.05)  # the poll interval, inside the deadline
    return None


def main():
    what = sys.argv[1]
    if what == "absent":
        return 0 if dialog() is None else 1
    frame = wait_for(dialog, 20)
    if frame is None:
        print("no chooser came", flush=True)
        return 1
    remember = find(frame, lambda a: a.get_role() == Atspi.Role.CHECK_BOX)
    print("remember", "on" if remember and remember.get_state_set().contains(Atspi.StateType.CHECKED) else "off")
    monitors = find(frame, lambda a: a.get_role() == Atspi.Role.LIST)
    print("monitors", monitors.get_child_count(), flush=True)
    if what == "share":
        for i in range(monitors.get_child_count()):
            Atspi.Selection.select_child(monitors, i)
        share = button(frame, "Share")
        # Share is offered once a monitor is selected.
        if not wait_for(lambda: share.get_state_set().contains(Atspi.StateType.SENSITIVE), 5):
            print("Share stayed unavailable", flush=True)
            return 1
        Atspi.Action.do_action(share, 0)
    else:
        Atspi.Action.do_action(button(frame, "Cancel"), 0)
    if not wait_for(lambda: dialog() is None, 10):
        print("the chooser stayed open", flush=True)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
