#!/usr/bin/env python3
"""rylcli re, hash and rsa under Wine, held against Python and openssl.

  rylcli_crypto.py WINE_RUN RYLCLI WORKDIR

re must print the lines Python's re finds, as bytes and as UTF-16; hash must
print what hashlib and zlib compute, or say the algorithm is not offered;
rsa signatures must verify with openssl both ways, equal openssl's own (PKCS
#1 version 1.5 signatures are deterministic), and fail over changed data."""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "zip"))
from cli_harness import check, failures, skip_unless_runnable, win  # noqa: E402

LINES = [
    "The quick brown fox",
    "jumps over the lazy dog 42",
    "",
    "THE QUICK end",
    "a cat, a catalogue and a concatenation",
    "Caf\u00e9 \u4e2d\u6587 end",
    "Solo",
    "tabs\tand  spaces   ",
    "last line without a newline 7",
]

# (pattern, caseless); the same pattern runs narrow and wide.
PATTERNS = [
    ("fox", False),
    ("[0-9]+", False),
    ("^The", False),
    ("end$", False),
    ("^$", False),
    ("^[A-Z][a-z]*$", False),
    ("quick", True),
    ("\\bcat\\b", False),
    ("o.e", False),
    ("caf\u00e9", True),
    ("\u4e2d", False),
    ("zebra", False),
]

DIGESTS = {
    "sha256": lambda data: hashlib.sha256(data).hexdigest(),
    "sha1": lambda data: hashlib.sha1(data).hexdigest(),
    "sha512": lambda data: hashlib.sha512(data).hexdigest(),
    "crc32": lambda data: "%08x" % (zlib.crc32(data) & 0xFFFFFFFF),
}

SELECTORS = ["sha1", "sha256", "sha512"]


def main():
    wine_run, rylcli, work = sys.argv[1:4]
    skip_unless_runnable(wine_run)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    # Non-ASCII patterns reach rylcli through Wine's conversion of the
    # command line, which follows the locale.
    env = dict(os.environ, LC_ALL="C.UTF-8")

    def run(*args):
        result = subprocess.run([wine_run, rylcli] + [str(a) for a in args], capture_output=True,
                                stdin=subprocess.DEVNULL, env=env)
        return result.returncode, result.stdout, result.stderr

    def path(name):
        return os.path.join(work, name)

    def write(name, data):
        with open(path(name), "wb") as f:
            f.write(data)
        return path(name)

    # --- re ---------------------------------------------------------------
    # One line ends in \r\n, which neither the matching nor the output sees.
    text = "\n".join(LINES).encode()
    text = text.replace(b"THE QUICK end\n", b"THE QUICK end\r\n")
    lines_path = write("lines.txt", text)
    byte_lines = [line.rstrip(b"\r") for line in text.split(b"\n")]
    for pattern, caseless in PATTERNS:
        flags = re.ASCII | (re.IGNORECASE if caseless else 0)
        options = ["-i"] if caseless else []
        expected = [line for line in byte_lines if re.search(pattern.encode(), line, flags)]
        wanted = b"".join(line + b"\n" for line in expected)
        code, out, err = run("re", *options, pattern, win(lines_path))
        check(code == (0 if expected else 1) and out == wanted,
              "re %r: exit %d, %r, wanted %r (%r)" % (pattern, code, out, wanted, err))
        expected = [line for line in byte_lines if re.search(pattern, line.decode(), flags)]
        wanted = b"".join(line + b"\n" for line in expected)
        code, out, err = run("re", *options, "-w", pattern, win(lines_path))
        check(code == (0 if expected else 1) and out == wanted,
              "re -w %r: exit %d, %r, wanted %r (%r)" % (pattern, code, out, wanted, err))
    for options in ([], ["-w"]):
        code, out, err = run("re", *options, "(unclosed", win(lines_path))
        check(code == 1 and b"0x" in err, "re %s with a bad pattern: exit %d, %r" % (options, code, err))
    code, out, err = run("re", "fox", win(path("missing.txt")))
    check(code == 1, "re over a missing file: exit %d" % code)
    code, out, err = run("re", "-x", "fox", win(lines_path))
    check(code == 2, "re with an unknown option: exit %d" % code)

    # --- hash -------------------------------------------------------------
    data = bytes(range(256)) * 300 + b"tail"
    data_path = write("hash.bin", data)
    for algorithm, digest in DIGESTS.items():
        code, out, err = run("hash", algorithm, win(data_path))
        if code == 2 and b"is not offered by this build" in err:
            print("rylcli_crypto: hash %s is not offered by this build" % algorithm)
            continue
        wanted = ("%s  %s" % (digest(data), win(data_path))).encode()
        check(code == 0 and out.rstrip(b"\r\n") == wanted, "hash %s: exit %d, %r, wanted %r" % (algorithm, code, out,
                                                                                              wanted))
    code, out, err = run("hash", "md5", win(data_path))
    check(code == 2, "hash of an unknown algorithm: exit %d" % code)

    # --- rsa --------------------------------------------------------------
    openssl = shutil.which("openssl")
    if check(openssl is not None, "openssl is needed for the rsa checks"):
        check_rsa(openssl, run, path, write)

    print("rylcli_crypto: %d failures" % len(failures))
    sys.exit(1 if failures else 0)


def key_components(openssl, key):
    """n, e and d as hex from openssl rsa -text."""
    text = subprocess.run([openssl, "rsa", "-in", key, "-text", "-noout"], capture_output=True, check=True,
                          text=True).stdout
    fields = {}
    label = None
    for line in text.splitlines():
        if line[:1].isspace() and label is not None:
            fields[label] += line.strip().replace(":", "")
            continue
        label = None
        name, _, rest = line.partition(":")
        rest = rest.strip()
        if not rest:
            label = name
            fields[label] = ""
        elif name == "publicExponent":
            fields[name] = "%x" % int(rest.split()[0])
    return fields["modulus"], fields["publicExponent"], fields["privateExponent"]


def check_rsa(openssl, run, path, write):
    key = path("key.pem")
    public = path("pub.pem")
    subprocess.run([openssl, "genrsa", "-out", key, "2048"], capture_output=True, check=True)
    subprocess.run([openssl, "rsa", "-in", key, "-pubout", "-out", public], capture_output=True, check=True)
    n, e, d = key_components(openssl, key)
    # Wrapped, prefixed and in mixed case: what the hex reader must tolerate.
    n_path = write("n.hex", ("0x" + "\n".join(n[i:i + 64] for i in range(0, len(n), 64)) + "\n").encode())
    e_path = write("e.hex", (" %s\n" % e.upper()).encode())
    d_path = write("d.hex", (d + "\n").encode())
    data_path = write("message.txt", b"The message that is signed.\n" * 100)
    changed_path = write("changed.txt", b"The message that is signed!\n" * 100)

    for selector in SELECTORS:
        ours = path("ours-%s.sig" % selector)
        code, out, err = run("rsa", "sign", selector, win(n_path), win(d_path), win(data_path), win(ours))
        if not check(code == 0 and os.path.exists(ours), "rsa sign %s: exit %d, %r" % (selector, code, err)):
            continue
        verified = subprocess.run([openssl, "dgst", "-" + selector, "-verify", public, "-signature", ours, data_path],
                                  capture_output=True)
        check(verified.returncode == 0 and b"Verified OK" in verified.stdout,
              "openssl refuses rylcli's %s signature: %r" % (selector, verified.stdout + verified.stderr))

        theirs = path("theirs-%s.sig" % selector)
        subprocess.run([openssl, "dgst", "-" + selector, "-sign", key, "-out", theirs, data_path], capture_output=True,
                       check=True)
        with open(ours, "rb") as f, open(theirs, "rb") as g:
            check(f.read() == g.read(), "rylcli's %s signature differs from openssl's" % selector)
        code, out, err = run("rsa", "verify", selector, win(n_path), win(e_path), win(data_path), win(theirs))
        check(code == 0, "rsa verify %s of openssl's signature: exit %d, %r %r" % (selector, code, out, err))
        code, out, err = run("rsa", "verify", selector, win(n_path), win(e_path), win(changed_path), win(theirs))
        check(code == 1, "rsa verify %s over changed data: exit %d, %r %r" % (selector, code, out, err))
        other = SELECTORS[(SELECTORS.index(selector) + 1) % len(SELECTORS)]
        code, out, err = run("rsa", "verify", other, win(n_path), win(e_path), win(data_path), win(theirs))
        check(code == 1, "rsa verify %s of a %s signature: exit %d, %r %r" % (other, selector, code, out, err))

    code, out, err = run("rsa", "sign", "md5", win(n_path), win(d_path), win(data_path), win(path("x.sig")))
    check(code == 2, "rsa with an unknown selector: exit %d" % code)
    bad = write("bad.hex", b"12 zz\n")
    code, out, err = run("rsa", "verify", "sha256", win(bad), win(e_path), win(data_path),
                         win(path("theirs-sha256.sig")))
    check(code == 1, "rsa verify with a malformed modulus file: exit %d" % code)


if __name__ == "__main__":
    main()
