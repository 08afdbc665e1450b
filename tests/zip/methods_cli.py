#!/usr/bin/env python3
"""rylcli zip with the AES, LZMA, zstd and xz methods, under Wine.

Archives the build host's 7-Zip (AES-128/192/256 around deflate, stored and
LZMA, and LZMA with and without its end marker) and Python's zipfile (LZMA)
made (make_method_fixtures.py) must list
with their methods and extract byte-identical with `-p`; a wrong password
and a tampered AES entry must fail with nothing left behind. What
`rylcli zip create --aes` and `--zstd` write must pass `7z t` and extract
byte-identical with 7-Zip, and the zstd entries' data with the zstd tool
where there is one (zipfile cannot read zstd).

Usage: methods_cli.py WINE_RUN RYLCLI_EXE FIXTURE_DIR WORK_DIR
"""
import os
import shutil
import struct
import subprocess
import sys
import zipfile

from cli_harness import check, failures, rylcli_runner, skip_unless_runnable, win

WINE_RUN, RYLCLI, FIXTURES, WORK = sys.argv[1:5]
skip_unless_runnable(WINE_RUN)
if shutil.which("7z") is None:
    print("methods_cli: 7z is missing (scripts/install-toolchain.sh installs it)")
    sys.exit(1)
# The zstd tool is a second reader of the zstd entries, besides 7-Zip; the
# emulated test machine does not carry it.
HAVE_ZSTD = shutil.which("zstd") is not None
if not HAVE_ZSTD:
    print("methods_cli: no zstd tool here; 7-Zip alone reads the zstd entries")
run_rylcli = rylcli_runner(WINE_RUN, RYLCLI)
# 7-Zip writes AES entries only with ASCII passwords (it reads ours, which
# are UTF-8); rylcli's own archives use one that is not.
PASSWORD_7Z = "pass word"
PASSWORD = "pass w\u00f6rd"


def rylcli(*args):
    rc, out, err = run_rylcli(*args)
    return rc, out.decode("utf-8", "replace"), err.decode("utf-8", "replace")


def run(*command, cwd=None):
    result = subprocess.run(list(command), capture_output=True, stdin=subprocess.DEVNULL, cwd=cwd)
    return result.returncode, (result.stdout + result.stderr).decode("utf-8", "replace")


def files_below(directory):
    found = {}
    for base, _dirs, names in os.walk(directory):
        for name in names:
            path = os.path.join(base, name)
            found[os.path.relpath(path, directory).replace(os.sep, "/")] = open(path, "rb").read()
    return found


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
SOURCE = os.path.join(FIXTURES, "src")
CONTENTS = {name: open(os.path.join(SOURCE, name), "rb").read() for name in os.listdir(SOURCE)}
SOURCES = [line.rstrip("\n").split("\t") for line in open(os.path.join(FIXTURES, "sources.tsv"))]


def extracts_whole(label, path, password=None):
    target = os.path.join(WORK, "out-" + label)
    shutil.rmtree(target, ignore_errors=True)
    args = ["extract"] + (["-p", password] if password else []) + [win(path), win(target)]
    rc, out, err = rylcli(*args)
    check(rc == 0, "%s: extract: %s %s" % (label, out, err))
    check(files_below(target) == CONTENTS, "%s: every entry byte-identical" % label)


for label, path, password, shown in SOURCES:
    rc, out, err = rylcli("list", win(path))
    check(rc == 0 and shown in out and "unsupported" not in out, "%s: list shows %s: %s" % (label, shown, out))
    extracts_whole(label, path, password)
    if password:
        target = os.path.join(WORK, "wrong-" + label)
        shutil.rmtree(target, ignore_errors=True)
        rc, out, err = rylcli("extract", "-p", "not it", win(path), win(target))
        check(rc == 1 and not files_below(target), "%s: a wrong password leaves nothing: %s" % (label, err))
        rc, out, err = rylcli("test", "-p", password, win(path))
        check(rc == 0, "%s: test with the password: %s" % (label, out))

# This machine's 7-Zip is a judge of AES only if it reads an archive that
# the build host's 7-Zip wrote and tested: under QEMU's emulated CPU it
# computes AES wrongly, and the rylcli archives are then judged by rylcli
# and, natively, by methods_interop.
rc, out = run("7z", "t", "-p" + PASSWORD_7Z, os.path.join(FIXTURES, "7z-aes256-deflate.zip"))
SEVEN_ZIP_AES = rc == 0 and "Everything is Ok" in out
if not SEVEN_ZIP_AES:
    print("methods_cli: this machine's 7z fails on an AES archive the build host's 7z made and tested; "
          "it does not judge the AES archives here")

# One flipped bit in an AES entry's data, then in its authentication code.
path = os.path.join(FIXTURES, "7z-aes256-deflate.zip")
data = bytearray(open(path, "rb").read())
with zipfile.ZipFile(path) as z:
    info = z.getinfo("text.txt")
name_length, extra_length = struct.unpack_from("<HH", data, info.header_offset + 26)
start = info.header_offset + 30 + name_length + extra_length
for label, offset in (("data", start + 18 + info.compress_size // 3), ("code", start + info.compress_size - 3)):
    changed = bytearray(data)
    changed[offset] ^= 0x20
    tampered = os.path.join(WORK, "tampered-%s.zip" % label)
    open(tampered, "wb").write(changed)
    target = os.path.join(WORK, "out-tampered-" + label)
    shutil.rmtree(target, ignore_errors=True)
    rc, out, err = rylcli("extract", "-p", PASSWORD_7Z, win(tampered), win(target), "text.txt")
    check(rc == 1 and "RYL_E_BAD_FORMAT" in err + out and not files_below(target),
          "tampered %s: refused with nothing left: %s %s" % (label, out, err))

# What rylcli writes.
for label, options in (("rylcli-aes", ["--aes", "-p", PASSWORD]), ("rylcli-zstd", ["--zstd=19"]),
                       ("rylcli-aes-zstd", ["--aes", "-p", PASSWORD, "--zstd"])):
    path = os.path.join(WORK, label + ".zip")
    rc, out, err = rylcli("create", *options, win(path), *[win(os.path.join(SOURCE, n)) for n in sorted(CONTENTS)])
    check(rc == 0, "%s: create: %s %s" % (label, out, err))
    if SEVEN_ZIP_AES or "aes" not in label:
        rc, out = run("7z", "t", "-p" + PASSWORD, path)
        check(rc == 0 and "Everything is Ok" in out, "%s: 7z t: %s" % (label, out[-400:]))
        target = os.path.join(WORK, "7z-out-" + label)
        rc, out = run("7z", "x", "-p" + PASSWORD, "-o" + target, path)
        check(rc == 0 and files_below(target) == CONTENTS, "%s: 7z x byte-identical" % label)
    extracts_whole(label, path, PASSWORD if "aes" in label else None)
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            if "aes" in label:
                check(info.compress_type == 99 and info.extract_version == (63 if "zstd" in label else 51)
                      and info.extra[:2] == b"\x01\x99" and info.CRC == 0,
                      "%s/%s: method 99, AE-2 record, no CRC" % (label, info.filename))
            else:
                check(info.compress_type == 93 and info.extract_version == 63, "%s: method 93, version 6.3" % label)
                if not HAVE_ZSTD:
                    continue
                raw = open(path, "rb").read()
                n, m = struct.unpack_from("<HH", raw, info.header_offset + 26)
                begin = info.header_offset + 30 + n + m
                result = subprocess.run(["zstd", "-d", "-c"], input=raw[begin:begin + info.compress_size],
                                        capture_output=True)
                check(result.returncode == 0 and result.stdout == CONTENTS[info.filename],
                      "%s/%s: the zstd tool decodes the entry's data" % (label, info.filename))

rc, out, err = rylcli("create", "--aes", win(os.path.join(WORK, "none.zip")), win(SOURCE))
check(rc == 2 and "--aes needs a password" in err, "--aes without -p is a usage error: %s" % err)

print("methods_cli: %d failures" % len(failures))
sys.exit(1 if failures else 0)
