#!/usr/bin/env python3
"""The archives zip_methods_cli reads, made at build time on the build host
by 7-Zip and Python: AES-128/192/256 around deflate, stored and LZMA, LZMA
with and without its end marker, Python's LZMA. They are made here rather
than where the test runs, because the emulated test machine's 7-Zip
computes AES wrongly (see docs/conformance.md).

Usage: make_method_fixtures.py OUT_DIR
OUT_DIR/src holds the files every archive contains; OUT_DIR/sources.tsv
lists label, archive, password and what rylcli list shows.
"""
import os
import random
import shutil
import subprocess
import sys
import zipfile

OUT = sys.argv[1]
PASSWORD = "pass word"  # 7-Zip writes AES entries with ASCII passwords only
shutil.rmtree(OUT, ignore_errors=True)
SOURCE = os.path.join(OUT, "src")
os.makedirs(SOURCE)
noise = random.Random(20)
CONTENTS = {
    "empty.txt": b"",
    "one.bin": b"\x00",
    "text.txt": b"".join(b"line %d of the text\n" % i for i in range(20000)),
    "noise.bin": bytes(noise.getrandbits(8) for _ in range(300000)),
}
for name, content in CONTENTS.items():
    with open(os.path.join(SOURCE, name), "wb") as f:
        f.write(content)

rows = []


def by_7z(label, shown, password, *options):
    path = os.path.join(OUT, label + ".zip")
    subprocess.run(["7z", "a", "-tzip", *options, path, *sorted(CONTENTS)], cwd=SOURCE, check=True,
                   stdout=subprocess.DEVNULL)
    rows.append((label, path, password or "", shown))


by_7z("7z-aes256-deflate", "AES-256", PASSWORD, "-mem=AES256", "-p" + PASSWORD)
by_7z("7z-aes128-stored", "AES-128", PASSWORD, "-mem=AES128", "-mm=Copy", "-p" + PASSWORD)
by_7z("7z-aes192-lzma", "AES-192", PASSWORD, "-mem=AES192", "-mm=LZMA", "-p" + PASSWORD)
by_7z("7z-lzma", "lzma", None, "-mm=LZMA:eos=off")
by_7z("7z-lzma-eos", "lzma", None, "-mm=LZMA:eos")
path = os.path.join(OUT, "python-lzma.zip")
with zipfile.ZipFile(path, "w", zipfile.ZIP_LZMA) as z:
    for name, content in sorted(CONTENTS.items()):
        z.writestr(name, content)
rows.append(("python-lzma", path, "", "lzma"))
with open(os.path.join(OUT, "sources.tsv"), "w") as f:
    for row in rows:
        f.write("\t".join(row) + "\n")
