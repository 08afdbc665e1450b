#!/usr/bin/env python3
"""rylcli zip list/test/extract on hostile and damaged archives.

Each archive is made here with Python's zipfile, then patched byte by byte
where zipfile would refuse to write it. Every case checks the exit code, the
report and what lands on disk: unsafe names (devices, trailing dots and
spaces, control characters) refused and nothing written for them; headers
the library cannot list reported; entries landing on one file decided and
reported; overlapping entries and data past the stated size refused;
damaged and foreign files reported as such; archives behind a stub, with a
host system in "version needed", with an end record inside the comment or
with a deflate stream ending at a buffer boundary read whole.

Usage: hardening_interop.py WINE_RUN RYLCLI_EXE WORK_DIR [CASE...]
"""
import io
import os
import struct
import subprocess
import sys
import zipfile

from cli_harness import check, failures, rylcli_runner, skip_unless_runnable, win

WINE_RUN, RYLCLI, WORK = sys.argv[1:4]
ONLY = set(sys.argv[4:])
skip_unless_runnable(WINE_RUN)
rylcli = rylcli_runner(WINE_RUN, RYLCLI)


def remove_tree(path):
    # shutil.rmtree recurses, and the deep case is deeper than Python's limit.
    subprocess.run(["rm", "-rf", path], check=True)


def text(raw):
    return raw.decode("utf-8", "replace")


def archive_of(entries, comment=b""):
    """entries: (name, data) pairs; names as str (zipfile encodes them)."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            z.writestr(zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0)), data)
        z.comment = comment
    return bytearray(buffer.getvalue())


def end_record(data):
    at = data.rfind(b"PK\x05\x06")
    return at, struct.unpack_from("<IHHHHIIH", data, at)


def central_headers(data):
    """(offset, name bytes) of every central header."""
    at, fields = end_record(data)
    offset, headers = fields[6], []
    for _ in range(fields[4]):
        name_length, extra_length, comment_length = struct.unpack_from("<HHH", data, offset + 28)
        headers.append((offset, bytes(data[offset + 46:offset + 46 + name_length])))
        offset += 46 + name_length + extra_length + comment_length
    return headers


def rename(data, old, new):
    """Same-length rename in both headers (zipfile refuses some names)."""
    assert len(old) == len(new)
    return bytearray(bytes(data).replace(old, new))


def write(name, data):
    path = os.path.join(WORK, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def tree(directory):
    """Every file below directory, by its relative name; without recursion,
    since the deep case goes further than Python's recursion limit."""
    found, pending = set(), [directory]
    while pending:
        with os.scandir(pending.pop()) as listing:
            for item in listing:
                if item.is_dir(follow_symlinks=False):
                    pending.append(item.path)
                else:
                    found.add(os.path.relpath(item.path, directory).replace(os.sep, "/"))
    return found


def extract(archive, label, *options):
    target = os.path.join(WORK, "out-" + label)
    remove_tree(target)
    rc, out, err = rylcli("extract", *options, win(archive), win(target))
    return rc, text(out), text(err), target


def only(case):
    return not ONLY or case in ONLY


remove_tree(WORK)
os.makedirs(WORK)

if only("names"):
    hostile = ["COM1", "aux.txt", "sub/NUL", "CONOUT$", "lpt1.log", "a./x", "dot.", "space_", "dir /y", "q?.txt",
               "esc\x1b[2J.txt"]
    data = archive_of([(n, b"bad") for n in hostile] + [("ok.txt", b"fine"), ("sub/ok2.txt", b"fine")])
    data = rename(data, b"space_", b"space ")
    path = write("names.zip", data)
    rc, out, err, target = extract(path, "names")
    check(rc == 1, "names: exit code 1 (%d)" % rc)
    check(tree(target) == {"ok.txt", "sub/ok2.txt"}, "names: only the safe entries written: %s" % tree(target))
    check(err.count("refused: ") == len(hostile), "names: every unsafe name refused:\n" + err)
    check("\x1b" not in out + err and "esc\\x1B[2J.txt" in err, "names: the escape is shown escaped:\n" + err)
    rc, out, err = rylcli("list", win(path))
    check(b"\x1b" not in out and rc == 0, "names: list escapes the name and succeeds")

if only("dropped"):
    data = archive_of([("xabs.txt", b"1"), ("good.txt", b"2"), ("bad\xe9.txt", b"3")])
    data = rename(data, b"xabs.txt", b"/abs.txt")
    # bit 11 with invalid UTF-8: the library cannot decode the name.
    for offset, name in central_headers(data):
        if name.startswith(b"bad"):
            data[offset + 46:offset + 46 + len(name)] = b"bad\xff\xfe.txt"[:len(name)]
            flags = struct.unpack_from("<H", data, offset + 8)[0]
            struct.pack_into("<H", data, offset + 8, flags | 0x800)
    path = write("dropped.zip", data)
    for command in ("list", "test"):
        rc, out, err = rylcli(command, win(path))
        check(rc == 1, "dropped: %s exits 1 (%d)" % (command, rc))
        check(text(err).count("refused: ") == 2, "dropped: %s reports both:\n%s" % (command, text(err)))
    rc, out, err, target = extract(path, "dropped")
    check(rc == 1 and tree(target) == {"good.txt"}, "dropped: extract writes the rest and exits 1: %s" % err)

if only("duplicates"):
    path = write("dup.zip", archive_of([("A.txt", b"first"), ("a.TXT", b"second"), ("b.txt", b"b")]))
    rc, out, err, target = extract(path, "dup")
    check(rc == 0 and tree(target) in ({"a.TXT", "b.txt"}, {"A.txt", "b.txt"}), "dup: one file: %s" % tree(target))
    got = open(os.path.join(target, sorted(tree(target))[0]), "rb").read()
    check(got == b"second" and "skipped: A.txt" in err, "dup: the later wins and the skip is reported: %s" % err)
    rc, out, err, target = extract(path, "dup-n", "-n")
    got = open(os.path.join(target, sorted(tree(target))[0]), "rb").read()
    check(rc == 0 and got == b"first", "dup: with -n the first wins")
    # An existing file: replaced by default (through a new file), kept with -n.
    with open(os.path.join(target, "b.txt"), "wb") as f:
        f.write(b"mine")
    rc, out, err = rylcli("extract", "-n", win(path), win(target), "b.txt")
    check(rc == 0 and open(os.path.join(target, "b.txt"), "rb").read() == b"mine" and "kept: b.txt" in text(out),
          "dup: -n keeps an existing file: %s" % text(out))
    rc, out, err = rylcli("extract", win(path), win(target), "b.txt")
    check(rc == 0 and open(os.path.join(target, "b.txt"), "rb").read() == b"b" and "replaced" in text(out),
          "dup: the default replaces it and says so: %s" % text(out))
    check(not [f for f in os.listdir(target) if f.endswith(".tmp") or ".rylcli-" in f], "dup: no file left beside")

if only("bombs"):
    # Every central header points at the first local header.
    data = archive_of([("f%d" % i, b"\0" * 200000) for i in range(3)])
    for offset, _ in central_headers(data):
        struct.pack_into("<I", data, offset + 42, 0)
    path = write("overlap.zip", data)
    rc, out, err, target = extract(path, "overlap")
    check(rc == 1 and tree(target) == set() and "overlaps" in err, "bombs: overlapping entries refused: %s" % err)
    rc, out, err = rylcli("test", win(path))
    check(rc == 1, "bombs: test fails overlapping entries")
    # A stated size smaller than the data: nothing beyond it, no file.
    data = archive_of([("big", b"\0" * 3000000)])
    for offset, _ in central_headers(data):
        struct.pack_into("<I", data, offset + 24, 10)
    path = write("understated.zip", data)
    rc, out, err, target = extract(path, "understated")
    check(rc == 1 and tree(target) == set(), "bombs: data past the stated size leaves no file: %s" % err)
    path = write("total.zip", archive_of([("a", b"a" * 5000), ("b", b"b" * 5000)]))
    rc, out, err, target = extract(path, "total", "--max-total", "9999")
    check(rc == 1 and tree(target) == set() and "--max-total" in err, "bombs: --max-total refuses: %s" % err)
    rc, out, err, target = extract(path, "total-ok", "--max-total", "10000")
    check(rc == 0 and tree(target) == {"a", "b"}, "bombs: --max-total at the total passes")

if only("damaged"):
    good = archive_of([("e%d" % i, b"x" * i) for i in range(5)])
    at, fields = end_record(good)
    cases = {
        "random": os.urandom(300).replace(b"PK", b"pk"),
        "short": b"PK\x05\x06" + b"\0" * 10,
        "empty-file": b"",
        "cut-directory": bytes(good[:fields[6] + 46 * 2]) + bytes(good[at:]),
        "bad-size": bytes(good[:at + 12]) + struct.pack("<I", fields[5] + 7) + bytes(good[at + 16:]),
        "multi-disk": bytes(good[:at + 4]) + struct.pack("<H", 1) + bytes(good[at + 6:]),
    }
    for label, data in cases.items():
        path = write(label + ".zip", data)
        for command in ("list", "test"):
            rc, out, err = rylcli(command, win(path))
            check(rc == 1, "damaged %s: %s exits 1 (%d): %s" % (label, command, rc, text(err)))
    rc, out, err = rylcli("list", win(WORK))
    check(rc == 1 and "directory" in text(err), "damaged: list on a directory: %s" % text(err))
    rc, out, err = rylcli("list", "com1.zip")
    check(rc == 1 and "device" in text(err), "damaged: list com1.zip: %s" % text(err))

if only("readable"):
    entries = [("d/e%d.txt" % i, b"entry %d\n" % i * (i + 1)) for i in range(6)]
    plain = archive_of(entries, comment=b"see PK\x05\x06" + b"\0" * 18 + b" here")
    variants = {"comment": plain, "stub": bytearray(b"MZ" + b"s" * 4000) + plain}
    host = bytearray(plain)
    for offset, _ in central_headers(host):
        struct.pack_into("<H", host, offset + 6, 0x0314)
    variants["unix-version"] = host
    variants["boundary"] = archive_of([("z", bytes(16451)), ("y", bytes(32769)), ("x", bytes(65537))])
    for label, data in variants.items():
        path = write(label + ".zip", data)
        expected = entries if label != "boundary" else [("z", bytes(16451)), ("y", bytes(32769)), ("x", bytes(65537))]
        rc, out, err, target = extract(path, label)
        check(rc == 0, "readable %s: extract succeeds: %s" % (label, err))
        if label == "stub":
            rc, listed, _ = rylcli("list", win(path))
            check(b"data in front of the archive: 4002 bytes" in listed, "readable stub: list reports the offset")
        for name, content in expected:
            full = os.path.join(target, name)
            check(os.path.exists(full) and open(full, "rb").read() == content, "readable %s: %s" % (label, name))

if only("deep"):
    # 1,500 levels: a path of 3,000 characters, far past MAX_PATH (Wine's
    # own limit is the Unix path's 4,096 bytes, which a full path of 3,000
    # characters under the work directory stays within).
    name = "d/" * 1500 + "leaf.txt"
    path = write("deep.zip", archive_of([(name, b"deep"), ("top.txt", b"top")]))
    rc, out, err, target = extract(path, "deep")
    check(rc == 0 and tree(target) == {name, "top.txt"}, "deep: every level made: %s" % err[-400:])

if only("parallel"):
    # Many entries of mixed sizes in nested directories, one of them damaged:
    # one worker and four give the same files and the same report.
    entries = [("p%d/q%d/f%d.bin" % (i % 7, i % 3, i), os.urandom(i * 37 % 5000) + b"z" * (i * 101 % 70000))
               for i in range(400)]
    data = archive_of(entries)
    for offset, name in central_headers(data):
        if name == b"p3/q0/f150.bin":
            struct.pack_into("<I", data, offset + 16, 0x12345678)  # a wrong CRC
    path = write("parallel.zip", data)
    results = {}
    for threads in ("1", "4"):
        rc, out, err, target = extract(path, "parallel" + threads, "--threads", threads)
        files = {name: open(os.path.join(target, name), "rb").read() for name in tree(target)}
        results[threads] = (rc, out, err, files)
    one, four = results["1"], results["4"]
    check(one[0] == 1 and four[0] == 1, "parallel: the damaged entry fails both runs")
    check(one[1] == four[1] and one[2] == four[2], "parallel: the same report, in directory order")
    expected = {name: content for name, content in entries if name != "p3/q0/f150.bin"}
    check(one[3] == expected and four[3] == expected, "parallel: the same files, every one byte-identical")

if only("methods"):
    data = archive_of([("odd.bin", b"x" * 1000), ("fine.txt", b"y")])
    for offset, name in central_headers(data):
        if name == b"odd.bin":
            local = struct.unpack_from("<I", data, offset + 42)[0]
            struct.pack_into("<H", data, offset + 10, 99)
            struct.pack_into("<H", data, local + 8, 99)
    path = write("method99.zip", data)
    rc, out, err = rylcli("list", win(path))
    check("m99" in text(out) and "unsupported" in text(out), "methods: list names the method: %s" % text(out))
    rc, out, err = rylcli("test", win(path))
    check(rc == 1 and "unsupported method 99" in text(out), "methods: test fails it: %s" % text(out))
    rc, out, err, target = extract(path, "method99")
    check(rc == 1 and tree(target) == {"fine.txt"}, "methods: extract refuses it: %s" % err)

if not failures:
    remove_tree(WORK)
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
