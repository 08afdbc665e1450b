#!/usr/bin/env python3
"""The reader and writer of the methods beyond deflate against other ZIP tools.

  methods_interop.py ZIP_TOOL WORKDIR [CORPUS_DIR]

ZIP_TOOL is tests/archive/zip_tool.cpp built for the host. Every archive
here is extracted by the library and compared byte for byte with what went
in, or for the third-party corpus (CORPUS_DIR, from third_party_corpus.sh;
WORKDIR/zip-corpus when not given) with what 7-Zip, bsdtar or Python's
zipfile extract from it:

- 7-Zip's WinZip AES at 128, 192 and 256 bits around deflate, stored, LZMA
  and bzip2; its LZMA with and without the end marker, bzip2 and xz (and
  zstd, where it writes that into ZIP);
- Python's zipfile with LZMA and bzip2;
- bsdtar with every compression and encryption its ZIP writer offers;
- the libarchive and libzip test archives of those methods.

Then the failures: wrong and missing passwords, a flipped bit in AES data
and in its authentication code, LZMA, zstd and xz entries cut short; each
must fail with the expected code and leave no file. And the writer: AES-256
and zstd archives made by the library pass `7z t`, and 7-Zip, bsdtar, zstd
(for the raw zstd frames) and the library itself read them back. Ends with
"methods_interop: N passed, N failed"."""
import binascii
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

passed = 0
failed = 0
notes = []
# Wrong passwords whose two-byte verifier matched by chance (1 in 65536 per
# entry), so that only the authentication code refused them.
verifier_matches = []

RYL_E_BAD_FORMAT = "e0010045"
RYL_E_PASSWORD_REQUIRED = "e001009b"
RYL_E_WRONG_PASSWORD = "e001009c"
# The library takes AES passwords as UTF-8, as bsdtar and 7-Zip's reader do;
# 7-Zip's ZIP writer refuses any password beyond ASCII.
PASSWORD = "Pa55 wörd"
PASSWORD_7Z = "Pa55 word"

ENV = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")


def check(ok, message):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print("FAILED: " + message)
    return ok


def run(*args, **kwargs):
    return subprocess.run([str(a) for a in args], capture_output=True, env=ENV, **kwargs)


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def tree(root):
    """The files under root by relative path (UTF-8 text); a symbolic link
    counts as a file holding its target, as ZIP stores it."""
    found = {}
    for base, dirs, files in os.walk(root):
        for name in files + [d for d in dirs if os.path.islink(os.path.join(base, d))]:
            path = os.path.join(base, name)
            rel = os.path.relpath(path, root)
            if os.path.islink(path):
                found[rel] = os.readlink(path).encode()
            else:
                with open(path, "rb") as f:
                    found[rel] = f.read()
    return found


class Tool:
    """zip_tool, with every run's standard error checked for sanitizer
    reports and every exit beyond the tool's own codes counted as a crash."""

    def __init__(self, path):
        self.path = path

    def run(self, *args):
        result = run(self.path, *args, timeout=600)
        errors = result.stderr.decode("utf-8", "replace")
        check(not re.search(r"runtime error:|Sanitizer", errors) and result.returncode in (0, 1, 3),
              "zip_tool %s: exit %d: %s" % (" ".join(map(str, args)), result.returncode, errors[-2000:]))
        return result

    def list(self, archive):
        result = self.run("list", archive)
        rows = []
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            method, encryption, packed, size, readable, kind, name = line.split("\t", 6)
            rows.append({"method": int(method), "encryption": int(encryption), "packed": int(packed),
                         "size": int(size), "readable": readable == "1", "dir": kind == "d", "name": name})
        return result.returncode, rows

    def extract(self, archive, outdir, password=None):
        """(exit code, {name: "ok" or the failure's code})"""
        fresh(outdir)
        result = self.run("extract", archive, outdir, *([password] if password is not None else []))
        status = {}
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            word, rest = line.split(" ", 1)
            if word == "ok":
                status[rest] = "ok"
            else:
                match = re.match(r"(.*) ([0-9a-f]{8}) \S*$", rest)
                if match:
                    status[match.group(1)] = match.group(2)
                else:
                    status[rest] = "?"
        return result.returncode, status

    def create(self, archive, files, *options):
        if os.path.exists(archive):
            os.remove(archive)
        return self.run("create", archive, *options, *files)


def make_inputs(directory):
    fresh(directory)
    rng = random.Random(20240611)
    text = "".join("line %d: the quick brown fox jumps over the lazy dog, %s\n" % (i, "ab" * (i % 7))
                   for i in range(2000)).encode()
    inputs = {
        "empty.bin": b"",
        "one.bin": b"\x5a",
        "text.txt": text,
        "random.bin": bytes(rng.getrandbits(8) for _ in range(300 * 1024)),
        "compressible.bin": (b"\0" * 4096 + b"ZIP" * 100) * 1200 + b"tail",
        "naïve-файл-日本.txt": "ünïcödé text, много раз\n".encode() * 300,
    }
    assert len(inputs["compressible.bin"]) > 5 * 1000 * 1000
    for name, data in inputs.items():
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)
    return inputs


# The entries a writer may store (and bsdtar leave unencrypted) whatever it
# was asked for: the empty, the one-byte and the incompressible.
MAY_STORE = ("empty.bin", "one.bin", "random.bin")


def check_extraction(tool, archive, expected, label, password=None, method=None, encryption=None):
    """Every entry of archive comes out as expected says, and the listing
    names the method and encryption it was written with."""
    rc, rows = tool.list(archive)
    if not check(rc == 0, "%s: list failed" % label):
        return
    files = [r for r in rows if not r["dir"]]
    check(sorted(r["name"] for r in files) == sorted(expected),
          "%s: listed %s, expected %s" % (label, sorted(r["name"] for r in files), sorted(expected)))
    for row in files:
        check(row["readable"], "%s: %s listed as unreadable" % (label, row["name"]))
        if row["name"] in expected:
            check(row["size"] == len(expected[row["name"]]),
                  "%s: %s listed at %d bytes, has %d" % (label, row["name"], row["size"], len(expected[row["name"]])))
        if method is not None:
            allowed = {method, 0} if row["name"] in MAY_STORE else {method}
            check(row["method"] in allowed,
                  "%s: %s listed with method %d, expected %s" % (label, row["name"], row["method"], method))
        if encryption is not None:
            allowed = {encryption, 0} if row["size"] == 0 else {encryption}
            check(row["encryption"] in allowed, "%s: %s listed with encryption %d, expected %d"
                  % (label, row["name"], row["encryption"], encryption))
    out = archive + ".out"
    rc, status = tool.extract(archive, out, password)
    check(rc == 0, "%s: extract exit %d (%s)" % (label, rc, {k: v for k, v in status.items() if v != "ok"}))
    got = tree(out)
    for name, data in expected.items():
        check(status.get(name) == "ok" and got.get(name) == data,
              "%s: %s %s" % (label, name, "differs" if name in got else "missing (%s)" % status.get(name)))
    check(set(got) == set(expected), "%s: unexpected files %s" % (label, sorted(set(got) - set(expected))))
    shutil.rmtree(out, ignore_errors=True)


# --- archives other tools make ------------------------------------------------

def seven_zip_archives(tool, work, inputs_dir, inputs):
    names = sorted(inputs)
    produced = []
    for strength, encryption in (("AES128", 2), ("AES192", 3), ("AES256", 4)):
        for mm, method in (("Deflate", 8), ("Copy", 0), ("LZMA", 14), ("BZip2", 12)):
            if strength != "AES256" and mm in ("LZMA", "BZip2"):
                continue
            archive = os.path.join(work, "7z-%s-%s.zip" % (strength, mm))
            result = run("7z", "a", "-tzip", "-mem=" + strength, "-p" + PASSWORD_7Z, "-mm=" + mm, archive, *names,
                         cwd=inputs_dir)
            if check(result.returncode == 0, "7z %s %s: %s" % (strength, mm, result.stderr.decode()[-200:])):
                check_extraction(tool, archive, inputs, "7z %s %s" % (strength, mm), PASSWORD_7Z, method, encryption)
                produced.append((archive, strength, mm))
    for mm, method in (("LZMA", 14), ("LZMA:eos=off", 14), ("BZip2", 12), ("XZ", 95), ("Zstd", 93)):
        archive = os.path.join(work, "7z-%s.zip" % mm.replace(":", "-").replace("=", ""))
        result = run("7z", "a", "-tzip", "-mm=" + mm, archive, *names, cwd=inputs_dir)
        if result.returncode != 0 and mm == "Zstd":
            notes.append("7z cannot write zstd into ZIP (%s); zstd entries come from the library and libarchive"
                         % result.stderr.decode().strip().splitlines()[-1])
            continue
        if check(result.returncode == 0, "7z %s: %s" % (mm, result.stderr.decode()[-200:])):
            if mm.startswith("LZMA"):
                # Bit 1 says whether the LZMA stream ends with a marker.
                with zipfile.ZipFile(archive) as z:
                    marked = {i.filename: bool(i.flag_bits & 2) for i in z.infolist() if i.file_size}
                check(all(marked.values()) == (mm == "LZMA") and any(marked.values()) == (mm == "LZMA"),
                      "7z %s: end-marker flags %s" % (mm, marked))
            check_extraction(tool, archive, inputs, "7z " + mm, None, method, 0)
            produced.append((archive, None, mm))
    return produced


def python_archives(tool, work, inputs):
    for kind, method in ((zipfile.ZIP_LZMA, 14), (zipfile.ZIP_BZIP2, 12)):
        archive = os.path.join(work, "python-%d.zip" % method)
        with zipfile.ZipFile(archive, "w", kind) as z:
            for name, data in inputs.items():
                z.writestr(name, data)
        check_extraction(tool, archive, inputs, "zipfile method %d" % method, None, method, 0)


def bsdtar_archives(tool, work, inputs_dir, inputs):
    names = sorted(inputs)
    offered = []
    for compression in ("store", "deflate", "bzip2", "lzma", "xz", "zstd"):
        archive = os.path.join(work, "bsdtar-%s.zip" % compression)
        result = run("bsdtar", "--format", "zip", "--options", "zip:compression=" + compression, "-cf", archive,
                     *names, cwd=inputs_dir)
        if result.returncode != 0:
            continue
        offered.append(compression)
        method = {"store": 0, "deflate": 8, "bzip2": 12, "lzma": 14, "xz": 95, "zstd": 93}[compression]
        check_extraction(tool, archive, inputs, "bsdtar " + compression, None, method, 0)
        for encryption, kind in (("aes128", 2), ("aes256", 4)):
            archive = os.path.join(work, "bsdtar-%s-%s.zip" % (compression, encryption))
            result = run("bsdtar", "--format", "zip", "--options",
                         "zip:compression=%s,zip:encryption=%s" % (compression, encryption),
                         "--passphrase", PASSWORD, "-cf", archive, *names, cwd=inputs_dir)
            if check(result.returncode == 0, "bsdtar %s %s: %s" % (compression, encryption, result.stderr.decode())):
                check_extraction(tool, archive, inputs, "bsdtar %s %s" % (compression, encryption), PASSWORD,
                                 method, kind)
    notes.append("bsdtar's ZIP writer offers compression: %s (with aes128/aes256 encryption)" % ", ".join(offered))
    check("store" in offered and "deflate" in offered, "bsdtar offers neither store nor deflate")


# --- the third-party corpus ---------------------------------------------------

def uudecode(path):
    out = bytearray()
    with open(path, "rb") as f:
        lines = iter(f.read().splitlines())
    for line in lines:
        if line.startswith(b"begin "):
            break
    for line in lines:
        if line.strip() in (b"end", b"`"):
            if line.strip() == b"end":
                break
            continue
        if not line.strip():
            continue
        try:
            out += binascii.a2b_uu(line)
        except binascii.Error:
            # Encoders that pad lines beyond their count.
            out += binascii.a2b_uu(line[:((line[0] - 32) & 63) * 4 // 3 + 4])
    return bytes(out)


def libarchive_password(corpus):
    """The passphrase libarchive's AES tests succeed with: the last one they add."""
    found = None
    with open(os.path.join(corpus, "libarchive", "test_read_format_zip_winzip_aes.c")) as f:
        for match in re.finditer(r'archive_read_add_passphrase\(a,\s*"([^"]*)"\)', f.read()):
            found = match.group(1)
    return found


def libzip_passwords(corpus):
    """From libzip's regression tests: the password each archive opens with,
    and the wrong ones its tests refuse."""
    right, wrong = {}, {}
    directory = os.path.join(corpus, "libzip")
    for name in sorted(os.listdir(directory)):
        if not name.endswith(".test"):
            continue
        with open(os.path.join(directory, name)) as f:
            text = f.read()
        returns = re.search(r"^return (\d+)", text, re.M)
        files = re.findall(r"^file \S+ (\S+) (\S+)", text, re.M)
        args = re.search(r"^args (.*)$", text, re.M)
        if not files or not args:
            continue
        source, result = files[0]
        words = args.group(1).split()
        if "set_password" in words:
            password = words[words.index("set_password") + 1]
            (right if returns and returns.group(1) == "0" else wrong)[source] = password
        if "set_file_encryption" in words:
            right[result] = words[words.index("set_file_encryption") + 3]
    return right, wrong


def reference_extract(archive, outdir, password):
    """What 7-Zip extracts, or bsdtar, or zipfile, for the first that can."""
    fresh(outdir)
    result = run("7z", "x", "-y", "-p" + (password or ""), "-o" + outdir, archive)
    if result.returncode == 0:
        return "7z", tree(outdir)
    fresh(outdir)
    result = run("bsdtar", "-xf", archive, *(["--passphrase", password] if password else []), "-C", outdir)
    if result.returncode == 0:
        return "bsdtar", tree(outdir)
    try:
        with zipfile.ZipFile(archive) as z:
            return "zipfile", {i.filename: z.read(i, pwd=password.encode() if password else None)
                               for i in z.infolist() if not i.is_dir()}
    except Exception:
        return None, {}


def corpus_archives(tool, work, corpus):
    if not os.path.isdir(os.path.join(corpus, "libarchive")):
        check(False, "no third-party corpus at %s (tests/zip/third_party_corpus.sh makes it)" % corpus)
        return []
    samples = []
    aes_password = libarchive_password(corpus)
    check(aes_password is not None, "libarchive's AES test names no passphrase")
    directory = os.path.join(corpus, "libarchive")
    for name in sorted(os.listdir(directory)):
        if name.endswith(".uu"):
            archive = os.path.join(work, "corpus-" + name[:-3])
            with open(archive, "wb") as f:
                f.write(uudecode(os.path.join(directory, name)))
            samples.append((archive, aes_password if "winzip_aes" in name else None))
    right, wrong = libzip_passwords(corpus)
    check(len(right) >= 7 and len(wrong) >= 3, "libzip's tests name passwords %s, wrong ones %s" % (right, wrong))
    directory = os.path.join(corpus, "libzip")
    for name in sorted(os.listdir(directory)):
        if name.endswith(".zip"):
            samples.append((os.path.join(directory, name), right.get(name)))
    methods_seen = set()
    for archive, password in samples:
        label = "corpus " + os.path.basename(archive)
        reference_dir = os.path.join(work, "reference")
        who, expected = reference_extract(archive, reference_dir, password)
        if not check(who is not None and expected, "%s: no reference tool extracts it" % label):
            continue
        rc, rows = tool.list(archive)
        methods_seen.update((r["method"], r["encryption"]) for r in rows if not r["dir"])
        check_extraction(tool, archive, expected, "%s (against %s)" % (label, who), password)
    # The corpus must still hold what it is here for.
    for method, encryption, what in ((14, 0, "LZMA"), (93, 0, "zstd"), (95, 0, "xz"), (12, 0, "bzip2"),
                                     (8, 2, "AES-128"), (0, 3, "AES-192"), (8, 4, "AES-256"), (0, 4, "stored AES")):
        check((method, encryption) in methods_seen, "corpus has no %s entry" % what)
    # libzip's wrong passwords are refused.
    for name, password in wrong.items():
        archive = os.path.join(directory, name)
        if os.path.exists(archive):
            check_refused(tool, archive, password, (RYL_E_WRONG_PASSWORD, RYL_E_BAD_FORMAT),
                          "corpus %s, wrong password" % name, encrypted_only=True)
    return samples


# --- failures ---------------------------------------------------------------

def check_refused(tool, archive, password, codes, label, encrypted_only=False):
    """Every (encrypted) file entry fails with one of codes and leaves no file."""
    rc, rows = tool.list(archive)
    targets = [r["name"] for r in rows if not r["dir"] and (r["encryption"] != 0 or not encrypted_only)]
    out = archive + ".refused"
    rc, status = tool.extract(archive, out, password)
    check(rc != 0, "%s: extract succeeded" % label)
    for name in targets:
        check(status.get(name) in codes, "%s: %s gave %s, expected %s" % (label, name, status.get(name), codes))
        if RYL_E_WRONG_PASSWORD in codes and status.get(name) == RYL_E_BAD_FORMAT:
            verifier_matches.append("%s: %s" % (label, name))
    left = tree(out)
    check(not any(name in left for name in targets), "%s: files left behind: %s"
          % (label, sorted(n for n in targets if n in left)))
    shutil.rmtree(out, ignore_errors=True)
    return status


def entry_data_span(archive_bytes, info):
    """Where an entry's stored bytes are: after its local header."""
    offset = info.header_offset
    name_length, extra_length = struct.unpack_from("<HH", archive_bytes, offset + 26)
    start = offset + 30 + name_length + extra_length
    return start, start + info.compress_size


def write_single_entry(path, name, method, flags, crc, size, data, extra=b""):
    """An archive of one entry with the given stored bytes, the sizes and CRC
    as given (for entries whose data is cut short)."""
    encoded = name.encode()
    flags |= 0x800
    # The version the methods beyond bzip2 need; 2.0 for the older ones,
    # which the reader refuses beyond that.
    version = 63 if method in (14, 93, 95) else 20
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, version, flags, method, 0, 0x5821, crc, len(data), size,
                        len(encoded), len(extra)) + encoded + extra
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 63, version, flags, method, 0, 0x5821, crc, len(data), size,
                          len(encoded), len(extra), 0, 0, 0, 0, 0) + encoded + extra
    body = local + data
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(body), 0)
    with open(path, "wb") as f:
        f.write(body + central + end)


def aes_strength(extra):
    """The key strength (1 to 3) of an extra field's 0x9901 record, or None."""
    at = 0
    while at + 4 <= len(extra):
        ident, size = struct.unpack_from("<HH", extra, at)
        if ident == 0x9901 and size >= 7:
            return extra[at + 8]
        at += 4 + size
    return None


def tampered_aes(tool, work, sources):
    """A bit flipped in the encrypted data, then one in the authentication
    code, of each AES entry in turn: that entry fails as bad data and leaves
    no file; the others still come out."""
    for archive, password in sources:
        with open(archive, "rb") as f:
            original = f.read()
        with zipfile.ZipFile(archive) as z:
            infos = [i for i in z.infolist() if i.compress_type == 99 and not i.is_dir()]
        check(infos, "%s: no AES entries to tamper with" % os.path.basename(archive))
        for info in infos:
            start, end = entry_data_span(original, info)
            strength = aes_strength(info.extra)
            if not check(strength in (1, 2, 3), "%s: %s has no AES record" % (archive, info.filename)):
                continue
            encrypted = (start + 4 + 4 * strength + 2, end - 10)
            places = [("authentication code", end - 10 + (info.header_offset % 10))]
            if encrypted[1] > encrypted[0]:
                places.append(("encrypted data", (encrypted[0] + encrypted[1]) // 2))
                places.append(("last encrypted byte", encrypted[1] - 1))
            for where, at in places:
                damaged = bytearray(original)
                damaged[at] ^= 0x10
                path = os.path.join(work, "tampered.zip")
                with open(path, "wb") as f:
                    f.write(damaged)
                label = "%s, %s of %s" % (os.path.basename(archive), where, info.filename)
                status = check_refused_entry(tool, path, password, info.filename, (RYL_E_BAD_FORMAT,), label)
                check(all(v == "ok" for k, v in status.items() if k != info.filename),
                      "%s: other entries failed too: %s" % (label, status))


def check_refused_entry(tool, archive, password, name, codes, label):
    out = archive + ".refused"
    rc, status = tool.extract(archive, out, password)
    check(rc != 0, "%s: extract succeeded" % label)
    check(status.get(name) in codes, "%s: gave %s, expected %s" % (label, status.get(name), codes))
    check(name not in tree(out), "%s: file left behind" % label)
    shutil.rmtree(out, ignore_errors=True)
    return status


def truncated_entries(tool, work, sources):
    """The stored bytes of an entry cut short, in an archive whose directory
    says so: the entry fails, no file is left, nothing hangs. Every method
    fails with the same code; the deflate and bzip2 entries come first and
    set it."""
    codes = set()
    for archive, name in sources:
        with open(archive, "rb") as f:
            original = f.read()
        with zipfile.ZipFile(archive) as z:
            info = z.getinfo(name)
        start, end = entry_data_span(original, info)
        data = original[start:end]
        for keep in (len(data) // 2, len(data) - 1, 9, 3):
            path = os.path.join(work, "truncated.zip")
            write_single_entry(path, name, info.compress_type, info.flag_bits & 0x2, info.CRC, info.file_size,
                               data[:keep])
            label = "%s cut to %d of %d bytes" % (os.path.basename(archive), keep, len(data))
            try:
                rc, status = tool.extract(path, path + ".out")
            except subprocess.TimeoutExpired:
                check(False, label + ": hangs")
                continue
            check(rc == 3 and status.get(name, "ok") != "ok", "%s: %s" % (label, status))
            codes.add(status.get(name))
            check(len(codes) == 1, "%s: failed with %s, other cut entries with %s"
                  % (label, status.get(name), sorted(c for c in codes if c != status.get(name))))
            check(name not in tree(path + ".out"), "%s: file left behind" % label)
            shutil.rmtree(path + ".out", ignore_errors=True)
        # The uncut entry, rewritten the same way, still comes out: the cut
        # is what fails, not the rewriting.
        path = os.path.join(work, "whole.zip")
        write_single_entry(path, name, info.compress_type, info.flag_bits & 0x2, info.CRC, info.file_size, data)
        rc, status = tool.extract(path, path + ".out")
        check(rc == 0, "%s rewritten whole: %s" % (os.path.basename(archive), status))
        shutil.rmtree(path + ".out", ignore_errors=True)


# --- the library's own archives ---------------------------------------------

def zstd_frames_check(archive, inputs, label):
    """Each entry's stored bytes are a zstd frame the zstd tool decodes."""
    with open(archive, "rb") as f:
        whole = f.read()
    with zipfile.ZipFile(archive) as z:
        infos = [i for i in z.infolist() if not i.is_dir()]
    for info in infos:
        if info.compress_type != 93:
            check(info.file_size == 0, "%s: %s has method %d" % (label, info.filename, info.compress_type))
            continue
        start, end = entry_data_span(whole, info)
        result = run("zstd", "-d", "-c", input=whole[start:end])
        check(result.returncode == 0 and result.stdout == inputs[info.filename]
              and zlib.crc32(result.stdout) == info.CRC,
              "%s: zstd -d of %s's stored bytes: %s" % (label, info.filename, result.stderr.decode()))


def round_trips(tool, work, inputs_dir, inputs):
    files = [os.path.join(inputs_dir, name) for name in sorted(inputs)]
    made = []
    for options, method, encryption in ((["--aes", PASSWORD], 8, 4),
                                        (["--aes", PASSWORD, "--store"], 0, 4),
                                        (["--aes", PASSWORD, "--bzip2", "900"], 12, 4),
                                        (["--zstd", "1"], 93, 0),
                                        (["--zstd", "19"], 93, 0),
                                        (["--aes", PASSWORD, "--zstd", "3"], 93, 4)):
        label = "zip_tool create " + " ".join(options)
        archive = os.path.join(work, "ours-%d.zip" % len(made))
        result = tool.create(archive, files, *options)
        if not check(result.returncode == 0, "%s: %s" % (label, result.stderr.decode())):
            continue
        made.append((archive, options))
        password = PASSWORD if "--aes" in options else None
        tested = run("7z", "t", "-p" + (password or ""), archive)
        check(tested.returncode == 0 and b"Everything is Ok" in tested.stdout,
              "%s: 7z t: %s" % (label, tested.stdout.decode()[-300:]))
        out = fresh(archive + ".7z")
        extracted = run("7z", "x", "-y", "-p" + (password or ""), "-o" + out, archive)
        check(extracted.returncode == 0 and tree(out) == inputs, "%s: 7z x differs" % label)
        # bsdtar 3.6.2 reads the stored bytes of an AES entry around any
        # other method without decrypting them.
        if password is None or method in (0, 8):
            out = fresh(archive + ".bsdtar")
            extracted = run("bsdtar", "-xf", archive, *(["--passphrase", password] if password else []), "-C", out)
            check(extracted.returncode == 0 and tree(out) == inputs,
                  "%s: bsdtar -x differs: %s" % (label, extracted.stderr.decode()[-300:]))
        if password is None:
            zstd_frames_check(archive, inputs, label)
        check_extraction(tool, archive, inputs, label, password, method, encryption)
    return made


def main():
    tool = Tool(os.path.abspath(sys.argv[1]))
    work = fresh(os.path.abspath(sys.argv[2]))
    corpus = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else os.path.join(work, "..", "zip-corpus")
    inputs_dir = os.path.join(work, "inputs")
    inputs = make_inputs(inputs_dir)

    seven = seven_zip_archives(tool, work, inputs_dir, inputs)
    python_archives(tool, work, inputs)
    bsdtar_archives(tool, work, inputs_dir, inputs)
    corpus_archives(tool, work, corpus)
    ours = round_trips(tool, work, inputs_dir, inputs)

    # Wrong and missing passwords, for every strength and for the library's own.
    aes = [(a, s, mm) for a, s, mm in seven if s is not None]
    for archive, strength, mm in aes:
        check_refused(tool, archive, "wrong " + PASSWORD, (RYL_E_WRONG_PASSWORD, RYL_E_BAD_FORMAT),
                      "%s, wrong password" % os.path.basename(archive), encrypted_only=True)
        check_refused(tool, archive, None, (RYL_E_PASSWORD_REQUIRED,), "%s, no password" % os.path.basename(archive),
                      encrypted_only=True)
    for archive, options in ours:
        if "--aes" in options:
            check_refused(tool, archive, PASSWORD[:-1], (RYL_E_WRONG_PASSWORD, RYL_E_BAD_FORMAT),
                          "%s (%s), wrong password" % (os.path.basename(archive), " ".join(options)))

    # A verifier that matches by chance is rare; one that always does is a
    # reader that does not look at it.
    check(len(verifier_matches) <= 1, "wrong passwords passed the verifier: %s" % verifier_matches)

    # Flipped bits in AES entries: 7-Zip's, bsdtar's and the library's own.
    tamper = [(a, PASSWORD_7Z) for a, s, mm in aes]
    tamper += [(os.path.join(work, "bsdtar-deflate-aes128.zip"), PASSWORD)]
    tamper += [(a, PASSWORD) for a, options in ours if "--aes" in options]
    tampered_aes(tool, work, [t for t in tamper if os.path.exists(t[0])])

    # Entries cut short.
    cut = [(os.path.join(work, "bsdtar-deflate.zip"), "compressible.bin"),
           (os.path.join(work, "python-12.zip"), "text.txt"),
           (os.path.join(work, "7z-LZMA.zip"), "text.txt"),
           (os.path.join(work, "7z-LZMA-eosoff.zip"), "text.txt"),
           (os.path.join(work, "7z-LZMA-eosoff.zip"), "compressible.bin"),
           (os.path.join(work, "7z-XZ.zip"), "text.txt"),
           (os.path.join(work, "python-14.zip"), "random.bin")]
    cut += [(os.path.join(work, "corpus-test_read_format_zip_zstd.zipx"), "vimrc"),
            (os.path.join(work, "corpus-test_read_format_zip_lzma_stream_end.zipx"), "vimrc")]
    cut += [(a, "text.txt") for a, options in ours if options == ["--zstd", "19"]]
    cut += [(a, "compressible.bin") for a, options in ours if options == ["--zstd", "1"]]
    check(all(os.path.exists(c[0]) for c in cut), "archives to cut are missing")
    truncated_entries(tool, work, [c for c in cut if os.path.exists(c[0])])

    for note in notes:
        print("note: " + note)
    print("methods_interop: %d passed, %d failed" % (passed, failed))
    if failed == 0:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
