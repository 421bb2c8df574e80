#!/usr/bin/env python3
"""Writes the seed inputs of the engine fuzz targets into corpus/<target>/.
Each seed is a small, well-formed camera conversation in the byte layout the
target reads (see the target's ByteReader calls); run again after changing
a layout."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def u8(v): return struct.pack('<B', v & 0xFF)
def u16(v): return struct.pack('<H', v & 0xFFFF)
def u32(v): return struct.pack('<I', v & 0xFFFFFFFF)


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


def with_rule_a(record, length):
    r = bytearray(record)
    r[0] = length
    r[length + 1] = sum(r[:length]) & 0xFF
    return bytes(r)


# --- status_records: config (53), status (10), capture status (8), then
# rounds of (kind, size-1, [length or n], bytes).
def config(flags, name, major, minor, length):
    r = bytearray(53)
    r[1] = flags
    r[2:2 + len(name)] = name
    r[48:52] = u16(major) + u16(minor)
    return with_rule_a(r, length) if 2 < length < 52 else bytes(r)


status = bytes([0x08, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x09])
capture = bytes([0x06, 0x03, 0x00, 0x01, 0x05, 0x00, 0x02, 0x11])
rounds = (u8(0) + u8(52) + config(0x40, b'VX-10', 4, 0, 20) +
          u8(3) + u8(21) + u8(0) + u16(19) + bytes(range(22)) +
          u8(4) + u8(15) + u8(0) + u8(128 + 10) + bytes(range(16)) +
          u8(2) + u8(7) + capture)
write('status_records', 'protocol_4_0', config(0x40, b'VX-10 Camera', 4, 0, 30) + status + capture + rounds)
write('status_records', 'no_version_flag', config(0x00, b'Q' * 46, 9, 9, 52) + status + capture)
write('status_records', 'protocol_4_1', config(0x40, b'VX-20', 4, 1, 10) +
      bytes([0x09] + [1] * 9) + bytes([0x07] + [2] * 7))


# --- status_record2: mode, body length, [reported], record, capture records.
def item(type_, count, value):
    return u16(type_) + u16(0) + u32(count) + u32(value)


def status2(items, blobs, total=None):
    """items: (type, count, value or None); None values point at the blob."""
    head = 8 + 12 * len(items)
    out_items = b''
    data = b''
    for (t, c, v), blob in zip(items, blobs):
        if v is None:
            out_items += item(t, c, head + len(data))
            data += blob
        else:
            out_items += item(t, c, v)
    body = out_items + data
    t = total if total is not None else 8 + len(body)
    return u32(t) + u32(len(items)) + body


def capture_record(id_, code, flags):
    r = bytearray([0x06, id_ & 0xFF, 0, 1, code & 0xFF, code >> 8, flags, 0])
    r[7] = sum(r[:7]) & 0xFF
    return u8(0) + bytes(r)


rec = status2([(2, 2, 1), (5, 2, 0x00070003), (0x9012, 12, None), (0x902E, 20, None)],
              [None, None, bytes([0x03, 0x00] + list(range(10))), bytes(range(20))])
write('status_record2', 'state_ids_groups', u8(1) + u16(len(rec)) + rec +
      capture_record(3, 0x6001, 2) + capture_record(7, 5, 2))
ids = struct.pack('<5H', 0, 63, 64, 100, 65535)
rec = status2([(5, 5, None), (2, 2, 5)], [ids, None])
write('status_record2', 'ids_above_63', u8(1) + u16(len(rec)) + rec +
      capture_record(0, 0x8001, 0) + capture_record(63, 5, 2) + capture_record(64, 0x6002, 2) +
      capture_record(100, 5, 2) + capture_record(255, 0x8003, 0))
rec = status2([(0x9029, 200, None), (0x9014, 3000, 3000), (0x902E, 90, None), (5, 127, None)],
              [bytes(range(200)), None, bytes(90), bytes(254)], total=40)
write('status_record2', 'oversized_items', u8(1) + u16(len(rec)) + rec)
write('status_record2', 'short_reported', u8(0) + u16(len(rec)) + u32(40) + rec)


# --- partial_reply: flags, size, object id, then one control byte per piece.
write('partial_reply', 'one_piece', u8(1) + u16(5000) + u32(7) + u8(0))
write('partial_reply', 'two_pieces', u8(1 | 2) + u32(0x300000) + u32(8) + u8(0) + u8(0))
write('partial_reply', 'faults', u8(1) + u16(3000) + u32(9) +
      u8(3) + u16(1000) + u8(0) +           # short piece, more flag clear
      u8(5) + u8(0) +                       # the camera fails
      u8(6) + u8(5) + b'\x01\x02\x03\x04\x05' + u8(0) +  # too short for its fields
      u8(4) + u8(1) + u32(0xFFFFFFF0) + u32(100) +       # length beyond the reply
      u8(7) + u16(0) +                      # no data
      u8(0))
write('partial_reply', 'no_write', u8(0) + u16(70000) + u32(10) + u8(3 | 8) + u16(40000) + u8(2) + u8(0))


# --- picture_transfer: flags, then per list: control, count, entries,
# [multi-part], record bytes, raw length; then piece controls.
def entry(fmt_sel, name, size_sel, size, object_id, fmt=None):
    out = u8(fmt_sel | (size_sel << 2))
    if fmt_sel == 3:
        out += u16(fmt)
    out += u8(len(name)) + name
    out += {0: u8, 1: u16, 2: u32, 3: u32}[size_sel](size)
    return out + u32(object_id)


def multipart(part, parts, hoff, a, b, toff, tlen):
    return u8(0) + u8(part) + u8(parts) + u16(hoff) + u8(a) + u8(b) + u16(toff) + u8(tlen)


jpg = entry(0, b'IMG_0001.JPG', 1, 3000, 11)
write('picture_transfer', 'jpeg_first_form', u8(0) + u8(0) + u8(1) + jpg + u16(0) + u16(0) + u8(0))
block = bytes(range(64))
part1 = (u8(0) + u8(1) + entry(2, b'PICT0001.Q7I', 1, 2000, 100) + u8(1) +
         multipart(1, 2, 0, 40, 8, 48, 16) + u16(64) + block + u8(1) + u8(0))
part2 = (u8(0) + u8(1) + entry(2, b'PICT0001.Q7I', 1, 1500, 101) + u8(1) +
         multipart(2, 2, 0, 40, 8, 48, 16) + u16(64) + block + u8(1) + u8(0))
write('picture_transfer', 'q7i_two_parts', u8(1 | 2 | (1 << 5)) + part1 + part2)
two = (u8(0) + u8(2) + entry(0, b'../evil.JPG', 0, 200, 5) + entry(1, b'.hidden.Q7F', 1, 900, 6) +
       u8(0) + multipart(0, 0, 0, 0, 0, 0, 0) + u16(0) + u8(1) + u8(0) + u8(0))
write('picture_transfer', 'two_entries_odd_names', u8(1 | 2 | 4) + two)
lone = (u8(0) + u8(1) + entry(2, b'PICT0002.Q7I', 1, 800, 102) + u8(1) +
        multipart(2, 3, 0, 40, 8, 48, 16) + u16(64) + block + u8(1) + u8(0))
write('picture_transfer', 'q7i_part_without_first', u8(1 | 2) + lone)
# Multi-part Q7I pictures listed part by part as a sound camera does
# (list control 0x40 | deviation), sound pieces served without input except
# with deviation 8, whose list is followed by its piece controls: joined, or
# failing in one of the ways the deviations pick.
def mp(deviation, parts=None, size=1500, pieces=()):
    out = u8(0x40 | deviation)
    if parts is not None:            # the first part of a picture: 2 + n % 3 parts
        out += u8(parts - 2)
    if deviation != 13:
        out += u16(size)
    out += u8(20) + u8(4) + u8(8) + u8(16)   # header A, B; trailer offset, length
    return out + b''.join(u8(p) for p in pieces)


Q7I_LISTS = u8(1 | 2 | (2 << 5))             # extended, protocol 4, three lists
write('picture_transfer', 'q7i_structured_two_parts_joined',
      u8(1 | 2 | (1 << 5)) + mp(0, 2) + mp(0, size=1200))
write('picture_transfer', 'q7i_structured_three_parts_joined',
      Q7I_LISTS + mp(0, 3) + mp(3, size=900) + mp(5, size=700))
write('picture_transfer', 'q7i_structured_part_skipped',
      Q7I_LISTS + mp(0, 3) + mp(9, size=900) + mp(0, size=700))
write('picture_transfer', 'q7i_structured_blocks_beyond',
      u8(1 | 2 | (1 << 5)) + mp(0, 2) + mp(11, size=900))
write('picture_transfer', 'q7i_structured_piece_fails',
      u8(1 | 2 | (1 << 5)) + mp(0, 2) + mp(8, size=900, pieces=(5, 0, 5, 0, 5, 0)))
write('picture_transfer', 'q7i_structured_new_picture_midway',
      Q7I_LISTS + mp(0, 3) + mp(12, 2) + mp(0, size=800))


# Seven bytes that would be a whole one-byte piece: the too-short reply must
# stay too short.
one = u8(0) + u8(1) + entry(0, b'ONE.JPG', 0, 1, 12) + u16(0) + u16(0)
write('picture_transfer', 'short_reply_seven_bytes',
      u8(0) + one + u8(6) + u8(7) + u32(1) + b'X' + u16(0) + u8(0) + u8(0))
# Renaming from 9999998: the third list's picture finds no number left.
lst = u8(0) + u8(1) + entry(0, b'IMG_0001.JPG', 1, 500, 20) + u16(0) + u16(0) + u8(0)
write('picture_transfer', 'numbers_run_out', u8(4 | 8 | (2 << 5)) + lst + lst + lst)


# --- q7i_blocks: mode, 28 bytes of multi-part information, [received], record.
def info(part, parts, hoff, a, b, toff, tlen):
    return u16(part) + u16(parts) + u32(hoff) + u32(a) + u32(0) + u32(b) + u32(toff) + u32(tlen)


write('q7i_blocks', 'inside', u8(0) + info(1, 3, 10, 40, 8, 60, 30) + bytes(range(100)))
write('q7i_blocks', 'trailer_beyond', u8(0) + info(3, 3, 0, 40, 8, 60, 41) + bytes(range(100)))
write('q7i_blocks', 'wrapping', u8(1) + info(1, 1, 0xFFFFFFF0, 0x20, 0, 0, 0) + u16(100) + bytes(100))


# --- device_registry, camera mode (top bit of the first byte): the
# camera's registration fields, its shape (fault, spoilt copy), then its
# answer to the opening. Folder mode seeds come from ../record_vcam.py.
def text(s):
    return u8(len(s)) + s


def camera(look, shape, rest, how, answer=b''):
    fields = (text(b'VX00001') + text(b'{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001') +
              text(b'Varno Camera') + text(b'Varno virtual camera') +
              text(b'/run/kvx-cam/KVX00001.sock'))
    return u8(0x80) + u8(look) + fields + u8(shape) + rest + u8(how) + answer


write('device_registry', 'camera_opens_and_closes', camera(0, 0, b'', 0x80, u8(0)))
write('device_registry', 'camera_already_open_lower_case_behind_copy_without_name',
      camera(2 | 4, 0x10 | 0x20, u8(0), 3))
write('device_registry', 'camera_with_storage_id_refused', camera(0, 0x08 | 1, u8(0x0F) + u8(4), 0))
write('device_registry', 'camera_refuses_opening', camera(1, 0, b'', 4, u16(0x2019)))
