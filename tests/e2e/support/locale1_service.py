#!/usr/bin/python3
# Stands in for systemd-localed on a private bus: mutter without GNOME Shell takes its
# keyboard layout from org.freedesktop.locale1's X11Layout on the system bus.
#
#     locale1_service.py BUS_ADDRESS LAYOUT
#
# Owns org.freedesktop.locale1 on BUS_ADDRESS and answers its X11 properties with LAYOUT
# (for example "de").
import sys

from gi.repository import Gio, GLib

XML = """<node><interface name="org.freedesktop.locale1">
<property name="X11Layout" type="s" access="read"/>
<property name="X11Model" type="s" access="read"/>
<property name="X11Variant" type="s" access="read"/>
<property name="X11Options" type="s" access="read"/>
</interface></node>"""


def main():
    address, layout = sys.argv[1], sys.argv[2]
    values = {"X11Layout": layout, "X11Model": "pc105", "X11Variant": "", "X11Options": ""}
    bus = Gio.DBusConnection.new_for_address_sync(
        address,
        Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
        | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
        None,
        None,
    )
    interface = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    bus.register_object(
        "/org/freedesktop/locale1",
        interface,
        None,
        lambda *args: GLib.Variant("s", values[args[4]]),
        None,
    )
    loop = GLib.MainLoop()
    Gio.bus_own_name_on_connection(
        bus, "org.freedesktop.locale1", Gio.BusNameOwnerFlags.NONE, None, lambda *_: loop.quit()
    )
    loop.run()


if __name__ == "__main__":
    main()
