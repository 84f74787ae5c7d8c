#!/usr/bin/python3
"""Reads what the program shows over AT-SPI, as a screen reader does: the text boxes' texts are read
without a key or a click, so sampling goes on while they are read. Turns assistive technology on for the
session (org.a11y.Status, as a screen reader does when it starts), prints "ready", then takes one command
a line on stdin and answers one line:
  text PID SECONDS NAME TEXT   waits until the text box named NAME (its accessible name, 座標 or 色コード)
                               of the program PID holds TEXT (the rest of the line, tabs included); answers
                               "ok", or once SECONDS have passed "no " and the last text seen (tabs as spaces)
Usage: reader.py   (DBUS_SESSION_BUS_ADDRESS names a session bus that can start org.a11y.Bus)
"""
import sys
import time

import dbus
import pyatspi
from gi.repository import GLib

context = GLib.MainContext.default()
TEXT_ROLES = (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def find_box(pid, name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.get_process_id() == pid:
            return next((n for n in walk(app) if n.getRole() in TEXT_ROLES and n.name == name), None)
    return None


boxes = {}


def box_text(pid, name):
    """The box's text now, or None while the program is not (yet) on the accessibility bus."""
    box = boxes.get((pid, name))
    try:
        if box is None:
            box = find_box(pid, name)
            if box is None:
                return None
            boxes[(pid, name)] = box
        text = box.queryText()
        return text.getText(0, text.characterCount)
    except Exception:  # the program ended, or its object went away meanwhile: look again
        boxes.pop((pid, name), None)
        return None


def wait_text(pid, seconds, name, expected):
    end = time.monotonic() + seconds
    last = None
    while True:
        while context.pending():
            context.iteration(False)
        last = box_text(pid, name)
        if last == expected:
            return "ok"
        if time.monotonic() >= end:
            return "no " + ("<not on the accessibility bus>" if last is None else last.replace("\t", " "))
        time.sleep(0.02)


def main():
    bus = dbus.SessionBus()
    status = dbus.Interface(bus.get_object("org.a11y.Bus", "/org/a11y/bus"), "org.freedesktop.DBus.Properties")
    status.Set("org.a11y.Status", "IsEnabled", dbus.Boolean(True))
    status.Set("org.a11y.Status", "ScreenReaderEnabled", dbus.Boolean(True))
    pyatspi.Registry.getDesktop(0).childCount  # the accessibility bus and its registry are up
    print("ready", flush=True)
    for line in sys.stdin:
        words = line.rstrip("\n").split(" ", 4)
        if words[0] == "text" and len(words) == 5:
            print(wait_text(int(words[1]), float(words[2]), words[3], words[4]), flush=True)
        else:
            print(f"error: unknown command {line.strip()!r}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
