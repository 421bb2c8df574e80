#!/usr/bin/env python3
"""Records what the virtual camera really sends and writes it as seed inputs
of the device-layer fuzz targets, so that their corpora start from real
records (checksums, sizes and framing as a camera makes them).

Usage: fuzz/record_vcam.py BUILD_DIR   (needs BUILD_DIR/bin/kvx-vcam)
Writes the vcam_* seeds (and a few structured ones) of ptp_escape and
exports (camlink), device_registry and main_engine (engine); run again after
the camera's records change."""
import os
import socket
import struct
import subprocess
import sys
import tempfile
import time

from seed_bytes import HERE, u16, u32, u8, write


class Camera:
    """One kvx-vcam process with its own device folder."""

    def __init__(self, build, *args):
        self.dir = tempfile.mkdtemp(prefix='kvx-record-')
        self.proc = subprocess.Popen(
            [os.path.join(build, 'bin', 'kvx-vcam'), '--device-dir', self.dir,
             '--instance', 'KVXREC01', '--picture-bytes', '3000', *args],
            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        path = os.path.join(self.dir, 'KVXREC01.device')
        for _ in range(200):
            if os.path.exists(path):
                break
            time.sleep(0.02)
        with open(path, 'rb') as f:
            self.registration = f.read()
        fields = dict(line.split(b'=', 1) for line in self.registration.splitlines()
                      if b'=' in line)
        self.socket_path = fields[b'socket'].decode()

    def close(self):
        self.proc.terminate()
        self.proc.wait()


class Session:
    """A PTP session to the camera that keeps every byte the camera sent
    per transaction."""

    def __init__(self, camera):
        self.s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.s.connect(camera.socket_path)
        self.tid = 0
        self.open_reply = self.transact(0x1002, [1])

    def recv_exact(self, n):
        out = b''
        while len(out) < n:
            chunk = self.s.recv(n - len(out))
            if not chunk:
                raise EOFError
            out += chunk
        return out

    def container(self):
        head = self.recv_exact(12)
        length, type_ = struct.unpack('<IH', head[:6])
        return head + self.recv_exact(length - 12), type_

    def transact(self, op, params, data=None):
        """Every byte the camera sends for one transaction."""
        tid = self.tid
        self.tid += 1
        self.s.sendall(struct.pack('<IHHI', 12 + 4 * len(params), 1, op, tid) +
                       b''.join(u32(p) for p in params))
        if data is not None:
            self.s.sendall(struct.pack('<IHHI', 12 + len(data), 2, op, tid) + data)
        got, type_ = self.container()
        if type_ == 2:
            more, _ = self.container()
            got += more
        return got

    def close(self):
        self.s.close()


def checksum_record(body):
    return body + u8(sum(body))


# The records fetched once per link, in the engine's order, then the status.
LINK_RECORDS = [('can_set1', 0x901A, 39), ('can_set2', 0x9025, 57), ('can_set3', 0x9026, 112),
                ('group1', 0x9012, 22), ('group2', 0x9013, 20), ('group3', 0x9014, 21),
                ('group4', 0x9023, 10), ('group5', 0x9027, 34), ('group6', 0x9029, 38)]


def record_link(build, *args):
    """What an engine reads from a camera of these options when it links."""
    cam = Camera(build, *args)
    out = {}
    try:
        ses = Session(cam)
        out['config'] = ses.transact(0x9010, [0])
        for name, op, _ in LINK_RECORDS:
            out[name] = ses.transact(op, [])
        out['status'] = ses.transact(0x9011, [])
        out['status2'] = ses.transact(0x902C, [8, 63, 0])
        ses.close()
    finally:
        cam.close()
    return out


def record(build):
    cam = Camera(build, '--destination', '3')
    out = {}
    try:
        ses = Session(cam)
        out['open'] = ses.open_reply
        for name, op, params in [('config', 0x9010, [0]), ('status', 0x9011, []),
                                 ('status2', 0x902C, [8, 63, 0]), ('group1', 0x9012, []),
                                 ('group3', 0x9014, []), ('set_info4', 0x902E, []),
                                 ('capture0', 0x9015, [0])]:
            out[name] = (op, params, None, ses.transact(op, params))
        # A release from the computer, then the picture's list and pieces.
        release = checksum_record(bytes([2, 2, 0]))
        out['release'] = (0x901B, [], release, ses.transact(0x901B, [], release))
        time.sleep(0.3)
        out['status2_after'] = (0x902C, [8, 63, 0], None, ses.transact(0x902C, [8, 63, 0]))
        out['list2'] = (0x902D, [], None, ses.transact(0x902D, []))
        out['list1'] = (0x9020, [], None, ses.transact(0x9020, []))
        out['unknown_op'] = (0x9099, [], None, ses.transact(0x9099, []))
        # The first file of picture number 1, in two pieces.
        out['piece1'] = (0x9022, [0x101, 0, 2000], None, ses.transact(0x9022, [0x101, 0, 2000]))
        out['piece2'] = (0x9021, [0x101, 2000, 2000], None,
                         ses.transact(0x9021, [0x101, 2000, 2000]))
        out['view'] = (0x902B, [], None, ses.transact(0x902B, []))
        out['checksum'] = (0x1087, [5], None, ses.transact(0x1087, [5]))
        ses.close()
    finally:
        cam.close()
    out['registration'] = cam.registration
    out['socket'] = cam.socket_path
    return out


def renumbered(device_bytes, tid):
    """The camera's containers with their transaction id set to tid."""
    out = b''
    while len(device_bytes) >= 12:
        length = struct.unpack('<I', device_bytes[:4])[0]
        out += device_bytes[:8] + u32(tid) + device_bytes[12:length]
        device_bytes = device_bytes[length:]
    return out + device_bytes


def escape_seed(op, params, data, device_bytes, flags=0x0C, pieces=u8(0) + u8(3) + u8(0),
                out_size=b''):
    """fuzz_ptp_escape: parameter coding, flags (whole reply buffer), the
    request as the library builds it, one empty raw piece, then the
    camera's bytes."""
    coding = u8(8) + u32(1) + u32(2) + u16(0x2001) + u32(7) + u8(0)
    req = u16(op) + u8(len(params)) + b''.join(u32(p) for p in (params + [0] * 5)[:5])
    if data is None:
        req += u8(0)
    else:
        req += u8(1) + u16(len(data)) + data
    req += u32(0) + u32(0)
    # The escape is the transaction after the session's opening.
    return coding + u8(flags) + req + out_size + pieces + renumbered(device_bytes, 1)


def escape_structured(flags, op, params, data, pieces, out_size=b''):
    """fuzz_ptp_escape with the device's answer made of structured pieces:
    ('data', n) or ('response', code, params)."""
    body = u8(len(pieces) - 1)
    for p in pieces:
        if p[0] == 'data':
            body += u8(0) + u16(p[1])
        else:
            body += u8(1) + u16(p[1]) + u8(len(p[2])) + b''.join(u32(v) for v in p[2])
    return escape_seed(op, params, data, b'', flags, body, out_size)


def registry_seed(flags, files, pick):
    """fuzz_device_registry: flags, file count, per file (name form, raw text),
    then which registration the engine believes linked."""
    out = u8(flags) + u8(len(files) - 1)
    for form, text in files:
        out += u8(form) + u8(1) + u16(len(text)) + text
    return out + u8(pick)


def payload_of(device_bytes):
    """The data container's body of one recorded transaction, or None."""
    length, type_ = struct.unpack('<IH', device_bytes[:6])
    return device_bytes[12:length] if type_ == 2 else None


# fuzz_exports: the export numbers of the target.
EXPORTS = {'config': 0, 'status': 2, 'status2': 3, 'group1': 4, 'group3': 6, 'set_info4': 13,
           'capture0': 14, 'list1': 15, 'list2': 16, 'piece2': 17, 'piece1': 18, 'view': 19,
           'checksum': 20}


def exports_seed(rec, names):
    out = u8(len(names) - 1)
    for name in names:
        payload = payload_of(rec[name][3])
        if payload is None:
            out += u8(EXPORTS[name]) + u8(1) + u16(0x2001)
        else:
            out += u8(EXPORTS[name]) + u8(0) + u16(len(payload)) + payload
    return out


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, '..', 'build')
    rec = record(build)
    for name in ('config', 'status2', 'group1', 'capture0', 'release', 'list2', 'unknown_op'):
        op, params, data, got = rec[name]
        write('camlink', 'ptp_escape', 'vcam_' + name, escape_seed(op, params, data, got))
    write('camlink', 'ptp_escape', 'read_data_then_response',
          escape_structured(0x0C, 0x9012, [], None, [('data', 90), ('response', 0x2001, [])]))
    write('camlink', 'ptp_escape', 'write_then_response',
          escape_structured(0x0C, 0x9016, [], bytes(range(40)),
                            [('response', 0x2001, [5, 6])]))
    write('camlink', 'ptp_escape', 'data_beyond_buffer',
          escape_structured(0x04, 0x902C, [8, 63, 0], None,
                            [('data', 2000), ('response', 0x2001, [])], u16(1000)))
    print('live view frame bytes:', len(payload_of(rec['view'][3]) or b''))
    write('camlink', 'exports', 'vcam_settings',
          exports_seed(rec, ['config', 'status', 'group1', 'group3', 'set_info4', 'capture0']))
    write('camlink', 'exports', 'vcam_status2_and_lists',
          exports_seed(rec, ['status2', 'list2', 'list1', 'checksum']))
    write('camlink', 'exports', 'vcam_picture_pieces', exports_seed(rec, ['piece1', 'piece2']))
    # fuzz_main_engine: init, configuration, the link's records, then polls.
    def fixed(payload, n):
        payload = payload or b''
        return payload[:n] + bytes(max(0, n - len(payload)))

    def engine_link(rec):
        out = u8(0) + u8(0) + fixed(payload_of(rec['config']), 53)
        for name, _, size in LINK_RECORDS:
            got = payload_of(rec[name])
            out += (u8(0) + fixed(got, size)) if got is not None else u8(0xFF)
        return out

    for label, args in [('protocol_4_0', []), ('protocol_4_1', ['--protocol', '4.1'])]:
        rec4 = record_link(build, *args)
        s2 = payload_of(rec4['status2'])
        polls = (u8(0) + u16(len(s2)) + s2) * 3
        write('engine', 'main_engine', 'vcam_' + label, engine_link(rec4) + polls)
    rec3 = record_link(build, '--protocol', '3.0')
    st = fixed(payload_of(rec3['status']), 10)
    write('engine', 'main_engine', 'vcam_protocol_3_0', engine_link(rec3) + (u8(0) + st) * 3)
    rec3n = record_link(build, '--no-protocol')
    write('engine', 'main_engine', 'vcam_without_version',
          engine_link(rec3n) + (u8(0) + fixed(payload_of(rec3n['status']), 10)) * 2)

    # The camera's private folder in a fixed form, so that seeds only
    # change when the camera's records do.
    reg = rec['registration'].replace(os.path.dirname(rec['socket']).encode(), b'/run/kvx-cam')
    other = reg.replace(b'KVXREC01', b'KVXREC02').replace(b'PID_5E30', b'PID_5D10')
    write('engine', 'device_registry', 'vcam_registration', registry_seed(0, [(0, reg)], 1))
    write('engine', 'device_registry', 'vcam_registration_lower_case',
          registry_seed(0, [(0, reg)], 0x81))
    write('engine', 'device_registry', 'vcam_two_models_hidden_and_other_names',
          registry_seed(0, [(0, reg), (0, other), (1, reg), (2, reg)], 3))
    write('engine', 'device_registry', 'vcam_beside_pipe_folder_zero_and_big',
          registry_seed(0x0F, [(3, reg)], 1))
    crlf = reg.replace(b'\n', b'\r\n').replace(b'pnpId=', b'pnp=')
    write('engine', 'device_registry', 'vcam_crlf_without_pnp', registry_seed(0, [(0, crlf)], 1))
    return rec


if __name__ == '__main__':
    main()
