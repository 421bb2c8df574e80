#!/usr/bin/env python3
"""Writes the seed inputs of the model fuzz targets into corpus/<target>/.
Each seed is a short run of received records in the byte layout the target
reads (see its ByteReader calls); run again after changing a layout."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
GROUP_SIZES = [22, 20, 21, 10, 34, 38]
CANSET_SIZES = [39, 57, 112, 102]


def u8(v): return struct.pack('<B', v & 0xFF)
def u16(v): return struct.pack('<H', v & 0xFFFF)


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


def group_record(size, fill):
    # Length byte, both masks full, then values.
    return bytes([size - 2, 0xFF, 0xFF] + [(fill + i) & 0xFF for i in range(size - 3)])


def canset_record(size, fill):
    return u16(size - 3) + bytes([(fill * 7 + i * 13) & 0xFF for i in range(size - 2)])


# --- camera_records: (kind, number, [size], bytes) operations.
# Number byte 0x80 | (n - 1) selects group or version n.
ops = b''
for g, size in enumerate(GROUP_SIZES, start=1):
    ops += u8(0) + u8(0x80 | (g - 1)) + u8(size) + group_record(size, g * 3)
    ops += u8(2) + u8(0x80 | (g - 1))
for v, size in enumerate(CANSET_SIZES, start=1):
    ops += u8(1) + u8(0x80 | (v - 1)) + u8(size) + canset_record(size, v)
    ops += u8(3) + u8(0x80 | (v - 1))
write('camera_records', 'every_record', ops)
short = (u8(0) + u8(0x80) + u8(5) + bytes([3, 0xFF, 0xFF, 9, 9]) + u8(2) + u8(0x80) +
         u8(0x80 | 1) + u8(0x83) + u16(300) + bytes(range(200)) + bytes(range(100)) + u8(3) + u8(0x83) +
         u8(0) + u8(0x47) + u8(10) + bytes(10) + u8(2) + u8(0x47) +
         u8(0x40) + u8(0x81) + u8(20) + bytes(20) + u8(4) + u8(0))
write('camera_records', 'short_long_and_bad_numbers', short)
interval = (u8(0) + u8(0x84) + u8(34) + bytes([32, 0x01, 0x00, 5, 0, 3, 0, 0, 0]) + bytes(25) +
            u8(2) + u8(0x84) + u8(0) + u8(0x83) + u8(10) + bytes([8, 0x01, 0, 1]) + bytes(6) + u8(2) + u8(0x83))
write('camera_records', 'interval_and_iso_step', interval)


# --- setting_dispatch: consumers mask, shown row, then operations.
def store(which, record, claimed=None):
    if claimed is None:
        return u8(0) + u8(which) + record
    return u8(0x80) + u8(which) + u8(claimed) + record[:claimed]


everything = b''
for g, size in enumerate(GROUP_SIZES):
    everything += store(g, group_record(size, g * 5))
for v, size in enumerate(CANSET_SIZES):
    everything += store(6 + v, canset_record(size, v + 2))
write('setting_dispatch', 'all_consumers', u16(0x07FF) + u8(0) + everything)
write('setting_dispatch', 'no_consumers', u16(0) + u8(0) + everything)
write('setting_dispatch', 'special_dialog_rows', u16(0x0180) + u8(3) + store(5, group_record(38, 1)) +
      u8(5) + u8(1) + store(5, group_record(38, 2)))
hostile = (u8(2) + u8(0) + u8(0x82) + u16(0xFFFF) + u16(0xFFFF) + u8(3) + u8(0xF9) + u8(7) +
           u8(4) + u8(0x80) + u8(200) + store(3, bytes([8, 0x01, 0x00, 0x01, 0, 0, 0, 0, 0, 0]), 10) +
           store(6, canset_record(39, 9)) + u8(5 | 0x80) + u8(2))
write('setting_dispatch', 'hostile_numbers', u16(0x07FF) + u8(0xFF) + hostile)


# --- value_text: table, code, mask, current code, bracket code, a value and a
# colour temperature step, two focal lengths (sixteenths), then a camera name
# as the configuration record holds it.
def value_text(table, code, mask, current, value, shortest, longest, name):
    cur = u8(1) if current is None else u8(0) + u8(current)
    return (u8(table) + u8(code) + struct.pack('<I', mask) + cur + u8(3) + u16(value) + u16(100) +
            u16(shortest) + u16(longest) + u8(len(name)) + name)


write('value_text', 'exposure_mode_zoom', value_text(0, 1, 0xFFFF, 1, 0xFFF6, 280, 880,
                                                     b'Varno Camera'))
write('value_text', 'white_balance_prime', value_text(12, 9, 0x0010, None, 5500, 560, 560,
                                                      b'VX-10'))
write('value_text', 'windows_1252_name', value_text(13, 255, 0, 255, 0x8000, 0xFFFF, 1,
                                                    b'Cam\x80\x99\x9f\xa0\xff' + b'Q' * 40))
