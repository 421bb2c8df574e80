#!/usr/bin/env python3
"""Writes the seed inputs of the USB side fuzz target into corpus/usb_side/
(the device-layer targets fed with the virtual camera's real bytes are
written by ../record_vcam.py). Each seed is in the byte layout the target
reads; run again after changing a layout."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
from seed_bytes import u8, u16, write as write_seed  # noqa: E402


def write(target, name, data):
    write_seed('camlink', target, name, data)


def sysfs(which, text):
    return u8(which) + u16(len(text)) + text


def receive(size_sel, mul=0):
    return u8(size_sel & 0x3F) + u8(mul)


def send(whole, n=0, extra=0):
    return u8(0x80 | (0x40 if whole else 0)) + (u8(extra) if whole else u16(n))


OK, ZLP, SHORT, TIMEOUT = 0x00, 0x10, 0x20, 0x0C

# A camera's serial, read as the instance id; packets of 512 bytes: a
# 12-byte header staged from one packet, then the body straight in.
write('usb_side', 'serial_and_staged_header',
      sysfs(0, b'KVX00001\n') + u8(3) + u8(5) +
      receive(11) + u8(OK) + receive(11) + receive(63, 8) + u8(OK) +
      send(False, 12) + u8(OK) + send(True, 0, 0) + u8(OK) + u8(OK))
# A product string with a trailing space and a second line; zero-length
# packets before the data, then a run of them without end.
write('usb_side', 'product_and_zero_length_packets',
      sysfs(1, b'Varno Camera \nsecond line\n') + u8(2) + u8(4) +
      receive(11) + u8(ZLP) + u8(ZLP) + u8(OK) + receive(20) +
      receive(11) + u8(ZLP) * 6)
# A short packet and a timeout that still moved bytes, 64-byte packets.
write('usb_side', 'short_packets_and_timeout',
      sysfs(2, b'Varno\r\n') + u8(2) + u8(6) +
      receive(63, 3) + u8(SHORT) + u16(100) + receive(5) + u8(SHORT | TIMEOUT) + u16(30) +
      receive(5) + receive(5) + u8(0x30) + u8(9) + send(False, 700) + u8(0x10) + u16(300) +
      u8(OK) + u8(OK))
# A serial that must not become an instance id, a device that claims more
# than it was asked for, and a send cut short.
write('usb_side', 'hostile_serial_and_oversized',
      sysfs(0, b'..#\\' + b'A' * 300) + u8(1) + u8(3) +
      receive(2) + u8(0x30) + u8(0) + send(False, 64) + u8(0x10) + u16(0) + receive(1) + u8(0x0D))
