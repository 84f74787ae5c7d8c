#!/usr/bin/python3
"""Known colours on every monitor of the GNOME test desktop: one full-screen GTK 3 window per monitor
(Wayland), drawn in the monitor's device pixels, so that each pixel's colour says which pixel of which
monitor it is:
  red = x & 255, green = y & 255, blue = monitor << 7 | (y >> 8 & 7) << 4 | (x >> 8 & 15)
(monitor 0 for the connector Meta-0, 1 for Meta-1; x < 4096, y < 2048). tests/gnome/desktop.sh
pattern_colour computes the same.

Commands on stdin, one per line:
  animate FPS [CONNECTOR]   the whole picture (of that monitor only) scrolls to the left, FPS new
                 frames a second (a playing video, for the benchmark; the colours are then not those above)
  shift N        the pattern scrolled N pixels to the left: what was at x + N is at x
  still          back to the still pattern
  quit
It prints "shown CONNECTOR WIDTH HEIGHT" each time a monitor's window has drawn its pattern at the
monitor's size, after start and after every change of the monitors.
"""
import os
import sys

import cairo
import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gio, GLib, Gtk  # noqa: E402


def out(*words):
    print(*words, flush=True)


def mutter_monitors():
    """{(layout x, layout y): (connector, device width, device height)} from mutter's DisplayConfig."""
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    reply = bus.call_sync("org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig",
                          "org.gnome.Mutter.DisplayConfig", "GetCurrentState", None, None,
                          Gio.DBusCallFlags.NONE, 5000, None)
    _, monitors, logical, _ = reply.unpack()
    sizes = {}
    for (connector, _, _, _), modes, _ in monitors:
        for mode in modes:
            if mode[6].get("is-current"):
                sizes[connector] = (mode[1], mode[2])
    found = {}
    for x, y, _, _, _, monitor_ids, _ in logical:
        for monitor_id in monitor_ids:
            found[(x, y)] = (monitor_id[0], *sizes[monitor_id[0]])
    return found


def pattern(index, width, height):
    """The monitor's picture as an image, built from one column and one row per pixel added together."""
    surface = cairo.ImageSurface(cairo.FORMAT_RGB24, width, height)
    cr = cairo.Context(surface)
    cr.set_antialias(cairo.ANTIALIAS_NONE)
    cr.set_source_rgb(0, 0, 0)
    cr.paint()
    cr.set_operator(cairo.OPERATOR_ADD)
    for x in range(width):
        cr.set_source_rgb((x & 255) / 255, 0, (x >> 8 & 15) / 255)
        cr.rectangle(x, 0, 1, height)
        cr.fill()
    for y in range(height):
        cr.set_source_rgb(0, (y & 255) / 255, (index << 7 | (y >> 8 & 7) << 4) / 255)
        cr.rectangle(0, y, width, 1)
        cr.fill()
    surface.flush()
    return surface


class MonitorWindow(Gtk.Window):
    def __init__(self, connector, monitor, width, height):
        super().__init__(title="tintvale-pattern " + connector)
        self.connector = connector
        self.index = int(connector.rsplit("-", 1)[1])
        self.device = (0, 0)
        self.shift = 0
        self.picture = None
        self.announced = False
        self.set_decorated(False)
        self.connect("draw", self.on_draw)
        # Full screen from the first map, so it never shows on another monitor first.
        self.place(monitor, width, height)
        self.show_all()

    def place(self, monitor, width, height):
        """Full screen on that monitor (a GDK monitor number), drawn at its size in device pixels."""
        if (width, height) != self.device or self.picture is None:
            self.device = (width, height)
            self.picture = pattern(self.index, width, height)
        self.announced = False
        self.scale = Gdk.Display.get_default().get_monitor(monitor).get_scale_factor()
        self.fullscreen_on_monitor(self.get_screen(), monitor)
        self.queue_draw()

    def set_shift(self, shift):
        self.shift = shift
        self.queue_draw()

    def on_draw(self, widget, cr):
        if self.picture is None:
            return True
        scale = self.get_scale_factor()
        allocated = self.get_allocated_width() * scale, self.get_allocated_height() * scale
        # Device pixels one to one: the picture is painted at the inverse of the window's scale.
        cr.scale(1 / scale, 1 / scale)
        # Animated, the picture scrolls to the left and comes round again on the right.
        shift = self.shift % self.device[0]
        for x in (-shift, self.device[0] - shift) if shift else (0,):
            cr.set_source_surface(self.picture, x, 0)
            cr.get_source().set_filter(cairo.FILTER_NEAREST)
            cr.paint()
        if allocated == self.device and scale == self.scale and not self.announced:
            self.announced = True
            # After the frame with this picture has been handed to the compositor.
            GLib.idle_add(lambda: out("shown", self.connector, *self.device) and False)
        return True


class Patterns:
    def __init__(self):
        self.windows = {}
        self.animation = 0
        self.display = Gdk.Display.get_default()
        self.display.connect("monitor-added", lambda *a: self.changed())
        self.display.connect("monitor-removed", lambda *a: self.changed())
        self.watched = []
        self.pending = 0
        self.partial = b""
        self.place_windows()

    def changed(self, *args):
        # A layout change reaches GTK as several monitor changes: the windows are placed once it settles.
        if self.pending:
            GLib.source_remove(self.pending)
        self.pending = GLib.timeout_add(200, self.place_windows)

    def place_windows(self):
        self.pending = 0
        places = mutter_monitors()
        for monitor, handlers in self.watched:
            for h in handlers:
                monitor.disconnect(h)
        self.watched = []
        wanted = []
        for i in range(self.display.get_n_monitors()):
            monitor = self.display.get_monitor(i)
            self.watched.append((monitor, [monitor.connect("notify::geometry", self.changed),
                                           monitor.connect("notify::scale-factor", self.changed)]))
            geometry = monitor.get_geometry()
            place = places.get((geometry.x, geometry.y))
            if place is None:
                out("error no mutter monitor at", geometry.x, geometry.y)
                continue
            wanted.append((i, monitor.get_scale_factor(), *place))
        # While monitors change scale, mutter 43 may show a full-screen window on another monitor for a
        # moment, and GTK 3 can keep that monitor's scale: all windows are then made anew, the new before
        # the old go, so the focus stays on a pattern. Otherwise they stay (and keep the focus where it
        # was) and move to their monitors' new places.
        rescaled = any(c in self.windows and self.windows[c].scale != scale for _, scale, c, _, _ in wanted)
        old = list(self.windows.values()) if rescaled else []
        if rescaled:
            self.windows = {}
        for i, _, connector, width, height in wanted:
            if connector in self.windows:
                self.windows[connector].place(i, width, height)
            else:
                self.windows[connector] = MonitorWindow(connector, i, width, height)
        seen = {c for _, _, c, _, _ in wanted}
        old += [self.windows.pop(c) for c in list(self.windows) if c not in seen]
        for window in old:
            window.destroy()
        return False

    def animate(self, fps, connector=None):
        if self.animation:
            GLib.source_remove(self.animation)
            self.animation = 0
        self.animated = connector
        if fps > 0:
            self.animation = GLib.timeout_add(max(1, round(1000 / fps)), self.step)

    def step(self):
        for w in self.windows.values():
            if self.animated in (None, w.connector):
                w.set_shift(w.shift + 7)
        return True

    def on_input(self, source, condition):
        # Read from the descriptor itself: a buffered readline would keep a second waiting line where the
        # watch does not see it.
        data = os.read(sys.stdin.fileno(), 65536)
        if not data:
            Gtk.main_quit()
            return False
        self.partial += data
        *lines, self.partial = self.partial.split(b"\n")
        for words in (line.decode().split() for line in lines):
            if words[:1] == ["quit"]:
                Gtk.main_quit()
                return False
            if words[:1] == ["animate"]:
                self.animate(float(words[1]), words[2] if len(words) > 2 else None)
            elif words[:1] == ["shift"]:
                for w in self.windows.values():
                    w.set_shift(int(words[1]))
            elif words[:1] == ["still"]:
                self.animate(0)
                for w in self.windows.values():
                    w.set_shift(0)
            if words:
                out("ok", *words[:1])
        return True


def main():
    patterns = Patterns()
    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, patterns.on_input)
    Gtk.main()
    return 0


if __name__ == "__main__":
    sys.exit(main())
