#!/usr/bin/env python3
"""Writes the hand-made part of the fuzzer's seed corpus: short and odd FB
files around the header and record boundaries. The rest of the corpus comes
from `fbtool gen` and from fuzzing runs."""
import os
import struct
import sys

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
os.makedirs(out, exist_ok=True)


def header(count, polarity=1, lo=100, hi=500):
    return struct.pack("<4i", count, polarity, lo, hi)


def record(ffid, channel=1, status=0, t=12.5):
    words = [ffid, channel, -350, 300, 250, 12]
    rec = struct.pack("<6i", *words)
    rec += struct.pack("<4f", 1000.5, 2000.25, 1010.0, 2000.0)
    rec += struct.pack("<4i", 7, 101, 8, 201)
    rec += struct.pack("<i", 0) + struct.pack("<f", t) + struct.pack("<i", status)
    rec += struct.pack("<i", 0) + struct.pack("<i", channel) + struct.pack("<2i", 0, 0)
    assert len(rec) == 84
    return rec


def shots(ffids, declared=None, tail=b""):
    body = b"".join(record(f, i + 1, i % 3) for i, f in enumerate(ffids))
    return header(len(ffids) if declared is None else declared) + body + tail


seeds = {
    "empty": b"",
    "short_header_7": header(2)[:7],
    "header_only": header(0),
    "header_and_ffid_word": header(0) + struct.pack("<i", 42),
    "one_record_less_one_byte": header(1) + record(5)[:83],
    "one_record": shots([5]),
    "runs_5_5_5_7_7_5": shots([5, 5, 5, 7, 7, 5]),
    "runs_5_7_7": shots([5, 7, 7]),
    "trailing_50_bytes": shots([3, 3, 4], tail=b"\xee" * 50),
    "lying_count": shots([3, 3, 4], declared=99),
    "negative_count": shots([1, 2], declared=-1),
    "every_record_its_own_shot": shots(list(range(150))),
    "ten_shots_of_ten": shots([s for s in range(10) for _ in range(10)]),
    "extreme_ffids": shots([-2**31, -2**31, 2**31 - 1, 0]),
    "nan_time": header(1) + record(9, t=float("nan")),
}
for name, data in seeds.items():
    with open(os.path.join(out, name + ".fb"), "wb") as f:
        f.write(data)
