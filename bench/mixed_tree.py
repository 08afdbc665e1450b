#!/usr/bin/env python3
"""Writes the benchmarks' tree of mixed files: text, incompressible binary and
structured binary records, sizes log-normal up to 8 MiB, from a fixed seed.

Usage: mixed_tree.py ROOT [MIB]   (MIB defaults to 200)
"""
import os
import random
import sys

root = sys.argv[1]
target = int(sys.argv[2] if len(sys.argv) > 2 else 200) * 1024 * 1024
rng = random.Random(20261208)
words = [("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10)))) for _ in range(5000)]
total = 0
n = 0
while total < target:
    d = os.path.join(root, "d%02d" % (n % 23), "s%d" % (n % 5))
    os.makedirs(d, exist_ok=True)
    kind = n % 3
    size = int(rng.lognormvariate(11, 1.6))
    size = max(16, min(size, 8 * 1024 * 1024))
    if kind == 0:    # text: words and lines
        out = []
        length = 0
        while length < size:
            line = " ".join(rng.choices(words, k=rng.randint(3, 14))) + "\n"
            out.append(line)
            length += len(line)
        data = "".join(out).encode()[:size]
        name = "f%05d.txt" % n
    elif kind == 1:  # incompressible binary
        data = rng.randbytes(size)
        name = "f%05d.bin" % n
    else:            # structured binary: records with small varying fields
        rec = bytearray()
        while len(rec) < size:
            rec += rng.randbytes(4) + bytes(12) + (n & 0xFF).to_bytes(1, "little") * 16
        data = bytes(rec[:size])
        name = "f%05d.dat" % n
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)
    total += size
    n += 1
print("%d files, %.1f MiB" % (n, total / 1048576))
