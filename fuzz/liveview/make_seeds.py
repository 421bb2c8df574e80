#!/usr/bin/env python3
"""Writes the seed inputs of the live view frame record fuzz target into
corpus/frame_record/: frames built the way the virtual camera builds them
(720 x 480, shown at 1024 x 680 and at 900 x 600), odd and oversized frames
whose planes share bytes to stay small, and a few bad headers. Run again
after the camera's live view frames change."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
from seed_bytes import u16, u32, write as write_seed  # noqa: E402

HEADER = 0x24


def write(name, data):
    write_seed('liveview', 'frame_record', name, bytes(data))


def header(total, w, h, dw, dh, y, cb, cr, fmt=1, counter=0, stride_pick=0, aspect=0):
    return (u32(total) + u32(counter) + u16(fmt) + bytes([stride_pick, 0, 0, 0]) + u16(w) + u16(h)
            + u16(dw) + u16(dh) + bytes([aspect, 0]) + u32(y) + u32(cb) + u32(cr))


def vcam_frame(frame, dw, dh):
    """The virtual camera's frame: a drifting diagonal ramp with a bright bar
    sweeping across, and colour ramps that move with the frame count."""
    w, h = 720, 480
    cw, ch = w // 2, h // 2
    y_at, cb_at = HEADER, HEADER + w * h
    cr_at = cb_at + cw * ch
    out = bytearray(header(cr_at + cw * ch, w, h, dw, dh, y_at, cb_at, cr_at, counter=frame))
    bar = (frame * 8) % w
    for y in range(h):
        out += bytes(235 if abs(x - bar) < 12 else 16 + (x + y + frame * 4) % 200
                     for x in range(w))
    for y in range(ch):
        out += bytes(64 + (x * 128 // cw + frame) % 128 for x in range(cw))
    for y in range(ch):
        out += bytes(64 + (y * 128 // ch + frame // 2) % 128 for x in range(cw))
    return out


def shared_planes(w, h, dw, dh, **kw):
    """Only a luma plane's bytes: Cb at its start, Cr ending on the last
    received byte, so a read past either chroma plane's end shows."""
    chroma = (w // 2) * (h // 2)
    total = HEADER + w * h
    out = bytearray(header(total, w, h, dw, dh, HEADER, HEADER, total - chroma, **kw))
    out += bytes((i * 7 + (i >> 9)) & 0xFF for i in range(w * h))
    return out


write('vcam_1024x680', vcam_frame(0, 1024, 680))
write('vcam_900x600', vcam_frame(7, 900, 600))
# Odd sizes: the last luma column and row have no chroma sample of their own.
write('odd_401x301', shared_planes(401, 301, 1024, 680, stride_pick=5, aspect=9))
write('odd_431x303_to_900x600', shared_planes(431, 303, 900, 600, aspect=6))
# A display size beyond the slot is held to it.
write('display_2000x1500', shared_planes(400, 300, 2000, 1500, stride_pick=31, aspect=0))
write('display_1x1', shared_planes(400, 300, 1, 1, aspect=3))

good = shared_planes(400, 300, 1024, 680)
def bad(name, at, value, width=2, whole=False):
    """`good` with one field changed; only its header unless the planes matter."""
    data = bytearray(good if whole else good[:HEADER])
    data[at:at + width] = value.to_bytes(width, 'little')
    write(name, data)

bad('bad_format_2', 0x08, 2)
bad('bad_width_1201', 0x0E, 1201)
bad('bad_height_299', 0x10, 299)
bad('bad_display_0', 0x12, 0)
bad('bad_cr_one_past', 0x20, len(good) - 150 * 400 // 2 + 1, 4, whole=True)
bad('bad_y_wraps', 0x18, 0xFFFFFFF0, 4)
write('bad_header_only', good[:HEADER])
write('bad_short_header', good[:HEADER - 1])
