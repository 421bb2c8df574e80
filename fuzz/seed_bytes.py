"""What the seed writers of the fuzz targets share: little-endian packing and
writing a seed into <module>/corpus/<target>/."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def u8(v): return struct.pack('<B', v & 0xFF)
def u16(v): return struct.pack('<H', v & 0xFFFF)
def u32(v): return struct.pack('<I', v & 0xFFFFFFFF)


def write(module, target, name, data):
    folder = os.path.join(HERE, module, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)
