#!/usr/bin/env python3
"""Writes the hand-made part of the trace readers' seed corpus: small SEG-Y
files in each byte order and sample format and SEG-2 files in each data
format, whole and broken. The rest comes from `fbtool gen --traces` and from
fuzzing runs."""
import os
import struct
import sys

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus-traces")
os.makedirs(out, exist_ok=True)
VALUES = [0, 1, -2, 100, -120]


def segy(le, fmt, rev, traces=4):
    e = "<" if le else ">"
    text = (b"C" + b" " * 79) * 40
    binary = bytearray(400)
    struct.pack_into(e + "h", binary, 16, 1000)           # sample interval, us
    struct.pack_into(e + "h", binary, 20, len(VALUES))    # samples a trace
    struct.pack_into(e + "h", binary, 24, fmt)
    binary[300:302] = bytes([rev, 0])
    if rev == 2:
        struct.pack_into(e + "I", binary, 96, 0x01020304)
    size = {3: 2, 8: 1}.get(fmt, 4)
    body = b""
    for t in range(traces):
        h = bytearray(240)
        struct.pack_into(e + "ii", h, 8, 1001 + t // 2, 1 + t % 2)
        struct.pack_into(e + "hh", h, 68, -10, -100)
        struct.pack_into(e + "ii", h, 72, 123456, 200000 + 100 * t)
        struct.pack_into(e + "hhh", h, 108, 0, 0, 0)
        struct.pack_into(e + "hh", h, 114, len(VALUES), 1000)
        code = {1: "I", 2: "i", 3: "h", 5: "f", 8: "b"}[fmt]
        vals = [0x41100000 * (v != 0) for v in VALUES] if fmt == 1 else VALUES
        body += bytes(h) + struct.pack(e + code * len(vals), *vals)
    return text + bytes(binary) + body


def seg2(le, fmt, traces=3):
    e = "<" if le else ">"

    def strings(items):
        b = b""
        for s in items:
            b += struct.pack(e + "H", len(s) + 3) + s.encode() + b"\0"
        return b + b"\0\0"

    head = bytearray(32)
    struct.pack_into(e + "HHHH", head, 0, 0x3A55, 1, 4 * traces, traces)
    head[8] = 1
    pointers_at = len(head)
    blob = bytearray(head + bytes(4 * traces) + strings(["NOTE seed"]))
    for t in range(traces):
        struct.pack_into(e + "I", blob, pointers_at + 4 * t, len(blob))
        block = bytearray(32) + strings(["CHANNEL_NUMBER %d" % (t + 1), "SAMPLE_INTERVAL 0.0005",
                                         "DELAY 0", "SHOT_SEQUENCE_NUMBER 7", "SOURCE_LOCATION 0 0 100",
                                         "RECEIVER_LOCATION %d 0 100" % (5 * t)])
        while len(block) % 4:
            block += b"\0"
        if fmt == 3:
            data = struct.pack(e + "H4h", 0x1000, 1, -2, 100, -120) + struct.pack(e + "H4h", 0, 3, 0, 0, 0)
        else:
            code = {1: "h", 2: "i", 4: "f", 5: "d"}[fmt]
            data = struct.pack(e + code * len(VALUES), *VALUES)
        struct.pack_into(e + "HHII", block, 0, 0x4422, len(block), len(data), len(VALUES))
        block[12] = fmt
        blob += block + data
    return bytes(blob)


seeds = {}
for le in (False, True):
    for fmt, rev in ((1, 0), (2, 1), (3, 2), (5, 1), (8, 2)):
        seeds["segy_%s_fmt%d_rev%d.sgy" % ("le" if le else "be", fmt, rev)] = segy(le, fmt, rev)
    for fmt in (1, 2, 3, 4, 5):
        seeds["seg2_%s_fmt%d.sg2" % ("le" if le else "be", fmt)] = seg2(le, fmt)
seeds["segy_cut_short.sgy"] = segy(False, 5, 1)[:-7]
seeds["seg2_cut_short.sg2"] = seg2(True, 4)[:-3]
seeds["segy_header_only.sgy"] = segy(False, 5, 1, traces=0)
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
