#!/usr/bin/python3
"""A screen-cast portal backend for the tests: what a desktop would do, without a dialog.

It exports org.freedesktop.impl.portal.ScreenCast on the session bus for the real xdg-desktop-portal
frontend (found through test.portal with XDG_CURRENT_DESKTOP=test). Each call appends one JSON line to
$TINTVALE_PORTAL_DIR/calls.log with the options it received. What it answers is read from files in
$TINTVALE_PORTAL_DIR at each call:
  mode     grant (default) | cancel (the user says no at Start) | refuse-token (SelectSources fails
           when the frontend passes stored restore data)
  streams  one line per monitor: "NODE X Y WIDTH HEIGHT" (its place in the layout), handed out by Start;
           "NODE - - WIDTH HEIGHT" gives no position, as KDE does
At start-up, AvailableCursorModes is 1|2|4, or 1|2 when $TINTVALE_PORTAL_DIR/no-metadata exists (the
frontend reads it once).
It also owns mutter's org.gnome.Mutter.DisplayConfig name, for its MonitorsChanged signal: the test's
DisplayChange hook sends it and ends every session, as mutter does on any monitor change.
"""
import json
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.impl.portal.desktop.test"
PATH = "/org/freedesktop/portal/desktop"
IFACE = "org.freedesktop.impl.portal.ScreenCast"
SESSION_IFACE = "org.freedesktop.impl.portal.Session"
PROPS = "org.freedesktop.DBus.Properties"
DIR = os.environ["TINTVALE_PORTAL_DIR"]


def plain(value):
    """python-dbus values as JSON-friendly ones."""
    if isinstance(value, (dbus.Dictionary, dict)):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (dbus.Array, dbus.Struct, list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, dbus.Boolean):
        return bool(value)
    if isinstance(value, (dbus.String, dbus.ObjectPath)):
        return str(value)
    if isinstance(value, (dbus.Byte, dbus.Int16, dbus.UInt16, dbus.Int32, dbus.UInt32, dbus.Int64, dbus.UInt64)):
        return int(value)
    return value


def log(call, **fields):
    with open(os.path.join(DIR, "calls.log"), "a") as f:
        f.write(json.dumps(dict(call=call, **{k: plain(v) for k, v in fields.items()})) + "\n")


def read(name, default=""):
    try:
        with open(os.path.join(DIR, name)) as f:
            return f.read().strip()
    except OSError:
        return default


class Session(dbus.service.Object):
    def __init__(self, bus, path):
        super().__init__(bus, path)
        self.path = path

    @dbus.service.method(SESSION_IFACE, in_signature="", out_signature="")
    def Close(self):
        log("Close", session=self.path)
        self.remove_from_connection()

    @dbus.service.signal(SESSION_IFACE, signature="")
    def Closed(self):
        pass


class ScreenCast(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus
        self.sessions = {}
        modes = 1 | 2 if os.path.exists(os.path.join(DIR, "no-metadata")) else 1 | 2 | 4
        self.props = {
            "AvailableSourceTypes": dbus.UInt32(1 | 2),
            "AvailableCursorModes": dbus.UInt32(modes),
            "version": dbus.UInt32(4),
        }

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, prop):
        return self.props[prop]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return dbus.Dictionary(self.props, signature="sv")

    @dbus.service.method(IFACE, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session_handle, app_id, options):
        log("CreateSession", session=session_handle, options=options)
        self.sessions[str(session_handle)] = Session(self.bus, session_handle)
        return dbus.UInt32(0), dbus.Dictionary({}, signature="sv")

    @dbus.service.method(IFACE, in_signature="oosa{sv}", out_signature="ua{sv}")
    def SelectSources(self, handle, session_handle, app_id, options):
        log("SelectSources", session=session_handle, options=options)
        if read("mode") == "refuse-token" and "restore_data" in options:
            return dbus.UInt32(2), dbus.Dictionary({}, signature="sv")
        return dbus.UInt32(0), dbus.Dictionary({}, signature="sv")

    @dbus.service.method(IFACE, in_signature="oossa{sv}", out_signature="ua{sv}")
    def Start(self, handle, session_handle, app_id, parent_window, options):
        mode = read("mode")
        log("Start", session=session_handle, mode=mode, streams=read("streams"))
        if mode == "cancel":
            return dbus.UInt32(1), dbus.Dictionary({}, signature="sv")
        streams = []
        for line in read("streams").splitlines():
            node, x, y, w, h = line.split()
            props = {
                "size": dbus.Struct((dbus.Int32(int(w)), dbus.Int32(int(h))), signature="ii"),
                "source_type": dbus.UInt32(1),
            }
            if x != "-":
                props["position"] = dbus.Struct((dbus.Int32(int(x)), dbus.Int32(int(y))), signature="ii")
            streams.append(dbus.Struct((dbus.UInt32(int(node)), dbus.Dictionary(props, signature="sv")),
                                       signature="ua{sv}"))
        results = {
            "streams": dbus.Array(streams, signature="(ua{sv})"),
            "persist_mode": dbus.UInt32(2),
            "restore_data": dbus.Struct(("tintvale-test", dbus.UInt32(1), dbus.String("monitors", variant_level=1)),
                                        signature="suv"),
        }
        return dbus.UInt32(0), dbus.Dictionary(results, signature="sv")

    # The test's own hook: the desktop ends every session, as its sharing indicator's stop button does.
    @dbus.service.method("org.tintvale.Test", in_signature="", out_signature="")
    def StopSharing(self):
        for path, session in list(self.sessions.items()):
            log("StopSharing", session=path)
            session.Closed()

    # A monitor change as mutter makes it: MonitorsChanged and every session ended, in the order given
    # ("signal-first" or "close-first"), or the signal alone ("signal-only").
    @dbus.service.method("org.tintvale.Test", in_signature="s", out_signature="")
    def DisplayChange(self, order):
        log("DisplayChange", order=order)
        if order == "signal-first" or order == "signal-only":
            self.display_config.MonitorsChanged()
        if order != "signal-only":
            self.StopSharing()
        if order == "close-first":
            self.display_config.MonitorsChanged()


class DisplayConfig(dbus.service.Object):
    """The one signal of mutter's display configuration interface that the program listens to."""

    @dbus.service.signal("org.gnome.Mutter.DisplayConfig", signature="")
    def MonitorsChanged(self):
        pass


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    # Both kept referenced: a collected BusName gives its name back.
    portal = ScreenCast(bus)
    portal.display_config = DisplayConfig(bus, "/org/gnome/Mutter/DisplayConfig")
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    mutter_name = dbus.service.BusName("org.gnome.Mutter.DisplayConfig", bus, do_not_queue=True)
    print("backend ready", name.get_name(), mutter_name.get_name(), portal.props["AvailableCursorModes"], flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    sys.exit(main())
