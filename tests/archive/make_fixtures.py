#!/usr/bin/env python3
"""Writes the archives the format tests read, made by Info-ZIP zip, 7-Zip
and Python's zipfile, and a manifest of what each holds as Python's zipfile
reads it (an implementation independent of ours).

Usage: make_fixtures.py OUTDIR

manifest.tsv, one record per line, tab-separated, texts as hex of UTF-8:
  archive FILE ENTRIES COMMENT ZIP64(0/1) CLASSIC_TOTAL
  entry FILE INDEX NAME FLAGS METHOD CRC CSIZE USIZE OFFSET DOSDATE DOSTIME
        TIME COMMENT NEEDED MADEBY EXTRAS
  secret FILE INDEX PASSWORD PLAINTEXT
TIME is the DOS pair as local time in 100-ns units since 1601 (UTC); EXTRAS
lists the kept extra records as id:size, comma-separated, or "-". Names are
given as the library normalises them ("\\" to "/", no runs of "/").
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
import zlib

EPOCH_AS_FILETIME = 116444736000000000
FIXED_MTIME = time.mktime((2021, 6, 15, 12, 34, 56, 0, 0, -1))
PASSWORD = "pass word"


def hexs(text):
    return text.encode("utf-8").hex() or "-"


def normalised(name):
    return re.sub("/+", "/", name.replace("\\", "/"))


def dos_pair(date_time):
    y, mo, d, h, mi, s = date_time
    return ((y - 1980) << 9) | (mo << 5) | d, (h << 11) | (mi << 5) | (s // 2)


def filetime_of_local(date_time):
    seconds = time.mktime(tuple(date_time) + (0, 0, -1))
    return int(seconds) * 10000000 + EPOCH_AS_FILETIME


def kept_extras(extra):
    out, at = [], 0
    while len(extra) - at >= 4:
        hid, size = struct.unpack_from("<HH", extra, at)
        if size > len(extra) - at - 4:
            break
        if hid != 1:
            out.append(f"{hid:04x}:{size}")
        at += 4 + size
    return ",".join(out) or "-"


def describe(path, manifest, only=None):
    name = os.path.basename(path)
    with zipfile.ZipFile(path) as z:
        infos = z.infolist()
        comment = z.comment.decode("cp437")
        endrec = zipfile._EndRecData(open(path, "rb"))
        zip64 = 1 if endrec[zipfile._ECD_SIGNATURE] == zipfile.stringEndArchive64 else 0
        with open(path, "rb") as f:
            f.seek(-22 - len(z.comment), 2)
            classic_total = struct.unpack("<4s4H2LH", f.read(22))[4]
    manifest.append(["archive", name, len(infos), hexs(comment), zip64, classic_total])
    for index, info in enumerate(infos):
        if only is not None and index not in only:
            continue
        utf8 = info.flag_bits & 0x800
        entry_comment = info.comment.decode("utf-8" if utf8 else "cp437")
        date, tm = dos_pair(info.date_time)
        manifest.append([
            "entry", name, index, hexs(normalised(info.filename)), info.flag_bits, info.compress_type,
            info.CRC, info.compress_size, info.file_size, info.header_offset, date, tm,
            filetime_of_local(info.date_time), hexs(entry_comment), info.extract_version,
            (info.create_system << 8) | info.create_version, kept_extras(info.extra)])


def run(args, cwd, stdin=None):
    subprocess.run(args, cwd=cwd, check=True, input=stdin, stdout=subprocess.DEVNULL)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (FIXED_MTIME, FIXED_MTIME))


def infozip_archives(out, work, manifest):
    rng = random.Random(1)
    text = b"".join(b"line %d of a compressible text\n" % i for i in range(100))
    write(os.path.join(work, "readme.txt"), text)
    write(os.path.join(work, "empty.txt"), b"")
    write(os.path.join(work, "docs", "random.bin"), bytes(rng.randrange(256) for _ in range(2000)))
    write(os.path.join(work, "caf\u00e9.txt"), b"an accented name\n")
    os.utime(os.path.join(work, "docs"), (FIXED_MTIME, FIXED_MTIME))

    basic = os.path.join(out, "infozip_basic.zip")
    run(["zip", "-q", "-r", basic, "readme.txt", "empty.txt", "docs", "caf\u00e9.txt"], work)
    run(["zip", "-q", "-z", basic], work, stdin=b"Info-ZIP archive comment\n")
    run(["zip", "-q", "-c", basic, "readme.txt"], work, stdin=b"the readme\n")
    describe(basic, manifest)

    # Encryption: zip sets bit 3 here, so the check byte is the time's.
    secret = b"The secret text, stored and deflated alike.\n" * 20
    write(os.path.join(work, "secret.txt"), secret)
    write(os.path.join(work, "secret0.txt"), secret)
    encrypted = os.path.join(out, "infozip_encrypted.zip")
    run(["zip", "-q", "-e", "-P", PASSWORD, encrypted, "secret.txt"], work)
    run(["zip", "-q", "-0", "-e", "-P", PASSWORD, encrypted, "secret0.txt"], work)
    describe(encrypted, manifest)
    for index in (0, 1):
        manifest.append(["secret", "infozip_encrypted.zip", index, hexs(PASSWORD), secret.hex()])

    # ZIP64 forced on small data: a central ZIP64 record and the ZIP64 end
    # record and locator, from a real tool.
    z64 = os.path.join(out, "infozip_zip64.zip")
    run(["zip", "-q", "-fz", z64, "readme.txt", "empty.txt"], work)
    describe(z64, manifest)


def sevenzip_archive(out, work, manifest):
    # 7-Zip writes encrypted entries without bit 3: the check byte is the
    # CRC's high byte.
    secret = b"Seven secrets, stored so that the cipher text is the data.\n" * 4
    write(os.path.join(work, "seven.txt"), secret)
    path = os.path.join(out, "sevenzip_encrypted.zip")
    run(["7z", "a", "-tzip", "-p" + PASSWORD, "-mem=ZipCrypto", "-mx=0", path, "seven.txt"], work)
    describe(path, manifest)
    manifest.append(["secret", "sevenzip_encrypted.zip", 0, hexs(PASSWORD), secret.hex()])


class OemInfo(zipfile.ZipInfo):
    """Stores the name in code page 437 without bit 11, as DOS-era tools do."""

    def _encodeFilenameFlags(self):
        return self.filename.encode("cp437"), self.flag_bits & ~0x800


def python_archives(out, manifest):
    date = (2020, 2, 29, 23, 59, 58)
    mixed = os.path.join(out, "python_mixed.zip")
    with zipfile.ZipFile(mixed, "w") as z:
        z.comment = b"Python archive comment \x82"
        for name, method, data, comment in [
            ("plain.txt", zipfile.ZIP_STORED, b"stored bytes\n", b"a stored entry"),
            ("deflated.txt", zipfile.ZIP_DEFLATED, b"deflate me " * 50, b""),
            ("bzipped.txt", zipfile.ZIP_BZIP2, b"bzip2 me " * 50, b""),
            ("\u00e9t\u00e9/na\u00efve.txt", zipfile.ZIP_DEFLATED, b"utf-8 name\n", "\u00e9t\u00e9".encode()),
            ("back\\slash\\\\name.txt", zipfile.ZIP_STORED, b"backslashes\n", b""),
            ("emptydir/", zipfile.ZIP_STORED, b"", b""),
        ]:
            info = zipfile.ZipInfo(name, date)
            info.compress_type = method
            info.comment = comment
            z.writestr(info, data)
        oem = OemInfo("caf\u00e9 \u00c7a.txt", (1980, 1, 1, 0, 0, 0))
        oem.comment = "\u00e0 bient\u00f4t".encode("cp437")
        z.writestr(oem, b"code page 437 name\n")
        late = zipfile.ZipInfo("late.txt", (2107, 12, 31, 23, 59, 58))
        z.writestr(late, b"the last DOS day\n")
    describe(mixed, manifest)

    forced = os.path.join(out, "python_force_zip64.zip")
    with zipfile.ZipFile(forced, "w") as z:
        for name, data in [("first.txt", b"first\n" * 10), ("second.txt", b"second\n" * 10)]:
            info = zipfile.ZipInfo(name, date)
            info.compress_type = zipfile.ZIP_DEFLATED
            with z.open(info, "w", force_zip64=True) as f:
                f.write(data)
    describe(forced, manifest)

    many = os.path.join(out, "python_many.zip")
    count = 65600
    with zipfile.ZipFile(many, "w") as z:
        for i in range(count):
            z.writestr(zipfile.ZipInfo("many/%05d.txt" % i, date), b"%d" % i)
    describe(many, manifest, only={0, 1, 65534, 65535, 65536, count - 1})


def crafted_archives(out, manifest):
    # Every field of the central header marked, all three values in the
    # ZIP64 record: the order of the values is what is under test.
    data = b"zip64 values in every field\n"
    crc = zlib.crc32(data)
    name = b"all.bin"
    date, tm = dos_pair((2001, 9, 9, 1, 46, 40))
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, tm, date, crc, len(data), len(data), len(name), 0)
    zip64 = struct.pack("<HHQQQ", 1, 24, len(data), len(data), 0)
    unknown = struct.pack("<HH", 0xCAFE, 3) + b"abc"
    extra = unknown + zip64
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, tm, date, crc, 0xFFFFFFFF,
                          0xFFFFFFFF, len(name), len(extra), 0, 0, 0, 0x20, 0xFFFFFFFF) + name + extra
    body = local + name + data
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(body), 0)
    path = os.path.join(out, "crafted_zip64_all.zip")
    with open(path, "wb") as f:
        f.write(body + central + end)
    describe(path, manifest)


def main():
    out = os.path.abspath(sys.argv[1])
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    manifest = []
    with tempfile.TemporaryDirectory() as work:
        infozip_archives(out, work, manifest)
        sevenzip_archive(out, work, manifest)
    python_archives(out, manifest)
    crafted_archives(out, manifest)
    with open(os.path.join(out, "manifest.tsv"), "w") as f:
        for record in manifest:
            f.write("\t".join(str(v) for v in record) + "\n")


if __name__ == "__main__":
    main()
