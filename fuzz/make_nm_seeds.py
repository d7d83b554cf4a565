#!/usr/bin/env python3
"""Writes the seed messages of fuzz_nm_readers (the encoding of NmMessage.h):
replies as NetworkManager gives them. Run again after a change of the
encoding: python3 fuzz/make_nm_seeds.py"""
import os
import struct

def text(value):
    data = value.encode()
    assert len(data) < 256
    return bytes([len(data)]) + data

def variant(signature, payload):
    return text(signature) + payload

def u32(value):
    return struct.pack(">I", value)

def boolean(value):
    return bytes([1 if value else 0])

def array(items):
    assert len(items) < 256
    return bytes([len(items)]) + b"".join(items)

def entry(key, value):
    return text(key) + value

def seed(signature, body):
    return signature.encode() + b"\n" + body

SEEDS = {
    "settings_pppoe": seed("a{sa{sv}}", array([
        entry("connection", array([
            entry("id", variant("s", text("Broadband"))),
            entry("uuid", variant("s", text("5b6a2b8e-1c1d-4c9a-9a53-0c9f6a2b7e11"))),
            entry("type", variant("s", text("pppoe"))),
            entry("autoconnect", variant("b", boolean(False))),
        ])),
        entry("pppoe", array([
            entry("username", variant("s", text("user@isp"))),
            entry("service", variant("s", text(""))),
        ])),
        entry("ipv4", array([entry("method", variant("s", text("auto")))])),
    ])),
    "settings_gsm": seed("a{sa{sv}}", array([
        entry("connection", array([
            entry("id", variant("s", text("Mobile"))),
            entry("uuid", variant("s", text("0d0c7b7e-4a55-4f38-8a0e-55d1d1e2c3f4"))),
            entry("type", variant("s", text("gsm"))),
        ])),
        entry("gsm", array([
            entry("apn", variant("s", text("internet"))),
            entry("username", variant("s", text("web"))),
        ])),
    ])),
    "secrets_pppoe": seed("a{sa{sv}}", array([
        entry("pppoe", array([entry("password", variant("s", text("secret")))])),
    ])),
    "active_connection": seed("a{sv}", array([
        entry("Connection", variant("o", text("/org/freedesktop/NetworkManager/Settings/3"))),
        entry("Type", variant("s", text("pppoe"))),
        entry("State", variant("u", u32(2))),
        entry("Devices", variant("ao", array([
            text("/org/freedesktop/NetworkManager/Devices/4")]))),
        entry("Ip4Config", variant("o", text("/org/freedesktop/NetworkManager/IP4Config/7"))),
        entry("Default", variant("b", boolean(True))),
    ])),
    "ip4config": seed("a{sv}", array([
        entry("AddressData", variant("aa{sv}", array([
            array([entry("address", variant("s", text("100.64.12.34"))),
                   entry("prefix", variant("u", u32(32)))]),
            array([entry("address", variant("s", text("100.64.12.35")))]),
        ]))),
        entry("Gateway", variant("s", text("100.64.0.1"))),
    ])),
    "connection_list": seed("ao", array([
        text("/org/freedesktop/NetworkManager/Settings/1"),
        text("/org/freedesktop/NetworkManager/Settings/2"),
    ])),
    "property_paths": seed("v", variant("ao", array([
        text("/org/freedesktop/NetworkManager/ActiveConnection/9")]))),
    "property_interface": seed("v", variant("s", text("ppp0"))),
    "property_state": seed("v", variant("u", u32(100))),
}

folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "fuzz_nm_readers")
os.makedirs(folder, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)
