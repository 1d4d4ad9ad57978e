#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A UDisks2 that knows one optical drive, on the bus the environment names
# as the system bus: what mirova-cdaudio asks of it to eject.
# Usage: fake_udisks.py NODE free|busy LOG (its disc is mounted)
# Each method called is written to LOG, one name a line.
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NODE, BUSY, LOG = sys.argv[1], sys.argv[2] == "busy", sys.argv[3]
UD = "org.freedesktop.UDisks2"
BLOCK, DRIVE = "/org/freedesktop/UDisks2/block_devices/sr0", "/org/freedesktop/UDisks2/drives/cd"


def called(name):
    with open(LOG, "a") as log:
        log.write(name + "\n")


class Objects(dbus.service.Object):
    @dbus.service.method("org.freedesktop.DBus.ObjectManager", out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        block = {UD + ".Block": dbus.Dictionary(
            {"Device": dbus.ByteArray(NODE.encode() + b"\0"), "Drive": dbus.ObjectPath(DRIVE)}, signature="sv")}
        block[UD + ".Filesystem"] = dbus.Dictionary(
            {"MountPoints": dbus.Array([dbus.ByteArray(b"/media/disc\0")], signature="ay")}, signature="sv")
        drive = {UD + ".Drive": dbus.Dictionary({"Ejectable": True}, signature="sv")}
        return {BLOCK: block, DRIVE: drive}

    @dbus.service.method(UD + ".Filesystem", in_signature="a{sv}")
    def Unmount(self, options):
        called("Unmount")
        if BUSY:
            raise dbus.exceptions.DBusException("target is busy", name=UD + ".Error.DeviceBusy")

    @dbus.service.method(UD + ".Drive", in_signature="a{sv}")
    def Eject(self, options):
        called("Eject")


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.bus.BusConnection(dbus.bus.BUS_SYSTEM)
name = dbus.service.BusName(UD, bus)
objects = [Objects(bus, "/org/freedesktop/UDisks2"), Objects(bus, BLOCK), Objects(bus, DRIVE)]
GLib.MainLoop().run()
