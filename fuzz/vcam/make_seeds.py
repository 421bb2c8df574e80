#!/usr/bin/env python3
"""Writes the seed inputs of the virtual camera's request fuzz target into
corpus/requests/: host conversations in the byte layout the target reads
(camera options, then one pick and its values per request)."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
from seed_bytes import u8, u16, write as write_seed  # noqa: E402


def write(name, data):
    write_seed('vcam', 'requests', name, data)


# Reads by index of the target's table.
CONFIG, STATUS, STATUS2, LIST1, LIST2, VIEW = 0, 1, 2, 13, 14, 15


def camera(kind, parts=1, destination=2, protocol3=False, size=3000, remaining=3):
    flags = kind | ((parts - 1) << 2) | ((destination - 1) << 4) | (0x40 if protocol3 else 0)
    return u8(flags) + u16(size - 1) + u8(remaining)


def requests(*items):
    return u8(len(items) - 1) + b''.join(items)


def read(index, *params):
    return u8(0) + u8(len(params)) + b''.join(u8(p) for p in params) + u8(index)


def shutter(mode=2):
    return u8(4) + u8(mode) + u8(0)


def body(mode=1):
    return u8(5) + u8(mode - 1)


def piece(number=1, file=0, offset=0, size=1000, big=True):
    return (u8(6) + u8(number - 1) + u8(0) + u8(file) + u16(offset) + u8(1) + u16(size) +
            u8(1 if big else 0))


def group(g, record, bit):
    return u8(3) + u8(g) + record + u8(1) + u8(bit)


write('jpeg_from_computer',
      camera(0) + requests(read(CONFIG, 0), read(STATUS2, 8, 63, 0), shutter(),
                           read(STATUS2, 8, 63, 0), read(LIST2), piece(size=2000),
                           piece(offset=2000, size=2000, big=False)))
write('q7i_on_body',
      camera(3, parts=3, destination=3, size=1200) +
      requests(body(), read(LIST2), piece(file=0, size=1200), piece(file=1, size=600),
               piece(file=2, offset=1199, size=10), read(LIST1)))
write('raw_jpeg_protocol_3',
      camera(2, protocol3=True, destination=1) +
      requests(read(STATUS), shutter(1), read(STATUS), read(LIST1), piece(size=3000),
               u8(8) + u8(0) + u8(3), u8(8) + u8(2) + u8(0)))
write('settings_written_and_turned',
      camera(1) + requests(group(0, bytes([20, 1, 0]) + bytes(19), 0),
                           group(2, bytes([19, 0, 0x80, 2]) + bytes(16), 15),
                           u8(9) + u8(0) + u8(1) + u8(0) + u8(1) + u8(3),
                           read(3), read(5), read(STATUS2, 8, 63, 0)))
