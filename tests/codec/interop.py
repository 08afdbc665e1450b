#!/usr/bin/env python3
"""Interoperability of the library's compression streams with other codecs.

Linux side of the check: makes test files (mixed text and random data from a
fixed seed), compresses them with Python's raw deflate and with the bzip2
command line, runs the Windows program (codec_interop.exe, under Wine) that
decompresses those through the library and compresses the originals with it,
and then decompresses the library's output with zlib.decompressobj(-15) and
bzip2 -d. Every result must be byte-identical to the original. The per-run
directory is removed at the end.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zlib

SIZES = {
    "empty": 0,
    "one": 1,
    "page_minus_one": 4095,
    "page": 4096,
    "page_plus_one": 4097,
    "one_mib": 1 << 20,
    "sixty_four_mib": 64 << 20,
}
WORDS = [b"archive", b"stream", b"deflate", b"the", b"of", b"block", b"window", b"entry", b"header",
         b"central", b"directory", b"checksum", b"a", b"data", b"compressed", b"bytes", b"to", b"and"]


def mixed_data(size, seed):
    """Runs of words alternating with runs of random bytes."""
    rng = random.Random(seed)
    parts = []
    total = 0
    text = True
    while total < size:
        if text:
            words = rng.choices(WORDS, k=40 + rng.randrange(600))
            run = b" ".join(words) + b"\n"
        else:
            run = rng.randbytes(50 + rng.randrange(2000))
        parts.append(run)
        total += len(run)
        text = not text
    return b"".join(parts)[:size]


def windows_path(path):
    # Wine's drive Z: is the Linux root.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def raw_deflate(data):
    compressor = zlib.compressobj(6, zlib.DEFLATED, -15)
    return compressor.compress(data) + compressor.flush()


def raw_inflate(data):
    """The inflated bytes, or None unless data is one complete stream."""
    decompressor = zlib.decompressobj(-15)
    try:
        out = decompressor.decompress(data) + decompressor.flush()
    except zlib.error:
        return None
    if not decompressor.eof or decompressor.unused_data:
        return None
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True, help="cmake/wine-run.sh")
    parser.add_argument("--exe", required=True, help="codec_interop.exe")
    parser.add_argument("--work", required=True, help="parent of the per-run directory")
    args = parser.parse_args()
    # The Windows half cannot run where 32-bit programs cannot: skip (77).
    if subprocess.run([args.wine_run, "--check"]).returncode != 0:
        return 77

    bzip2 = shutil.which("bzip2")
    if bzip2 is None:
        print("the bzip2 command line is missing (scripts/install-toolchain.sh installs it)")
        return 1
    os.makedirs(args.work, exist_ok=True)
    run_dir = tempfile.mkdtemp(prefix="interop-", dir=args.work)
    failures = []
    passed = 0
    try:
        originals = {}
        for index, (name, size) in enumerate(SIZES.items()):
            data = mixed_data(size, 1000 + index)
            originals[name] = data
            base = os.path.join(run_dir, name)
            with open(base + ".raw", "wb") as f:
                f.write(data)
            with open(base + ".py.deflate", "wb") as f:
                f.write(raw_deflate(data))
            with open(base + ".cli.bz2", "wb") as f:
                subprocess.run([bzip2, "-9", "-c", base + ".raw"], stdout=f, check=True)
        with open(os.path.join(run_dir, "cases.txt"), "w") as f:
            f.write("\n".join(SIZES) + "\n")

        windows = subprocess.run([args.wine_run, args.exe, windows_path(run_dir)], stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, text=True, errors="replace")
        print(windows.stdout, end="")
        if windows.returncode != 0:
            failures.append("the Windows side failed (exit code %d)" % windows.returncode)

        for name, data in originals.items():
            base = os.path.join(run_dir, name)
            if not os.path.exists(base + ".ours.deflate") or not os.path.exists(base + ".ours.bz2"):
                failures.append("%s: the library's output is missing" % name)
                continue
            with open(base + ".ours.deflate", "rb") as f:
                inflated = raw_inflate(f.read())
            if inflated == data:
                passed += 1
            else:
                failures.append("%s: zlib.decompressobj(-15) does not give back the original" % name)
            unpacked = subprocess.run([bzip2, "-d", "-c", base + ".ours.bz2"], stdout=subprocess.PIPE)
            if unpacked.returncode == 0 and unpacked.stdout == data:
                passed += 1
            else:
                failures.append("%s: bzip2 -d does not give back the original" % name)
    finally:
        shutil.rmtree(run_dir, ignore_errors=True)

    for failure in failures:
        print("FAILED", failure)
    print("linux side: %d passed, %d failed" % (passed, len(failures)))
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(main())
