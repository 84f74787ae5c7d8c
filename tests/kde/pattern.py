#!/usr/bin/python3
"""The tests' own picture on each monitor: a Wayland-native GTK 3 window (GDK_BACKEND=wayland), full
screen on the monitor whose layout origin is given, drawn in device pixels with cairo:
  - the monitor's background colour everywhere,
  - its top-left and bottom-right pixels in colours of their own,
  - a vertical line one pixel wide at the middle column (x = width / 2) in the line colour.
Usage: pattern.py X,Y=BACKGROUND,TOPLEFT,BOTTOMRIGHT,LINE ...   (colours as RRGGBB)
Prints "ready X,Y WIDTHxHEIGHT" for each monitor once its window has drawn at that size.
SIGUSR1 makes every window draw again (the same picture: damage for the compositor, nothing new to see).
A second kind of window, for the always-on-top check: pattern.py --cover RRGGBB opens one maximized window
of that colour (not full screen), which the caller activates.
"""
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402


def rgb(text):
    value = int(text, 16)
    return ((value >> 16) & 255) / 255, ((value >> 8) & 255) / 255, (value & 255) / 255


class Monitor(Gtk.Window):
    def __init__(self, origin, colours, index):
        super().__init__(title=f"tintvale-pattern {origin[0]},{origin[1]}")
        self.origin = origin
        self.background, self.top_left, self.bottom_right, self.line = (rgb(c) for c in colours)
        self.told = None
        area = Gtk.DrawingArea()
        area.connect("draw", self.on_draw)
        self.add(area)
        self.set_decorated(False)
        self.fullscreen_on_monitor(self.get_screen(), index)

    def on_draw(self, widget, cr):
        width, height = widget.get_allocated_width(), widget.get_allocated_height()
        cr.set_antialias(0)  # cairo.ANTIALIAS_NONE: pixel edges stay sharp
        cr.set_source_rgb(*self.background)
        cr.paint()
        cr.set_source_rgb(*self.line)
        cr.rectangle(width // 2, 0, 1, height)
        cr.fill()
        cr.set_source_rgb(*self.top_left)
        cr.rectangle(0, 0, 1, 1)
        cr.fill()
        cr.set_source_rgb(*self.bottom_right)
        cr.rectangle(width - 1, height - 1, 1, 1)
        cr.fill()
        monitor = self.get_display().get_monitor_at_window(self.get_window())
        geometry = monitor.get_geometry()
        # Told once it covers its monitor: before that GTK may draw at a default size.
        if (width, height) == (geometry.width, geometry.height) and self.told != (width, height):
            self.told = (width, height)
            print(f"ready {self.origin[0]},{self.origin[1]} {width}x{height}", flush=True)
        return False


def main(argv):
    Gdk.set_allowed_backends("wayland")
    Gtk.init([])
    display = Gdk.Display.get_default()
    windows = []
    if argv[1:2] == ["--cover"]:
        cover = Gtk.Window(title="tintvale-cover")
        colour = rgb(argv[2])
        area = Gtk.DrawingArea()
        area.connect("draw", lambda w, cr: (cr.set_source_rgb(*colour), cr.paint(), False)[-1])
        cover.add(area)
        cover.maximize()
        cover.connect("map-event", lambda *_: print("ready cover", flush=True))
        windows.append(cover)
    for argument in argv[1:] if argv[1:2] != ["--cover"] else []:
        place, colours = argument.split("=")
        origin = tuple(int(v) for v in place.split(","))
        for index in range(display.get_n_monitors()):
            g = display.get_monitor(index).get_geometry()
            if (g.x, g.y) == origin:
                windows.append(Monitor(origin, colours.split(","), index))
                break
        else:
            print(f"pattern.py: no monitor at {place}", file=sys.stderr)
            return 1
    for w in windows:
        w.connect("destroy", lambda *_: Gtk.main_quit())
        w.show_all()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, Gtk.main_quit)
    # SIGUSR1: every window draws itself again (the same picture, new damage for the compositor).
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 10, lambda: [w.queue_draw() for w in windows] or True)
    Gtk.main()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
