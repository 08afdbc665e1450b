#!/usr/bin/env python3
"""rylcli zip list/extract/test as a user runs them, under Wine, checked
against what Python's zipfile reads from the same archives.

Usage: cli_test.py WINE_RUN RYLCLI_EXE FIXTURE_DIR WORK_DIR
"""
import os
import shutil
import subprocess
import sys
import zipfile

WINE_RUN, RYLCLI, FIXTURES, WORK = sys.argv[1:5]
failures = []

# A machine that cannot run 32-bit programs cannot run rylcli: skip, as the
# wrapper says why (exit 77 is CTest's skip code for this test).
if subprocess.run([WINE_RUN, "--check"]).returncode != 0:
    sys.exit(77)


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAILED: " + message)


def win(path):
    return "Z:" + path.replace("/", "\\")


def rylcli(*args):
    result = subprocess.run([WINE_RUN, RYLCLI, "zip"] + list(args), capture_output=True)
    return result.returncode, result.stdout.decode("utf-8", "replace"), result.stderr.decode("utf-8", "replace")


def fixture(name):
    return os.path.join(FIXTURES, name)


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)

# list: names, sizes, methods, comments, the encrypted flag.
rc, out, err = rylcli("list", win(fixture("infozip_deflate.zip")))
check(rc == 0, "list succeeds: %s" % err)
check("comment: an archive comment" in out, "list shows the archive comment")
check("[an entry comment]" in out, "list shows the entry comment")
for info in zipfile.ZipFile(fixture("infozip_deflate.zip")).infolist():
    check(info.filename in out and str(info.file_size) in out, "list shows %s and its size" % info.filename)
check("5 entries" in out, "list counts the entries")
rc, out, err = rylcli("list", win(fixture("infozip_encrypted.zip")))
check(out.count("(encrypted)") == 3, "list marks encrypted entries")
rc, out, err = rylcli("list", win(fixture("python_bzip2.zip")))
check("bzip2" in out and "\u00fcber/\u65e5\u672c.txt" in out, "list shows methods and UTF-8 names")
rc, out, err = rylcli("list", win(os.path.join(WORK, "absent.zip")))
check(rc != 0 and not os.path.exists(os.path.join(WORK, "absent.zip")), "a missing archive is reported, not created")

# test: every entry read to its end, CRC checked.
for name in ("python_bzip2.zip", "sevenzip_deflate.zip", "bsdtar_stored.zip", "infozip_zip64.zip"):
    rc, out, err = rylcli("test", win(fixture(name)))
    check(rc == 0 and "0 failed" in out, "test passes %s: %s%s" % (name, out, err))
rc, out, err = rylcli("test", win(fixture("damaged.zip")))
check(rc == 1 and "0xE0010045" in out, "test reports the CRC mismatch")
rc, out, err = rylcli("test", win(fixture("infozip_encrypted.zip")))
check(rc == 1 and "0xE001009B" in out, "test without the password reports it is required")
rc, out, err = rylcli("test", "-p", "zip secret", win(fixture("infozip_encrypted.zip")))
check(rc == 0, "test with the password passes: %s" % out)
rc, out, err = rylcli("test", "-p", "wrong", win(fixture("infozip_encrypted.zip")))
check(rc == 1 and "0xE001009C" in out, "test with a wrong password reports it")

# extract: everything, byte-identical with zipfile's reading.
for name, password in (("python_bzip2.zip", None), ("sevenzip_deflate.zip", None),
                       ("infozip_encrypted.zip", "zip secret")):
    target = os.path.join(WORK, name)
    args = ["extract"] + (["-p", password] if password else []) + [win(fixture(name)), win(target)]
    rc, out, err = rylcli(*args)
    check(rc == 0, "extract %s: %s" % (name, err))
    with zipfile.ZipFile(fixture(name)) as z:
        for info in z.infolist():
            path = os.path.join(target, info.filename)
            if info.is_dir():
                check(os.path.isdir(path), "%s: directory %s made" % (name, info.filename))
                continue
            data = z.read(info, pwd=password.encode() if password else None)
            check(os.path.isfile(path) and open(path, "rb").read() == data,
                  "%s: %s extracted byte-identical" % (name, info.filename))

# extract named entries only; a name not in the archive is reported.
target = os.path.join(WORK, "named")
rc, out, err = rylcli("extract", win(fixture("infozip_deflate.zip")), win(target), "sub\\inner.txt", "nothere")
check(rc == 1 and "not in the archive: nothere" in err, "a missing name is reported")
check(sorted(os.listdir(target)) == ["sub"] and os.listdir(os.path.join(target, "sub")) == ["inner.txt"],
      "only the named entry is extracted")

# extract refuses names that leave the directory, and extracts the rest.
hostile = os.path.join(WORK, "hostile.zip")
with zipfile.ZipFile(hostile, "w") as z:
    for name in ("../up.txt", "a/../../up2.txt", "..\\up3.txt", "C:/drive.txt", "c:rel.txt", "ok/fine.txt",
                 "..a/legal.txt"):
        info = zipfile.ZipInfo(name)
        z.writestr(info, b"payload " + name.encode())
target = os.path.join(WORK, "jail", "inside")
rc, out, err = rylcli("extract", win(hostile), win(target))
check(rc == 1, "refusals make the run fail")
for name in ("../up.txt", "a/../../up2.txt", "../up3.txt", "C:/drive.txt", "c:rel.txt"):
    check("refused: " + name in err, "%s is refused and reported (%s)" % (name, err))
check(os.path.isfile(os.path.join(target, "ok", "fine.txt")), "the safe entry is extracted")
check(os.path.isfile(os.path.join(target, "..a", "legal.txt")), "a name merely starting with dots is fine")
escaped = [p for p in os.listdir(os.path.join(WORK, "jail")) if p != "inside"]
check(escaped == [], "nothing was written outside the target: %s" % escaped)
check(not os.path.exists(os.path.join(WORK, "up.txt")), "nothing two levels up either")

# a failed entry leaves no partial file behind, and the others still come out.
for name, entry in (("damaged.zip", "damaged.txt"), ("damaged_deflate.zip", "d.txt")):
    target = os.path.join(WORK, "failed_" + name)
    rc, out, err = rylcli("extract", win(fixture(name)), win(target))
    check(rc == 1 and ("failed: %s: RYL_E_BAD_FORMAT (0xE0010045)" % entry) in err, "%s: the CRC failure is reported: %s" % (name, err))
    check(not os.path.exists(os.path.join(target, entry)), "%s: the damaged entry leaves no file" % name)
target = os.path.join(WORK, "wrong_password")
rc, out, err = rylcli("extract", "-p", "wrong", win(fixture("infozip_encrypted.zip")), win(target))
check(rc == 1 and "0xE001009C" in err, "extract with a wrong password reports it: %s" % err)
with zipfile.ZipFile(fixture("infozip_encrypted.zip")) as z:
    for info in z.infolist():
        if info.flag_bits & 1:
            check(not os.path.exists(os.path.join(target, info.filename)),
                  "wrong password: %s leaves no file" % info.filename)
target = os.path.join(WORK, "no_password")
rc, out, err = rylcli("extract", win(fixture("infozip_encrypted.zip")), win(target))
check(rc == 1 and "0xE001009B" in err, "extract without the password reports it is required: %s" % err)

# An existing file is replaced, not appended to; a named entry given with "/"
# or "\\" lands under its stored name.
target = os.path.join(WORK, "replace")
os.makedirs(os.path.join(target, "sub"))
with open(os.path.join(target, "sub", "inner.txt"), "wb") as f:
    f.write(b"old content that is longer than the entry's data " * 100)
rc, out, err = rylcli("extract", win(fixture("infozip_deflate.zip")), win(target), "sub/inner.txt")
with zipfile.ZipFile(fixture("infozip_deflate.zip")) as z:
    expected = z.read("sub/inner.txt")
check(rc == 0 and open(os.path.join(target, "sub", "inner.txt"), "rb").read() == expected,
      "an existing file is replaced by the entry: %s" % err)

# Many entries in many directories, from one opening of the archive; a short
# run prints no progress lines.
many = os.path.join(WORK, "many.zip")
contents = {}
with zipfile.ZipFile(many, "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(3000):
        name = "d%02d/e%d/file%05d.txt" % (i % 37, i % 3, i)
        contents[name] = (b"entry %d\n" % i) * (i % 50) + (b"\x00\xff" * (i % 7))
        z.writestr(name, contents[name])
    z.writestr("big.bin", os.urandom(3 * 1024 * 1024 + 17))
target = os.path.join(WORK, "many")
rc, out, err = rylcli("extract", win(many), win(target))
check(rc == 0, "extract of 3001 entries succeeds: %s" % err[:500])
check(out.count("extracted: ") == 3001, "every entry is reported extracted")
wrong = [n for n, data in contents.items() if open(os.path.join(target, n), "rb").read() != data]
check(wrong == [], "all 3000 small entries byte-identical: %s" % wrong[:5])
with zipfile.ZipFile(many) as z:
    check(open(os.path.join(target, "big.bin"), "rb").read() == z.read("big.bin"),
          "the large entry is byte-identical")
check("progress:" not in out, "progress never mixes with the list of extracted entries")

shutil.rmtree(WORK, ignore_errors=True)
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
