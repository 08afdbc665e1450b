#!/usr/bin/env python3
"""Archives written by rylcli zip create/add/delete, checked by other tools.

Every archive is made at run time from a tree of files made here, then
tested with Info-ZIP `unzip -t` (which must print no warning), `7z t`,
`bsdtar -tf` and Python's zipfile (testzip and every entry's bytes against
its source file), and its records are read back directly: methods, flags,
times, the bzip2 block size, the encryption header, data descriptors.
Archives written by Info-ZIP zip, 7-Zip, Python and bsdtar go through
`rylcli zip add` and `rylcli zip delete`, after which every other entry's
records and compressed bytes must be as they were.

Usage: writer_interop.py WINE_RUN RYLCLI_EXE WORK_DIR [CASE...]
With CASE names only those cases run (a slow emulated run by hand).
"""
import os
import shutil
import struct
import subprocess
import sys
import time
import zipfile
import zlib

from cli_harness import check, failures, rylcli_runner, skip_unless_runnable, win

WINE_RUN, RYLCLI, WORK = sys.argv[1:4]
ONLY = set(sys.argv[4:])
skip_unless_runnable(WINE_RUN)
for tool in ("unzip", "7z", "bsdtar", "zip"):
    if shutil.which(tool) is None:
        print("writer_interop: %s is missing (scripts/install-toolchain.sh installs it)" % tool)
        sys.exit(1)
run_rylcli = rylcli_runner(WINE_RUN, RYLCLI)

PASSWORD = "s3cret pw"
COMMENT = "Gr\u00fc\u00dfe \u00bd caf\u00e9"  # every character has an OEM (437) byte


def rylcli(*args, binary_stdout=False):
    rc, out, err = run_rylcli(*args)
    return rc, out if binary_stdout else out.decode("utf-8", "replace"), err.decode("utf-8", "replace")


def run(*command):
    result = subprocess.run(list(command), capture_output=True, stdin=subprocess.DEVNULL)
    return result.returncode, (result.stdout + result.stderr).decode("utf-8", "replace")


# --- reading records directly -------------------------------------------------

def central_records(path):
    """Every central header (in order) as a dict, with its entry's local
    header fields and raw data, parsed here so that names that are not valid
    text (which zipfile refuses) can be compared too."""
    data = open(path, "rb").read()
    end = data.rindex(b"PK\x05\x06")
    count, size, offset, comment_length = struct.unpack("<HIIH", data[end + 10:end + 22])
    records = []
    at = offset
    while data[at:at + 4] == b"PK\x01\x02":
        (made, needed, flags, method, dos_time, dos_date, crc, csize, usize, n, m, k, _disk, internal, external,
         local_offset) = struct.unpack("<HHHHHHIIIHHHHHII", data[at + 4:at + 46])
        name = data[at + 46:at + 46 + n]
        extra = data[at + 46 + n:at + 46 + n + m]
        comment = data[at + 46 + n + m:at + 46 + n + m + k]
        at += 46 + n + m + k
        (lneeded, lflags, lmethod, ltime, ldate, lcrc, lcsize, lusize, ln, lm) = struct.unpack(
            "<HHHHHIIIHH", data[local_offset + 4:local_offset + 30])
        start = local_offset + 30 + ln + lm
        records.append(dict(
            name=name, made=made, needed=needed, flags=flags, method=method, time=(dos_date, dos_time), crc=crc,
            csize=csize, usize=usize, extra=extra, comment=comment, internal=internal, external=external,
            local_name=data[local_offset + 30:local_offset + 30 + ln], local_extra=data[local_offset + 30 + ln:start],
            local=dict(needed=lneeded, flags=lflags, method=lmethod, time=(ldate, ltime), crc=lcrc, csize=lcsize,
                       usize=lusize),
            raw=data[start:start + csize], after=data[start + csize:start + csize + 16]))
    check(len(records) == count, "%s: the end record counts %d entries, the directory has %d"
          % (path, count, len(records)))
    return records, data[end + 22:end + 22 + comment_length]


def dos_time_of(path):
    """The DOS (date, time) of a file's last write, local time; None before 1980."""
    t = time.localtime(os.stat(path).st_mtime)
    if t.tm_year < 1980:
        return None
    return ((t.tm_year - 1980) << 9 | t.tm_mon << 5 | t.tm_mday, t.tm_hour << 11 | t.tm_min << 5 | t.tm_sec // 2)


# --- the source tree ---------------------------------------------------------

def make_tree(root):
    """A tree of mixed files; returns {entry name: path} (see expected_of)."""
    rng = __import__("random").Random(11)
    words = [("".join(rng.choice("abcdefghij") for _ in range(rng.randint(2, 9)))) for _ in range(400)]
    text = "\n".join(" ".join(rng.choices(words, k=12)) for _ in range(6000)).encode()
    files = {
        "text.txt": text,
        "random.bin": rng.randbytes(300000),
        "empty.txt": b"",
        "sub/deeper/small.txt": b"small\n",
        "sub/records.dat": b"".join(rng.randbytes(4) + bytes(28) for _ in range(5000)),
        "\u00fcber/\u65e5\u672c.txt": "unicode content \u00e4\u00f6\u00fc\n".encode() * 50,
        "\u00f1and\u00fa.txt": b"n tilde\n",
    }
    for name, content in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
    os.makedirs(os.path.join(root, "sub", "empty-dir"))
    # An old file: the DOS date cannot go before 1980.
    os.utime(os.path.join(root, "sub", "deeper", "small.txt"), (315000000, 315000000))
    return expected_of(root)


def expected_of(named):
    """What rylcli puts in an archive for the named path: {entry name: path},
    names relative to its parent, directories' names ending in "/"."""
    parent = os.path.dirname(named.rstrip("/"))
    expected = {}
    if os.path.isfile(named):
        return {os.path.basename(named): named}
    for directory, dirs, files in os.walk(named):
        expected[os.path.relpath(directory, parent) + "/"] = directory
        for f in files:
            expected[os.path.relpath(os.path.join(directory, f), parent)] = os.path.join(directory, f)
    return expected


# --- checks -------------------------------------------------------------------

def tool_checks(label, archive, expected, password=None):
    """unzip -t (silent about anything odd), 7z t, bsdtar -tf, zipfile."""
    rc, out = run("unzip", "-t", *(["-P", password] if password else []), archive)
    check(rc == 0 and "No errors detected" in out, "%s: unzip -t passes: %s" % (label, out[-800:]))
    check("warning" not in out.lower(), "%s: unzip -t prints no warning: %s" % (label, out[-800:]))
    rc, out = run("7z", "t", *(["-p" + password] if password else []), archive)
    check(rc == 0 and "Everything is Ok" in out, "%s: 7z t passes: %s" % (label, out[-800:]))
    rc, out = run("bsdtar", "-tf", archive)
    listed = set(line for line in out.splitlines() if line)
    check(rc == 0 and listed == set(expected), "%s: bsdtar -tf lists the entries: %s" % (label, sorted(listed ^ set(expected))))
    with zipfile.ZipFile(archive) as z:
        if password:
            z.setpassword(password.encode())
        check(z.testzip() is None, "%s: zipfile's testzip passes" % label)
        names = [i.filename for i in z.infolist()]
        check(sorted(names) == sorted(expected), "%s: zipfile sees the entries: %s" % (label, sorted(set(names) ^ set(expected))))
        for info in z.infolist():
            source = expected.get(info.filename)
            if source is not None and not info.is_dir():
                check(z.read(info) == open(source, "rb").read(), "%s: %s byte-identical" % (label, info.filename))
    if password:
        rc, out = run("unzip", "-t", "-P", "wrong" + password, archive)
        check(rc != 0, "%s: unzip refuses a wrong password" % label)
        rc, out = run("7z", "t", "-pwrong" + password, archive)
        check(rc != 0, "%s: 7z refuses a wrong password" % label)
        with zipfile.ZipFile(archive) as z:
            try:
                z.read(next(i for i in z.infolist() if i.file_size > 0), pwd=b"wrong" + password.encode())
                check(False, "%s: zipfile refuses a wrong password" % label)
            except (RuntimeError, zipfile.BadZipFile):
                pass


def record_checks(label, archive, expected, method, password=None, descriptors=False, comment=b"",
                  directory_times=True):
    """The records as written: method, flags, times, sizes, and what lies
    around the data."""
    records, archive_comment = central_records(archive)
    check(archive_comment == comment, "%s: archive comment %r, expected %r" % (label, archive_comment, comment))
    for r in records:
        name = r["name"].decode("utf-8")
        source = expected.get(name)
        directory = name.endswith("/")
        what = "%s: %s" % (label, name)
        non_ascii = any(ord(c) > 127 for c in name)
        check(r["local_name"] == r["name"], what + ": the local and central names agree")
        check(bool(r["flags"] & 0x800) == non_ascii and bool(r["local"]["flags"] & 0x800) == non_ascii,
              what + ": bit 11 exactly for a non-ASCII name, in both headers (%#x, %#x)"
              % (r["flags"], r["local"]["flags"]))
        if directory:
            check(r["usize"] == 0 and r["csize"] == 0 and r["flags"] & 1 == 0, what + ": a directory has no data")
            if directory_times:
                check(r["time"] == dos_time_of(source), what + ": directory time")
            continue
        check(r["method"] == method, what + ": method %d, expected %d" % (r["method"], method))
        if dos_time_of(source) is None:
            check(r["time"][0] >> 9 == 0, what + ": a file from before 1980 gets a 1980 date (%r)" % (r["time"],))
        else:
            check(r["time"] == dos_time_of(source), what + ": DOS time %r from the file's %r"
                  % (r["time"], dos_time_of(source)))
        size = os.path.getsize(source)
        encrypted = password is not None
        check(bool(r["flags"] & 1) == encrypted, what + ": encryption flag")
        want_descriptor = descriptors or encrypted
        check(bool(r["flags"] & 8) == want_descriptor, what + ": data-descriptor flag %#x" % r["flags"])
        if want_descriptor:
            check(r["local"]["crc"] == 0 and r["local"]["csize"] == 0, what + ": the local header defers CRC and sizes")
            check(r["after"][:4] == b"PK\x07\x08" and struct.unpack("<III", r["after"][4:16]) ==
                  (r["crc"], r["csize"], r["usize"]), what + ": a data descriptor with CRC and sizes follows the data")
        else:
            check((r["local"]["crc"], r["local"]["csize"], r["local"]["usize"]) == (r["crc"], r["csize"], r["usize"]),
                  what + ": the local header holds the final CRC and sizes")
        if method == 0:
            check(r["csize"] == size + (12 if encrypted else 0), what + ": stored size %d for %d bytes" % (r["csize"], size))
        if not encrypted:
            if method == 12:
                check(r["raw"][:4] == b"BZh9", what + ": bzip2 with 900 kB blocks (%r)" % r["raw"][:4])
            if method == 8:
                check(zlib.decompress(r["raw"], -15) == open(source, "rb").read(), what + ": raw deflate data")
    return records


def only(case):
    return not ONLY or case in ONLY


# --- the runs -------------------------------------------------------------------

shutil.rmtree(WORK, ignore_errors=True)
src = os.path.join(WORK, "src")
out = os.path.join(WORK, "out")
os.makedirs(os.path.join(src, "tree"))
os.makedirs(out)
tree = os.path.join(src, "tree")
expected = make_tree(tree)
made = set()  # what the cases wrote into out, and nothing else may be there


def created(case, archive_name, options, method, password=None, comment=b""):
    if not only(case):
        return None
    archive = os.path.join(out, archive_name)
    made.add(archive_name)
    rc, stdout, err = rylcli("create", *options, win(archive), win(tree))
    if not check(rc == 0, "%s: create succeeds: %s" % (case, err)):
        return None
    announced = set(line[len("added: "):] for line in stdout.splitlines() if line.startswith("added: "))
    check(announced == set(expected), "%s: every entry is reported added" % case)
    tool_checks(case, archive, expected, password)
    return record_checks(case, archive, expected, method, password, comment=comment, directory_times=False)


created("stored", "stored.zip", ["-0"], 0)
sizes = {}
for level in (1, 6, 9):
    records = created("deflate%d" % level, "deflate%d.zip" % level, [] if level == 6 else ["-%d" % level], 8)
    if records:
        sizes[level] = next(r["raw"] for r in records if r["name"] == b"tree/text.txt")
if len(sizes) == 3:
    # Level 9 need not be smaller than 6, but it searches differently.
    check(len(sizes[1]) > len(sizes[6]) and len(sizes[1]) > len(sizes[9]) and sizes[6] != sizes[9],
          "the levels are applied: text.txt compressed to %r" % {k: len(v) for k, v in sizes.items()})
created("bzip2", "bzip2.zip", ["-j"], 12)
created("encrypted", "encrypted.zip", ["-p", PASSWORD], 8, password=PASSWORD)
created("encrypted_stored", "encrypted_stored.zip", ["-0", "-p", PASSWORD], 0, password=PASSWORD)
created("comment", "comment.zip", ["-c", COMMENT], 8, comment=COMMENT.encode("cp437"))
if only("comment"):
    rc, stdout, err = rylcli("list", win(os.path.join(out, "comment.zip")))
    check(rc == 0 and ("comment: " + COMMENT) in stdout, "the comment reads back through rylcli: %s" % stdout[:200])

# Into a pipe: data descriptors, the archive on stdout and nothing else.
if only("pipe"):
    for label, options, password in (("pipe", [], None), ("pipe_encrypted", ["-j", "-p", PASSWORD], PASSWORD)):
        rc, data, err = rylcli("create", *options, "-", win(tree), binary_stdout=True)
        archive = os.path.join(out, label + ".zip")
        made.add(label + ".zip")
        with open(archive, "wb") as f:
            f.write(data)
        if check(rc == 0 and data[:4] == b"PK\x03\x04", "%s: create - writes an archive: %s" % (label, err)):
            tool_checks(label, archive, expected, password)
            record_checks(label, archive, expected, 12 if password else 8, password, descriptors=True,
                          directory_times=False)

# Replacing, failing, adding, deleting.
if only("update"):
    archive = os.path.join(out, "update.zip")
    made.update(("update.zip", "fresh.zip"))
    single = os.path.join(tree, "text.txt")
    rc, _, err = rylcli("create", win(archive), win(tree))
    rc, _, err = rylcli("create", "-c", "second", win(archive), win(single))
    check(rc == 0, "create over an archive succeeds: %s" % err)
    check(zipfile.ZipFile(archive).namelist() == ["text.txt"], "create replaces the archive that was there")
    before = open(archive, "rb").read()
    rc, _, err = rylcli("create", win(archive), win(single), win(os.path.join(src, "absent")))
    check(rc == 1 and "no file or directory" in err, "a missing path fails the create: %s" % err)
    check(open(archive, "rb").read() == before, "a failed create leaves the archive as it was")
    rc, _, err = rylcli("create", win(archive), win(single), win(os.path.join(tree, "sub", "deeper", "..", "..", "text.txt")))
    check(rc == 1 and "two paths give the entry name" in err, "two paths with one entry name fail: %s" % err)
    check(open(archive, "rb").read() == before, "... and leave the archive as it was")
    rc, _, err = rylcli("delete", win(archive), "text.txt", "absent.txt")
    check(rc == 1 and "not in the archive: absent.txt" in err, "delete of an absent name fails: %s" % err)
    check(open(archive, "rb").read() == before, "a failed delete leaves the archive byte for byte as it was")
    # add: a new tree, a replaced file, a kept directory; the comment stays.
    changed = os.path.join(src, "changed", "text.txt")
    os.makedirs(os.path.dirname(changed))
    with open(changed, "wb") as f:
        f.write(b"replacement\n" * 1000)
    rc, stdout, err = rylcli("add", "-9", win(archive), win(tree), win(changed))
    check(rc == 0 and "replaced: text.txt" in stdout, "add replaces an entry of the same name: %s %s" % (stdout[-300:], err))
    want = dict(expected, **{"text.txt": changed})
    tool_checks("add", archive, want)
    records = record_checks("add", archive, want, 8, comment=b"second")
    rc, stdout, err = rylcli("delete", win(archive), "tree/sub/empty-dir", "tree/random.bin", "text.txt")
    check(rc == 0 and stdout.count("deleted: ") == 3, "delete removes entries and the named directory: %s" % err)
    for name in ("tree/sub/empty-dir/", "tree/random.bin", "text.txt"):
        del want[name]
    tool_checks("delete", archive, want)
    after, _ = central_records(archive)
    kept = {r["name"]: r for r in records}
    fields = ("method", "flags", "crc", "csize", "usize", "time", "raw")
    check(sorted(r["name"] for r in after) == sorted(n.encode() for n in want), "delete removes just those")
    changed_fields = [(r["name"], f) for r in after for f in fields if r[f] != kept[r["name"]][f]]
    check(changed_fields == [], "delete keeps the other entries and their data as they were: %s" % changed_fields[:5])
    fresh = os.path.join(out, "fresh.zip")
    rc, _, err = rylcli("add", "-0", win(fresh), win(single))
    check(rc == 0 and zipfile.ZipFile(fresh).namelist() == ["text.txt"], "add creates a missing archive: %s" % err)


# --- open and save of archives that other tools wrote --------------------------

def python_archive(path):
    with zipfile.ZipFile(path, "w") as z:
        z.comment = b"python comment \xe4\xfc\x81"
        z.writestr(zipfile.ZipInfo("dir/"), b"")
        for i, method in enumerate((zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED, zipfile.ZIP_BZIP2)):
            info = zipfile.ZipInfo("dir/m%d-\u00e9.txt" % i, (2021, 6, 7, 8, 9, 10))
            info.compress_type = method
            info.comment = b"entry comment %d" % i
            z.writestr(info, b"python data %d\n" % i * 300)
        z.writestr("gone.txt", b"to be deleted")


def python_unreadable_names(path):
    """Entries the reader skips: a name with a leading "/" and one whose bytes
    are not UTF-8 although bit 11 says so."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("/rooted.txt", b"rooted\n" * 20)
        info = zipfile.ZipInfo("BADNAME1.txt")
        info.flag_bits |= 0x800
        z.writestr(info, b"bad name\n" * 20)
        z.writestr("normal.txt", b"normal\n")
        z.writestr("gone.txt", b"to be deleted")
    data = open(path, "rb").read().replace(b"BADNAME1", b"\xff\xfeBAD\xc3(x")
    open(path, "wb").write(data)


def foreign(maker, label):
    base = os.path.join(WORK, "foreign", label)
    os.makedirs(base)
    staged = os.path.join(base, "tree")
    shutil.copytree(tree, staged)
    archive = os.path.join(base, label + ".zip")
    if maker == "python":
        python_archive(archive)
    elif maker == "python_unreadable":
        python_unreadable_names(archive)
    else:
        command = {
            "infozip": ["zip", "-q", "-r", "-6", archive, "tree", "-z"],
            "infozip_encrypted": ["zip", "-q", "-r", "-P", PASSWORD, archive, "tree"],
            "7z": ["7z", "a", "-tzip", "-mx=5", archive, "tree"],
            "bsdtar": ["bsdtar", "--format", "zip", "-cf", archive, "tree"],
        }[maker]
        subprocess.run(command, cwd=base, input=b"infozip comment \x81\x94\n.\n" if maker == "infozip" else None,
                       check=True, capture_output=True)
    return archive


def open_and_save(label, added_content, add_options):
    archive = foreign(label, label)
    before, before_comment = central_records(archive)
    names = [r["name"] for r in before]
    victim = next(n for n in names if n.endswith(b"gone.txt") or n.endswith(b"random.bin"))
    new_file = os.path.join(WORK, "foreign", label, "added.bin")
    with open(new_file, "wb") as f:
        f.write(added_content)
    rc, _, err = rylcli("add", *add_options, win(archive), win(new_file))
    check(rc == 0, "%s: add succeeds: %s" % (label, err))
    rc, _, err = rylcli("delete", win(archive), victim.decode("utf-8", "replace"))
    check(rc == 0, "%s: delete succeeds: %s" % (label, err))
    after, after_comment = central_records(archive)
    check(after_comment == before_comment, "%s: the archive comment kept byte for byte (%r, %r)"
          % (label, before_comment, after_comment))
    by_name = {r["name"]: r for r in after}
    check(victim not in by_name, "%s: %r deleted" % (label, victim))
    for old in before:
        if old["name"] == victim:
            continue
        new = by_name.get(old["name"])
        if not check(new is not None, "%s: %r kept under the same name bytes" % (label, old["name"])):
            continue
        what = "%s: %r" % (label, old["name"])
        for field in ("method", "flags", "crc", "csize", "usize", "time", "extra", "comment", "made", "needed", "raw"):
            check(new[field] == old[field], "%s: %s kept (%.60r, now %.60r)" % (what, field, old[field], new[field]))
        for field in ("method", "flags", "time"):
            check(new["local"][field] == old["local"][field], "%s: local %s kept" % (what, field))
        # The local extra field is either kept or replaced by the central
        # one (the records the reader keeps); both are valid.
        check(new["local_extra"] in (old["local_extra"], old["extra"]), "%s: local extra field" % what)
        if old["flags"] & 8:
            check(new["after"][:16] == old["after"][:16] or new["after"][:4] == b"PK\x07\x08",
                  "%s: the data descriptor follows the data" % what)
    added = by_name.get(b"added.bin")
    if check(added is not None, "%s: the new entry is there" % label):
        if added["flags"] & 1:
            with zipfile.ZipFile(archive) as z:
                data = z.read("added.bin", pwd=PASSWORD.encode())
        else:
            data = added["raw"] if added["method"] == 0 else zlib.decompress(added["raw"], -15)
        check(data == added_content, "%s: the new entry's data" % label)
    leftovers = sorted(set(os.listdir(os.path.dirname(archive))) - {"tree", "added.bin", os.path.basename(archive)})
    check(leftovers == [], "%s: no temporary file is left behind: %s" % (label, leftovers))
    if label != "python_unreadable":
        with zipfile.ZipFile(archive) as z:
            entries = {i.filename: None for i in z.infolist()}
        rc, out_text = run("unzip", "-t", *(["-P", PASSWORD] if "encrypted" in label else []), archive)
        check(rc == 0 and "warning" not in out_text.lower(), "%s: unzip -t passes silently: %s" % (label, out_text[-600:]))
        rc, out_text = run("7z", "t", "-p" + PASSWORD, archive)
        check(rc == 0, "%s: 7z t passes: %s" % (label, out_text[-600:]))
        rc, out_text = run("bsdtar", "-tf", archive)
        check(rc == 0 and len(out_text.splitlines()) == len(entries), "%s: bsdtar -tf lists it" % label)


# One new entry past the 16 MiB that an Archive holds in memory, stored so
# that its compressed data is that large too; the others small and deflated.
big = os.urandom(17 * 1024 * 1024 + 5)
for label, content, options in (("infozip", b"added by rylcli\n" * 100, []),
                                ("infozip_encrypted", b"added\n", ["-p", PASSWORD]),
                                ("7z", big, ["-0"]),
                                ("python", b"added by rylcli\n" * 100, []),
                                ("bsdtar", b"added by rylcli\n" * 100, []),
                                ("python_unreadable", b"added\n" * 10, [])):
    if only("foreign_" + label):
        open_and_save(label, content, options)

leftovers = sorted(set(os.listdir(out)) - made)
check(leftovers == [], "no temporary file is left behind: %s" % leftovers)
if not failures:
    shutil.rmtree(WORK, ignore_errors=True)
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
