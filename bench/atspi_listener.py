#!/usr/bin/env python3
"""A stand-in screen reader for the benchmark: turns assistive technology on for the session (as a screen
reader does) and counts the accessibility events other programs send for SECONDS after the first one.
Usage: atspi_listener.py SECONDS  (prints 'atspi_events_per_s N'); runs on a private session bus."""
import sys
import time

import dbus
import pyatspi
from gi.repository import GLib

seconds = float(sys.argv[1])
props = dbus.Interface(dbus.SessionBus().get_object("org.a11y.Bus", "/org/a11y/bus"),
                       "org.freedesktop.DBus.Properties")
props.Set("org.a11y.Status", "IsEnabled", dbus.Boolean(True))
props.Set("org.a11y.Status", "ScreenReaderEnabled", dbus.Boolean(True))
times = []
pyatspi.Registry.registerEventListener(lambda e: times.append(time.monotonic()), "object:", "window:", "focus:")
print("listening", flush=True)
context = GLib.MainContext.default()
deadline = None
while deadline is None or time.monotonic() < deadline:
    context.iteration(False)
    if times and deadline is None:
        deadline = times[0] + 1.0 + seconds  # after a second of start-up events
    time.sleep(0.002)
window = [t for t in times if deadline - seconds <= t < deadline]
print(f"atspi_events_per_s {len(window) / seconds:.1f}", flush=True)
