#!/usr/bin/python3
"""The person at the GNOME test desktop: moves mutter's pointer, clicks and types through
org.gnome.Mutter.RemoteDesktop, changes the monitors through org.gnome.Mutter.DisplayConfig and writes
screen-sharing grants into the permission store.

  control.py grant TOKEN [CONNECTOR...]   a grant for every monitor (or those named), stored under TOKEN
                                          for programs without an app id, as the portal keeps one
  control.py used TOKEN                   when the grant stored under TOKEN was last used (µs since 1970, as
                                          the GNOME backend records it); status 1 when there is none
  control.py state                        "mode physical|logical", then one line per monitor:
                                          CONNECTOR X Y WIDTH HEIGHT SCALE [primary] (its place in the
                                          layout, its size in device pixels)
  control.py                              the person, driven by commands on stdin, one per line:
    move CONNECTOR X Y      the pointer to X, Y of that monitor's picture (device pixels)
    movex X Y               the pointer to X, Y of XWayland's screen (the layout's coordinates)
    click [BUTTON [COUNT]]  press and release a button (1 left) COUNT times
    key KEYSYM...           press and release each key (X keysym names: Return, numbersign, a)
    sweep CONNECTOR Y HZ    from now on the pointer moves HZ times a second along row Y of that monitor, 3
                            pixels a move, to and fro (for the benchmark); "sweep stop" ends it
    layout MODE MONITOR...  apply a monitor layout, MODE physical or logical, each MONITOR
                            CONNECTOR:X,Y,SCALE[,primary]; waits until mutter has it
    quit
  It answers each command with one line: "ok ..." or "error ...". It prints "ready" once the pointer and
  keyboard work. A layout change ends every screen cast, the person's own too: it starts a new one.
"""
import os
import sys

import dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

MUTTER_RD = "org.gnome.Mutter.RemoteDesktop"
MUTTER_SC = "org.gnome.Mutter.ScreenCast"
DISPLAY_CONFIG = "org.gnome.Mutter.DisplayConfig"
LAYOUT_MODES = {"logical": 1, "physical": 2}
# X keysyms for the names the tests use (mutter takes keysyms).
KEYSYMS = {"Return": 0xFF0D, "Escape": 0xFF1B, "Tab": 0xFF09, "space": 0x20, "numbersign": 0x23,
           "Shift_L": 0xFFE1, "BackSpace": 0xFF08}


def out(*words):
    print(*words, flush=True)


def display_config(bus):
    return dbus.Interface(bus.get_object(DISPLAY_CONFIG, "/org/gnome/Mutter/DisplayConfig"), DISPLAY_CONFIG)


def current_state(bus):
    """(serial, monitors {connector: (match string, current mode id, width, height)}, logical monitors,
    properties)."""
    serial, monitors, logical, props = display_config(bus).GetCurrentState()
    found = {}
    for (connector, vendor, product, serial_no), modes, _ in monitors:
        for mode in modes:
            if mode[6].get("is-current", False):
                found[str(connector)] = ("%s:%s:%s" % (vendor, product, serial_no), str(mode[0]),
                                         int(mode[1]), int(mode[2]))
    return serial, found, logical, props


def layout_mode(props):
    return "logical" if props.get("layout-mode", LAYOUT_MODES["logical"]) == LAYOUT_MODES["logical"] else "physical"


def print_state(bus):
    _, monitors, logical, props = current_state(bus)
    out("mode", layout_mode(props))
    for x, y, scale, _, primary, monitor_ids, _ in logical:
        for monitor_id in monitor_ids:
            connector = str(monitor_id[0])
            _, _, width, height = monitors[connector]
            out(connector, int(x), int(y), width, height, float(scale), "primary" if primary else "")


def permission_store(bus):
    return dbus.Interface(bus.get_object("org.freedesktop.impl.portal.PermissionStore",
                                         "/org/freedesktop/impl/portal/PermissionStore"),
                          "org.freedesktop.impl.portal.PermissionStore")


def last_used(bus, token):
    try:
        _, data = permission_store(bus).Lookup("screencast", token)
    except dbus.DBusException:
        return None
    # ('GNOME', 1, <(created, last used, streams)>)
    return int(data[2][1])


def grant(bus, token, connectors):
    _, monitors, _, _ = current_state(bus)
    names = connectors or sorted(monitors)
    streams = dbus.Array([dbus.Struct((dbus.UInt32(i), dbus.UInt32(1), dbus.String(monitors[c][0], variant_level=1)),
                                      signature="uuv") for i, c in enumerate(names)], signature="(uuv)")
    now = dbus.Int64(GLib.get_real_time())
    data = dbus.Struct(("GNOME", dbus.UInt32(1), dbus.Struct((now, now, streams), signature="xxa(uuv)",
                                                             variant_level=1)), signature="suv", variant_level=1)
    store = permission_store(bus)
    # The app id of a program that runs on the host, outside any app sandbox, is "".
    store.Set("screencast", True, token, dbus.Dictionary({"": ["yes"]}, signature="sas"), data)


class Person:
    def __init__(self, bus, loop):
        self.bus = bus
        self.loop = loop
        self.session = None
        self.streams = {}
        self.pending_layout = None
        self.lines = []
        self.partial = b""
        self.busy = False
        self.sweeping = 0
        self.pointer = None  # where the person last put the pointer: connector, x, y
        display_config(bus).connect_to_signal("MonitorsChanged", self.on_monitors_changed)

    def start_session(self):
        """A remote-desktop session with one screen-cast stream per monitor, for the pointer's positions."""
        rd = dbus.Interface(self.bus.get_object(MUTTER_RD, "/org/gnome/Mutter/RemoteDesktop"), MUTTER_RD)
        path = rd.CreateSession()
        obj = self.bus.get_object(MUTTER_RD, path)
        session_id = obj.Get(MUTTER_RD + ".Session", "SessionId", dbus_interface=dbus.PROPERTIES_IFACE)
        sc = dbus.Interface(self.bus.get_object(MUTTER_SC, "/org/gnome/Mutter/ScreenCast"), MUTTER_SC)
        sc_path = sc.CreateSession(dbus.Dictionary({"remote-desktop-session-id": session_id}, signature="sv"))
        sc_session = dbus.Interface(self.bus.get_object(MUTTER_SC, sc_path), MUTTER_SC + ".Session")
        _, monitors, _, _ = current_state(self.bus)
        self.streams = {c: str(sc_session.RecordMonitor(c, dbus.Dictionary({}, signature="sv"))) for c in monitors}
        self.session = dbus.Interface(obj, MUTTER_RD + ".Session")
        self.session.Start()
        # mutter drops the first keyboard event of a session.
        self.session.NotifyKeyboardKeysym(dbus.UInt32(KEYSYMS["Shift_L"]), True)
        self.session.NotifyKeyboardKeysym(dbus.UInt32(KEYSYMS["Shift_L"]), False)
        # Headless mutter has no pointer until a session's first motion makes one, and it goes with the
        # session: put where it was (at first near the top left of the first monitor), as a desktop with a
        # mouse always has a pointer somewhere.
        if self.pointer is None:
            self.pointer = (sorted(monitors)[0], 8.0, 8.0)
        self.session.NotifyPointerMotionAbsolute(self.streams[self.pointer[0]], self.pointer[1], self.pointer[2])

    def on_monitors_changed(self):
        if self.pending_layout is None:
            return
        # Every screen cast has ended with the old layout: the person's pointer needs a new one.
        self.pending_layout = None
        try:
            self.start_session()
            out("ok layout")
        except dbus.DBusException as e:
            out("error", e.get_dbus_message())
        self.busy = False
        self.next_line()

    def layout(self, mode, wanted):
        serial, monitors, _, props = current_state(self.bus)
        logical = []
        for monitor in wanted:
            connector, values = monitor.split(":")
            fields = values.split(",")
            x, y, scale = int(fields[0]), int(fields[1]), float(fields[2])
            primary = len(fields) > 3 and fields[3] == "primary"
            monitor = dbus.Struct((connector, monitors[connector][1], dbus.Dictionary({}, signature="sv")),
                                  signature="ssa{sv}")
            logical.append(dbus.Struct((dbus.Int32(x), dbus.Int32(y), dbus.Double(scale), dbus.UInt32(0), primary,
                                        dbus.Array([monitor], signature="(ssa{sv})")), signature="iiduba(ssa{sv})"))
        options = {}
        if props.get("supports-changing-layout-mode", False):
            options["layout-mode"] = dbus.UInt32(LAYOUT_MODES[mode])
        elif mode != "physical":
            raise ValueError("this mutter cannot use the logical layout mode (scale-monitor-framebuffer is off)")
        self.pending_layout = serial
        # 1: temporary, as the display settings' preview applies it; no confirmation asked.
        display_config(self.bus).ApplyMonitorsConfig(dbus.UInt32(serial), dbus.UInt32(1), logical,
                                                      dbus.Dictionary(options, signature="sv"))

    def layout_to_stream(self, x, y):
        """The monitor that holds a point of the layout, and the point in that monitor's picture."""
        _, monitors, logical, props = current_state(self.bus)
        for lx, ly, scale, _, _, monitor_ids, _ in logical:
            connector = str(monitor_ids[0][0])
            _, _, width, height = monitors[connector]
            # The layout is in device pixels in the physical mode, in logical pixels in the logical one.
            f = float(scale) if layout_mode(props) == "logical" else 1.0
            if lx <= x < lx + width / f and ly <= y < ly + height / f:
                return connector, (x - lx) * f, (y - ly) * f
        raise ValueError("no monitor at %g,%g" % (x, y))

    def sweep(self, connector, y, hz):
        width = current_state(self.bus)[1][connector][2]
        state = {"x": 0, "step": 3}

        def move():
            # Not waited for, so the moves keep their rate.
            self.session.NotifyPointerMotionAbsolute(self.streams[connector], float(state["x"]), y,
                                                     reply_handler=lambda: None, error_handler=lambda e: None)
            if not 0 <= state["x"] + state["step"] < width:
                state["step"] = -state["step"]
            state["x"] += state["step"]
            return True
        self.sweeping = GLib.timeout_add(max(1, round(1000 / hz)), move)

    def run(self, words):
        """Runs one command; False when its answer comes later."""
        s = self.session
        if words[0] in ("move", "movex"):
            if words[0] == "move":
                self.pointer = (words[1], float(words[2]), float(words[3]))
            else:
                self.pointer = self.layout_to_stream(float(words[1]), float(words[2]))
            s.NotifyPointerMotionAbsolute(self.streams[self.pointer[0]], self.pointer[1], self.pointer[2])
        elif words[0] == "click":
            button = {"1": 0x110, "2": 0x112, "3": 0x111}[words[1] if len(words) > 1 else "1"]  # evdev codes
            for _ in range(int(words[2]) if len(words) > 2 else 1):
                s.NotifyPointerButton(button, True)
                s.NotifyPointerButton(button, False)
        elif words[0] == "key":
            for name in words[1:]:
                sym = KEYSYMS.get(name, ord(name) if len(name) == 1 else None)
                s.NotifyKeyboardKeysym(dbus.UInt32(sym), True)
                s.NotifyKeyboardKeysym(dbus.UInt32(sym), False)
        elif words[0] == "sweep":
            if self.sweeping:
                GLib.source_remove(self.sweeping)
                self.sweeping = 0
            if words[1] != "stop":
                self.sweep(words[1], float(words[2]), float(words[3]))
        elif words[0] == "layout":
            self.layout(words[1], words[2:])
            return False
        elif words[0] == "quit":
            self.loop.quit()
            return True
        else:
            raise ValueError("unknown command " + words[0])
        out("ok", words[0])
        return True

    def on_input(self, source, condition):
        # Read from the descriptor itself: a buffered readline would keep a second waiting line where the
        # watch does not see it.
        data = os.read(sys.stdin.fileno(), 65536)
        if not data:
            self.loop.quit()
            return False
        self.partial += data
        *lines, self.partial = self.partial.split(b"\n")
        self.lines += [line.decode().split() for line in lines if line.strip()]
        self.next_line()
        return True

    def next_line(self):
        while self.lines and not self.busy:
            words = self.lines.pop(0)
            try:
                self.busy = not self.run(words)
            except (dbus.DBusException, ValueError, KeyError, IndexError) as e:
                out("error", words[0], e.get_dbus_message() if isinstance(e, dbus.DBusException) else repr(e))
                self.pending_layout = None
                self.busy = False


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    if len(sys.argv) > 1 and sys.argv[1] == "grant":
        grant(bus, sys.argv[2], sys.argv[3:])
        return 0
    if len(sys.argv) > 1 and sys.argv[1] == "used":
        used = last_used(bus, sys.argv[2])
        if used is None:
            return 1
        out(used)
        return 0
    if len(sys.argv) > 1 and sys.argv[1] == "state":
        print_state(bus)
        return 0
    loop = GLib.MainLoop()
    person = Person(bus, loop)
    person.start_session()
    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, person.on_input)
    out("ready")
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
