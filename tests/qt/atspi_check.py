#!/usr/bin/env python3
"""Reads the running program over AT-SPI the way a screen reader does (pyatspi on the session's
accessibility bus) and checks what it is told. Usage: atspi_check.py CHECK PROGRAM [RATE_FILE]
CHECK: tree | swatch_follows | event_rate | announce. Needs DISPLAY, a window manager and a private
session bus; prints 'ok: ...' lines, exits 1 on the first failed check."""

import os
import subprocess
import sys
import time

import dbus
import pyatspi
from gi.repository import GLib

check, program = sys.argv[1], sys.argv[2]
rate_file = sys.argv[3] if len(sys.argv) > 3 else None
context = GLib.MainContext.default()


def fail(message):
    print(f"FAIL [atspi_{check}]: {message}")
    sys.exit(1)


def spin(seconds):
    """Handles accessibility events for a while (a measurement window, not a wait for a change)."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        context.iteration(False)
        time.sleep(0.005)


def wait_for(what, predicate, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while context.pending():
            context.iteration(False)
        try:
            value = predicate()
        except Exception:  # an object that went away meanwhile
            value = None
        if value:
            return value
        time.sleep(0.02)
    fail(f"timed out waiting for {what}")


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def enable_assistive_technology(on):
    # What a screen reader does when it starts: toolkits expose themselves on the bus from then on.
    bus = dbus.SessionBus()
    status = bus.get_object("org.a11y.Bus", "/org/a11y/bus")
    props = dbus.Interface(status, "org.freedesktop.DBus.Properties")
    props.Set("org.a11y.Status", "IsEnabled", dbus.Boolean(on))
    props.Set("org.a11y.Status", "ScreenReaderEnabled", dbus.Boolean(on))


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def find(root, role, name=None):
    for node in walk(root):
        if node.getRole() == role and (name is None or node.name == name):
            return node
    return None


def app_of(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def text_of(node):
    t = node.queryText()
    return t.getText(0, t.characterCount)


def main_frame(app):
    return find(app, pyatspi.ROLE_FRAME, "Tintvale")


def boxes(frame):
    texts = [n for n in walk(frame) if n.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)]
    named = {n.name: n for n in texts}
    return named


enable_assistive_technology(True)
subprocess.run(["xsetroot", "-solid", "#0A00AB"], check=True)
xdotool("mousemove", 20, 30)
proc = subprocess.Popen([program], stderr=subprocess.DEVNULL)
try:
    app = wait_for("the program on the accessibility bus", lambda: app_of(proc.pid), 20)
    frame = wait_for("a frame named Tintvale", lambda: main_frame(app))
    swatch = wait_for("the swatch, a graphic named by its colour",
                      lambda: find(frame, pyatspi.ROLE_IMAGE, "#0A00AB"))

    if check == "tree":
        named = boxes(frame)
        entry, coords = named.get("色コード"), named.get("座標")
        if entry is None or coords is None:
            fail(f"text boxes are named {sorted(named)}, expected 色コード and 座標")
        label = find(frame, pyatspi.ROLE_LABEL, "座標")
        relations = {r.getRelationType(): r for r in coords.getRelationSet()}
        by = relations.get(pyatspi.RELATION_LABELLED_BY)
        if by is None or by.getTarget(0).name != "座標" or label is None:
            fail("the coordinate box is not labelled by 座標")
        wait_for("the coordinates 20<Tab>30 as the box's text", lambda: text_of(coords) == "20\t30")
        print("ok: frame 'Tintvale'; entry '色コード'; coordinates labelled by 座標 and read as 20<Tab>30")
        # The focus arrives once the window manager has activated the window, in its own time.
        wait_for("the entry box to have the focus", lambda: entry.getState().contains(pyatspi.STATE_FOCUSED))
        if swatch.getState().contains(pyatspi.STATE_FOCUSED):
            fail("the swatch has the focus")
        for placeholder in ("Label2", "Label3"):
            node = find(frame, pyatspi.ROLE_LABEL, placeholder)
            if node is not None and node.getState().contains(pyatspi.STATE_SHOWING):
                fail(f"{placeholder}, outside the window, is exposed as showing")
        print("ok: the swatch is an image '#0A00AB'; Label2 and Label3 are not showing")
        # A click on the swatch leaves the focus in the entry box: no focus stop on the graphic.
        focus_events = []
        pyatspi.Registry.registerEventListener(lambda e: focus_events.append(e.source.name),
                                               "object:state-changed:focused")
        x, y = swatch.queryComponent().getPosition(pyatspi.DESKTOP_COORDS)
        xdotool("mousemove", x + 20, y + 20, "click", 1)
        xdotool("key", "ctrl+a")
        xdotool("type", "#123456")
        wait_for("the typed colour naming the swatch", lambda: swatch.name == "#123456")
        if "#123456" in focus_events or any(n.startswith("#") and n != "#123456" for n in focus_events):
            fail(f"the click moved the focus to the swatch ({focus_events})")
        print("ok: clicking the swatch gives it no focus; the typed colour names it")
        xdotool("key", "ctrl+a")
        xdotool("type", "/info")
        xdotool("key", "Return")
        dialog = wait_for("the About box as a dialog", lambda: find(app, pyatspi.ROLE_DIALOG))
        if "Tintvale" not in dialog.name:
            fail(f"the dialog is named '{dialog.name}'")
        print(f"ok: the About box is a dialog '{dialog.name}'")

    elif check == "swatch_follows":
        # The pointer stays still; the colour under it changes: the swatch's name follows when read.
        for colour in ("#12A5C3", "#FFFFFF", "#000001"):
            subprocess.run(["xsetroot", "-solid", colour], check=True)
            wait_for(f"the swatch named {colour}", lambda: swatch.name == colour)
        print("ok: with the pointer still the swatch's name follows the colour under it")

    elif check == "event_rate":
        events = []
        def note(e):
            if e.host_application == app:
                data = e.any_data if isinstance(e.any_data, str) else None
                events.append((time.monotonic(), e.type, data))
        pyatspi.Registry.registerEventListener(note, "object:")
        coords = boxes(frame)["座標"]
        # The pointer moves every 10 ms for 3 s, as fast as the program samples.
        moves = []
        for i in range(300):
            moves += ["mousemove", 100 + i * 3, 300 + i % 50, "sleep", "0.01"]
        start = time.monotonic()
        mover = subprocess.Popen(["xdotool", *map(str, moves)])
        while mover.poll() is None:
            spin(0.05)
        moved = time.monotonic() - start
        end_x, end_y = 100 + 299 * 3, 300 + 299 % 50
        # The sign that the last move was seen and reported: a text change that inserts the last position.
        last = f"{end_x}\t{end_y}"
        wait_for("the last position reported", lambda: any(
            t.startswith("object:text-changed:insert") and d == last for _, t, d in events))
        if text_of(coords) != last:
            fail(f"the coordinate box reads {text_of(coords)!r}, expected {last!r}")
        during = [e for e in events if start <= e[0] <= start + moved]
        rate = len(during) / moved
        quiet_from = time.monotonic()
        spin(1.0)
        still = [e for e in events if e[0] >= quiet_from]
        kinds = sorted({t for _, t, _ in during})
        print(f"ok: {len(during)} events in {moved:.2f} s of pointer moves ({rate:.1f}/s): {kinds}")
        if rate_file:
            with open(rate_file, "w") as f:
                f.write(f"{rate:.1f}\n")
        if rate > 20:
            fail(f"{rate:.1f} accessibility events a second while the pointer moves (a few reports a second expected)")
        if not during:
            fail("no live change was reported while the pointer moved")
        if still:
            fail(f"{len(still)} events with the pointer still: {sorted({t for _, t, _ in still})}")
        print("ok: none with the pointer still")

    elif check == "announce":
        said = []
        pyatspi.Registry.registerEventListener(
            lambda e: said.append(e.source.name)
            if e.detail1 == 1 and e.source.getRole() == pyatspi.ROLE_NOTIFICATION else None,
            "object:state-changed:showing")
        entry = boxes(frame)["色コード"]
        xdotool("key", "Return")
        wait_for("a notification with the captured colour", lambda: said == ["#0A00AB"])
        wait_for("the captured text in the entry box", lambda: text_of(entry) == "#0A00AB")
        # The same colour again: the text does not change, the capture is still said, once.
        xdotool("key", "Return")
        wait_for("the second capture's notification", lambda: len(said) >= 2)
        if said != ["#0A00AB", "#0A00AB"]:
            fail(f"notifications {said}, expected one per capture")
        print("ok: each Enter is announced once as a notification with the captured text")
    else:
        fail("unknown check")
finally:
    proc.terminate()
    proc.wait(10)
