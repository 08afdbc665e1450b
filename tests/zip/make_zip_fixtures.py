#!/usr/bin/env python3
"""Writes the archives the ZIP reader tests open: archives made by Info-ZIP
zip, 7-Zip, bsdtar and Python's zipfile, and hand-made archives for the
edge cases. expected.tsv lists, for every entry of the tool-made archives,
what Python's zipfile (an implementation independent of ours) reads:

  entry ARCHIVE NAME_HEX CONTENT_HEX PASSWORD_HEX

Names are UTF-8 hex as the library normalises them; "-" stands for empty.

Usage: make_zip_fixtures.py OUTDIR
"""
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

PASSWORD = "zip secret"
FIXED_MTIME = time.mktime((2022, 3, 4, 5, 6, 8, 0, 0, -1))


def hexs(data):
    return data.hex() or "-"


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (FIXED_MTIME, FIXED_MTIME))


def run(args, cwd, stdin=None):
    subprocess.run(args, cwd=cwd, check=True, input=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def expect(path, rows, password=None):
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            name = re.sub("/+", "/", info.filename.replace("\\", "/"))
            data = z.read(info, pwd=password.encode() if password else None)
            rows.append(["entry", os.path.basename(path), hexs(name.encode("utf-8")), hexs(data),
                         hexs(password.encode()) if password and info.flag_bits & 1 else "-"])


def sample_tree(work):
    rng = random.Random(7)
    write(os.path.join(work, "text.txt"), b"".join(b"line %d of some text\n" % i for i in range(3000)))
    write(os.path.join(work, "noise.bin"), bytes(rng.randrange(256) for _ in range(70000)))
    write(os.path.join(work, "empty.txt"), b"")
    write(os.path.join(work, "sub", "inner.txt"), b"inside a directory\n")


def tool_archives(out, work, rows):
    sample_tree(work)
    files = ["text.txt", "noise.bin", "empty.txt", "sub"]
    # Info-ZIP: deflate, stored, encrypted, data descriptors from a pipe.
    p = os.path.join(out, "infozip_deflate.zip")
    run(["zip", "-q", "-r", p] + files, work)
    run(["zip", "-q", "-z", p], work, stdin=b"an archive comment\n")
    run(["zip", "-q", "-c", p, "text.txt"], work, stdin=b"an entry comment\n")
    expect(p, rows)
    p = os.path.join(out, "infozip_stored.zip")
    run(["zip", "-q", "-0", "-r", p] + files, work)
    expect(p, rows)
    p = os.path.join(out, "infozip_encrypted.zip")
    run(["zip", "-q", "-e", "-P", PASSWORD, p, "text.txt", "noise.bin"], work)
    run(["zip", "-q", "-0", "-e", "-P", PASSWORD, p, "empty.txt"], work)
    expect(p, rows, PASSWORD)
    p = os.path.join(out, "infozip_pipe.zip")
    with open(os.path.join(work, "text.txt"), "rb") as f:
        data = f.read()
    subprocess.run("zip -q - - > '%s'" % p, shell=True, check=True, input=data, cwd=work)
    expect(p, rows)
    p = os.path.join(out, "infozip_pipe_encrypted.zip")
    subprocess.run("zip -q -e -P '%s' - - > '%s'" % (PASSWORD, p), shell=True, check=True, input=data, cwd=work)
    expect(p, rows, PASSWORD)
    # 7-Zip: deflate, bzip2, and ZipCrypto without a data descriptor.
    for method in ("Deflate", "BZip2"):
        p = os.path.join(out, "sevenzip_%s.zip" % method.lower())
        run(["7z", "a", "-tzip", "-mm=" + method, p] + files, work)
        expect(p, rows)
    p = os.path.join(out, "sevenzip_encrypted.zip")
    run(["7z", "a", "-tzip", "-p" + PASSWORD, "-mem=ZipCrypto", p, "text.txt", "noise.bin"], work)
    expect(p, rows, PASSWORD)
    # bsdtar: its default (deflate) and stored.
    p = os.path.join(out, "bsdtar_deflate.zip")
    run(["bsdtar", "--format", "zip", "-cf", p] + files, work)
    expect(p, rows)
    p = os.path.join(out, "bsdtar_stored.zip")
    run(["bsdtar", "--format", "zip", "--options", "zip:compression=store", "-cf", p] + files, work)
    expect(p, rows)
    # Python's zipfile: every method it has, UTF-8 names, forced ZIP64.
    contents = {}
    for name in ("text.txt", "noise.bin", "empty.txt"):
        with open(os.path.join(work, name), "rb") as f:
            contents[name] = f.read()
    for label, method in (("stored", zipfile.ZIP_STORED), ("deflated", zipfile.ZIP_DEFLATED),
                          ("bzip2", zipfile.ZIP_BZIP2)):
        p = os.path.join(out, "python_%s.zip" % label)
        with zipfile.ZipFile(p, "w", method) as z:
            for name, data in contents.items():
                z.writestr(name, data)
            z.writestr("dir/", b"")
            z.writestr("\u00fcber/\u65e5\u672c.txt", "unicode name".encode())
        expect(p, rows)
    p = os.path.join(out, "infozip_zip64.zip")
    run(["zip", "-q", "-fz", p, "text.txt", "noise.bin", "empty.txt"], work)
    expect(p, rows)
    p = os.path.join(out, "python_zip64.zip")
    with zipfile.ZipFile(p, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in contents.items():
            with z.open(name, "w", force_zip64=True) as w:
                w.write(data)
    expect(p, rows)


def stored_archive(entries, comment=b""):
    """A minimal stored archive: (name, data, extra) per entry."""
    buf = bytearray()
    central = bytearray()
    for name, data, version in entries:
        crc = zipfile.crc32(data) & 0xFFFFFFFF
        offset = len(buf)
        buf += struct.pack("<IHHHHHIIIHH", 0x04034B50, version, 0, 0, 0x3000, 0x5421, crc, len(data), len(data),
                           len(name), 0) + name + data
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, version, 0, 0, 0x3000, 0x5421, crc,
                               len(data), len(data), len(name), 0, 0, 0, 0, 0x20, offset) + name
    start = len(buf)
    buf += central
    buf += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), start,
                       len(comment)) + comment
    return bytes(buf)


def patch_method(archive, method):
    data = bytearray(archive)
    data[8:10] = struct.pack("<H", method)
    at = data.find(b"PK\x01\x02")
    data[at + 10:at + 12] = struct.pack("<H", method)
    return bytes(data)


def zip64_everything(body):
    """Every value that can move into ZIP64 records does: sizes and local
    header offsets in the central headers, and the directory's place and
    counts in the ZIP64 end record, with the classic fields all ones."""
    buf = bytearray()
    central = bytearray()
    for name in (b"first.txt", b"second.txt"):
        crc = zipfile.crc32(body) & 0xFFFFFFFF
        offset = len(buf)
        buf += struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, 0x3000, 0x5421, crc, len(body), len(body),
                           len(name), 0) + name + body
        extra = struct.pack("<HHQQQ", 1, 24, len(body), len(body), offset)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, 0x3000, 0x5421, crc,
                               0xFFFFFFFF, 0xFFFFFFFF, len(name), len(extra), 0, 0, 0, 0x20, 0xFFFFFFFF) + name + extra
    start = len(buf)
    buf += central
    z64 = len(buf)
    buf += struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 2, 2, len(central), start)
    buf += struct.pack("<IIQI", 0x07064B50, 0, z64, 1)
    buf += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
    return bytes(buf)


def handmade(out):
    body = b"hand-made entry data\n" * 10
    write(os.path.join(out, "empty.zip"), b"")
    write(os.path.join(out, "zip64_everything.zip"), zip64_everything(body))
    write(os.path.join(out, "end_only.zip"), struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0, 0, 0, 0, 0))
    write(os.path.join(out, "plain.zip"), stored_archive([(b"a/b.txt", body, 10), (b"second.txt", b"2nd\n", 10)]))
    # The archive comment ends in a whole (false) end record saying "no
    # entries": the backward scan meets it first.
    false_end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0, 0, 0, 0, 0)
    write(os.path.join(out, "false_end.zip"), stored_archive([(b"real.txt", body, 10)], b"note " + false_end))
    # A ZIP64 locator in front of the end record pointing at garbage.
    plain = stored_archive([(b"real.txt", body, 10)])
    end_at = plain.rfind(b"PK\x05\x06")
    locator = struct.pack("<IIQI", 0x07064B50, 0, 3, 1)
    moved = bytearray(plain[:end_at] + locator + plain[end_at:])
    write(os.path.join(out, "bad_locator.zip"), bytes(moved))
    # Two entries; the second's central header marks its compressed size as
    # ZIP64 while its ZIP64 record holds nothing.
    two = bytearray(stored_archive([(b"first.txt", body, 10), (b"second.txt", b"2nd\n", 10)]))
    second = two.find(b"PK\x01\x02", two.find(b"PK\x01\x02") + 4)
    central_size_before = len(two) - 22 - second
    two[second + 20:second + 24] = b"\xff\xff\xff\xff"
    two[second + 30:second + 32] = struct.pack("<H", 4)
    name_end = second + 46 + len(b"second.txt")
    two[name_end:name_end] = struct.pack("<HH", 1, 0)
    end = two.rfind(b"PK\x05\x06")
    two[end + 12:end + 16] = struct.pack("<I", central_size_before + 4 + (second - two.find(b"PK\x01\x02")))
    write(os.path.join(out, "short_zip64_record.zip"), bytes(two))
    # Stored bytes labelled LZMA (method 14), which the reader decodes and so
    # refuses, and labelled PPMd (98), which it delivers raw; versions needed
    # the reader refuses or accepts.
    write(os.path.join(out, "method14.zip"), patch_method(stored_archive([(b"raw.bin", body, 10)]), 14))
    write(os.path.join(out, "method98.zip"), patch_method(stored_archive([(b"raw.bin", body, 10)]), 98))
    for version in (45, 46, 51, 63):
        write(os.path.join(out, "version%d.zip" % version), stored_archive([(b"v.txt", body, version)]))
    # What other readers take whole: an archive behind a stub whose offsets
    # count from the archive's own start, a false end record inside the
    # comment that does not end the file, and a host system in the high
    # byte of "version needed".
    two_entries = stored_archive([(b"a/b.txt", body, 10), (b"second.txt", b"2nd\n", 10)])
    write(os.path.join(out, "behind_stub.zip"), b"MZ" + b"s" * 3000 + two_entries)
    write(os.path.join(out, "end_in_comment.zip"),
          stored_archive([(b"a/b.txt", body, 10), (b"second.txt", b"2nd\n", 10)], b"see " + false_end + b" more"))
    write(os.path.join(out, "version_unix.zip"),
          stored_archive([(b"a/b.txt", body, 0x0314), (b"second.txt", b"2nd\n", 0x0314)]))
    # Deflated data that decodes to far more than its headers state.
    with zipfile.ZipFile(os.path.join(out, "understated.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("big.bin", bytes(3 << 20))
    with open(os.path.join(out, "understated.zip"), "r+b") as f:
        raw = bytearray(f.read())
        central = raw.find(b"PK\x01\x02")
        raw[central + 24:central + 28] = struct.pack("<I", 10)
        raw[22:26] = struct.pack("<I", 10)
        f.seek(0)
        f.write(raw)
    # A stored entry whose data was damaged after the CRC was taken.
    damaged = bytearray(stored_archive([(b"damaged.txt", body, 10)]))
    damaged[30 + len(b"damaged.txt") + 5] ^= 0x01
    write(os.path.join(out, "damaged.zip"), bytes(damaged))
    writer_fixtures(out, body)
    # The same for deflate data whose stream still decodes.
    with zipfile.ZipFile(os.path.join(out, "damaged_deflate.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("d.txt", b"x" * 5000)
    with open(os.path.join(out, "damaged_deflate.zip"), "r+b") as f:
        raw = bytearray(f.read())
        at = raw.find(b"PK\x01\x02")
        crc_at = at + 16
        raw[crc_at] ^= 0xFF
        local_crc = 14
        raw[local_crc] ^= 0xFF
        f.seek(0)
        f.write(raw)


def central_at(archive, index):
    at = -4
    for _ in range(index + 1):
        at = archive.find(b"PK\x01\x02", at + 4)
    return at


def writer_fixtures(out, body):
    """Archives the writer must carry through a save, or refuse to save."""
    # Entries the reader skips for their names, between two it lists.
    entries = [(b"first.txt", body, 10), (b"/absolute.txt", b"absolute\n", 10), (b"//", b"separators\n", 10),
               (b"last.txt", b"last\n", 10)]
    write(os.path.join(out, "skipped_names.zip"), stored_archive(entries))
    # A skipped entry whose local header lies beyond the end of the file.
    bad_local = bytearray(stored_archive(entries))
    at = central_at(bad_local, 1)
    bad_local[at + 42:at + 46] = struct.pack("<I", 0x7FFFFFF0)
    write(os.path.join(out, "skipped_bad_local.zip"), bytes(bad_local))
    # A directory the reader cannot read to its end: the second of three
    # central headers has lost its signature.
    broken = bytearray(stored_archive([(b"first.txt", body, 10), (b"second.txt", b"2nd\n", 10),
                                       (b"third.txt", b"3rd\n", 10)]))
    at = central_at(broken, 1)
    broken[at:at + 4] = b"PK\x01\x09"
    write(os.path.join(out, "broken_directory.zip"), bytes(broken))
    # An archive comment with bytes above 127, in the OEM code page.
    write(os.path.join(out, "oem_comment.zip"),
          stored_archive([(b"a.txt", body, 10)], b"caf\x82 \x9c\xe1 \x81ber \xb0\xdb end"))


def mutation_bases(out, work):
    """Small archives of every kind for the mutation test to damage."""
    rng = random.Random(11)
    data = {"a.txt": b"".join(b"row %d\n" % i for i in range(300)),
            "b.bin": bytes(rng.randrange(256) for _ in range(700)),
            "c/": b""}
    for label, method in (("stored", zipfile.ZIP_STORED), ("deflated", zipfile.ZIP_DEFLATED),
                          ("bzip2", zipfile.ZIP_BZIP2)):
        with zipfile.ZipFile(os.path.join(out, "mutate_%s.zip" % label), "w", method) as z:
            for name, body in data.items():
                z.writestr(name, body)
            z.comment = b"mutation base"
    os.makedirs(work, exist_ok=True)
    write(os.path.join(work, "a.txt"), data["a.txt"])
    write(os.path.join(work, "b.bin"), data["b.bin"])
    run(["zip", "-q", "-e", "-P", PASSWORD, os.path.join(out, "mutate_encrypted.zip"), "a.txt", "b.bin"], work)
    run(["zip", "-q", "-fz", os.path.join(out, "mutate_zip64.zip"), "a.txt", "b.bin"], work)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    rows = []
    work = tempfile.mkdtemp()
    try:
        tool_archives(out, work, rows)
        mutation_bases(out, os.path.join(work, "m"))
    finally:
        shutil.rmtree(work)
    handmade(out)
    with open(os.path.join(out, "expected.tsv"), "w") as f:
        for row in rows:
            f.write("\t".join(str(v) for v in row) + "\n")


if __name__ == "__main__":
    main()
