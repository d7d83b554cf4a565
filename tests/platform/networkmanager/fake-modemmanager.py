#!/usr/bin/python3
"""A stand-in ModemManager for the tests: one registered 3GPP modem on the
testbed's bus, whose Simple.Connect hands out a bearer with a static IPv4
configuration on a veth data port, so that NetworkManager dials gsm profiles
for real. A Connect with the APN "refuse-auth" fails as a refused password does
(NetworkManager reads it as "SIM PIN/password incorrect"), one with
"no-carrier" as a lost carrier; one with "silent" is never answered.

Usage: fake-modemmanager.py DATA_PORT ADDRESS/PREFIX GATEWAY
"""

import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.ModemManager1"
ROOT = "/org/freedesktop/ModemManager1"
MODEM = ROOT + "/Modem/0"
BEARER = ROOT + "/Bearer/0"
SIM = ROOT + "/SIM/0"
IFACE_MODEM = NAME + ".Modem"
IFACE_3GPP = NAME + ".Modem.Modem3gpp"
IFACE_SIMPLE = NAME + ".Modem.Simple"
IFACE_BEARER = NAME + ".Bearer"
IFACE_SIM = NAME + ".Sim"
PROPS = "org.freedesktop.DBus.Properties"
OBJMGR = "org.freedesktop.DBus.ObjectManager"

STATE_REGISTERED = 8
STATE_CONNECTING = 10
STATE_CONNECTED = 11
CAP_GSM_UMTS = 4
LOCK_NONE = 1
IP_METHOD_STATIC = 2
IP_FAMILY_IPV4 = 1


class PropertyObject(dbus.service.Object):
    """An object with org.freedesktop.DBus.Properties over a dictionary."""

    def __init__(self, bus, path, interfaces):
        super().__init__(bus, path)
        self.interfaces = interfaces

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.interfaces[interface][name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return dbus.Dictionary(self.interfaces.get(interface, {}), signature="sv")

    @dbus.service.method(PROPS, in_signature="ssv")
    def Set(self, interface, name, value):
        self.interfaces[interface][name] = value

    @dbus.service.signal(PROPS, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    def update(self, interface, changes):
        self.interfaces[interface].update(changes)
        self.PropertiesChanged(interface, dbus.Dictionary(changes, signature="sv"), [])


class Bearer(PropertyObject):
    def __init__(self, bus, port, address, prefix, gateway):
        ip4 = dbus.Dictionary({"method": dbus.UInt32(IP_METHOD_STATIC),
                               "address": address, "prefix": dbus.UInt32(prefix),
                               "gateway": gateway}, signature="sv")
        super().__init__(bus, BEARER, {IFACE_BEARER: {
            "Interface": "", "Connected": False, "Suspended": False,
            "Ip4Config": dbus.Dictionary({}, signature="sv"),
            "Ip6Config": dbus.Dictionary({}, signature="sv"),
            "IpTimeout": dbus.UInt32(20), "BearerType": dbus.UInt32(1),
            "Properties": dbus.Dictionary({}, signature="sv"),
            "Stats": dbus.Dictionary({}, signature="sv"),
        }})
        self.port = port
        self.ip4 = ip4

    def connect_up(self):
        self.update(IFACE_BEARER, {"Interface": self.port, "Ip4Config": self.ip4,
                                   "Connected": True})

    def connect_down(self):
        self.update(IFACE_BEARER, {"Connected": False, "Interface": "",
                                   "Ip4Config": dbus.Dictionary({}, signature="sv")})

    @dbus.service.method(IFACE_BEARER)
    def Connect(self):
        self.connect_up()

    @dbus.service.method(IFACE_BEARER)
    def Disconnect(self):
        self.connect_down()


class Modem(PropertyObject):
    def __init__(self, bus, port, bearer):
        super().__init__(bus, MODEM, {
            IFACE_MODEM: {
                "Sim": dbus.ObjectPath(SIM), "SimSlots": dbus.Array([], signature="o"),
                "PrimarySimSlot": dbus.UInt32(0),
                "Bearers": dbus.Array([], signature="o"),
                "SupportedCapabilities": dbus.Array([dbus.UInt32(CAP_GSM_UMTS)], signature="u"),
                "CurrentCapabilities": dbus.UInt32(CAP_GSM_UMTS),
                "MaxBearers": dbus.UInt32(1), "MaxActiveBearers": dbus.UInt32(1),
                "Manufacturer": "Dravik", "Model": "Stand-in modem", "Revision": "1",
                "HardwareRevision": "1", "CarrierConfiguration": "", "CarrierConfigurationRevision": "",
                "DeviceIdentifier": "dravik-stand-in-modem", "Device": "/sys/devices/virtual/dravik0",
                "Drivers": dbus.Array(["dravik"], signature="s"), "Plugin": "dravik",
                "PrimaryPort": "ttyDRAVIK0",
                "Ports": dbus.Array([dbus.Struct(("ttyDRAVIK0", dbus.UInt32(3))),
                                     dbus.Struct((port, dbus.UInt32(2)))], signature="(su)"),
                "EquipmentIdentifier": "356938035643809",
                "UnlockRequired": dbus.UInt32(LOCK_NONE),
                "UnlockRetries": dbus.Dictionary({}, signature="uu"),
                "State": dbus.Int32(STATE_REGISTERED), "StateFailedReason": dbus.UInt32(0),
                "AccessTechnologies": dbus.UInt32(1 << 5),
                "SignalQuality": dbus.Struct((dbus.UInt32(80), True)),
                "OwnNumbers": dbus.Array([], signature="s"), "PowerState": dbus.UInt32(3),
                "SupportedModes": dbus.Array([dbus.Struct((dbus.UInt32(4), dbus.UInt32(0)))],
                                             signature="(uu)"),
                "CurrentModes": dbus.Struct((dbus.UInt32(4), dbus.UInt32(0))),
                "SupportedBands": dbus.Array([], signature="u"),
                "CurrentBands": dbus.Array([], signature="u"),
                "SupportedIpFamilies": dbus.UInt32(IP_FAMILY_IPV4),
            },
            IFACE_3GPP: {
                "Imei": "356938035643809", "RegistrationState": dbus.UInt32(1),
                "OperatorCode": "00101", "OperatorName": "Dravik Mobile",
                "EnabledFacilityLocks": dbus.UInt32(0), "SubscriptionState": dbus.UInt32(0),
                "EpsUeModeOperation": dbus.UInt32(0),
                "Pco": dbus.Array([], signature="(ubay)"),
                "InitialEpsBearer": dbus.ObjectPath("/"),
                "InitialEpsBearerSettings": dbus.Dictionary({}, signature="sv"),
                "PacketServiceState": dbus.UInt32(2),
            },
            IFACE_SIMPLE: {},
        })
        self.bearer = bearer
        self.silent = []

    @dbus.service.method(IFACE_MODEM, in_signature="b")
    def Enable(self, enable):
        pass

    @dbus.service.method(IFACE_MODEM, in_signature="a{sv}", out_signature="o")
    def CreateBearer(self, properties):
        return dbus.ObjectPath(BEARER)

    @dbus.service.method(IFACE_MODEM, out_signature="ao")
    def ListBearers(self):
        return dbus.Array(self.interfaces[IFACE_MODEM]["Bearers"], signature="o")

    @dbus.service.method(IFACE_SIMPLE, in_signature="a{sv}", out_signature="o",
                         async_callbacks=("reply", "error"))
    def Connect(self, properties, reply, error):
        apn = str(properties.get("apn", ""))
        if apn == "silent":
            # A network that never answers: the call is left open.
            self.silent.append((reply, error))
            return
        try:
            reply(self.connect(apn))
        except dbus.exceptions.DBusException as failure:
            error(failure)

    def connect(self, apn):
        failures = {
            "refuse-auth": NAME + ".Error.MobileEquipment.IncorrectPassword",
            "no-carrier": NAME + ".Error.Connection.NoCarrier",
        }
        if apn in failures:
            raise dbus.exceptions.DBusException("Connect failed: " + apn, name=failures[apn])
        self.update(IFACE_MODEM, {"State": dbus.Int32(STATE_CONNECTING)})
        self.bearer.connect_up()
        self.update(IFACE_MODEM, {"Bearers": dbus.Array([dbus.ObjectPath(BEARER)], signature="o"),
                                  "State": dbus.Int32(STATE_CONNECTED)})
        return dbus.ObjectPath(BEARER)

    @dbus.service.method(IFACE_SIMPLE, in_signature="o")
    def Disconnect(self, bearer):
        self.bearer.connect_down()
        self.update(IFACE_MODEM, {"State": dbus.Int32(STATE_REGISTERED)})

    @dbus.service.method(IFACE_SIMPLE, out_signature="a{sv}")
    def GetStatus(self):
        return dbus.Dictionary({"state": self.interfaces[IFACE_MODEM]["State"]}, signature="sv")


class Sim(PropertyObject):
    def __init__(self, bus):
        super().__init__(bus, SIM, {IFACE_SIM: {
            "Active": True, "SimIdentifier": "8901001", "Imsi": "001010000000001",
            "Eid": "", "OperatorIdentifier": "00101", "OperatorName": "Dravik Mobile",
            "EmergencyNumbers": dbus.Array([], signature="s"),
            "PreferredNetworks": dbus.Array([], signature="(su)"),
            "SimType": dbus.UInt32(1), "EsimStatus": dbus.UInt32(0),
            "Removability": dbus.UInt32(1),
        }})


class Manager(dbus.service.Object):
    def __init__(self, bus, objects):
        super().__init__(bus, ROOT)
        self.objects = objects

    @dbus.service.method(OBJMGR, out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        return {dbus.ObjectPath(MODEM): {
            interface: dbus.Dictionary(properties, signature="sv")
            for interface, properties in self.objects[MODEM].interfaces.items()}}

    @dbus.service.signal(OBJMGR, signature="oa{sa{sv}}")
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal(OBJMGR, signature="oas")
    def InterfacesRemoved(self, path, interfaces):
        pass

    @dbus.service.method(NAME, in_signature="s")
    def SetLogging(self, level):
        pass

    @dbus.service.method(NAME)
    def ScanDevices(self):
        pass


def main():
    if len(sys.argv) != 4 or "/" not in sys.argv[2]:
        print(__doc__, file=sys.stderr)
        return 2
    port = sys.argv[1]
    address, prefix = sys.argv[2].split("/")
    gateway = sys.argv[3]
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    bearer = Bearer(bus, port, address, int(prefix), gateway)
    modem = Modem(bus, port, bearer)
    sim = Sim(bus)
    Manager(bus, {MODEM: modem, SIM: sim, BEARER: bearer})
    _name = dbus.service.BusName(NAME, bus)
    GLib.MainLoop().run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
