#!/usr/bin/env python3
"""The conventions every rylcli command shares, checked under Wine.

  cli_conventions.py WINE_RUN RYLCLI VERSION_H WORKDIR

--help of every family and subcommand exits 0 with its synopsis; usage
errors exit 2; failures of the work exit 1 with one error line of the form
'rylcli: <what>: <CODE_NAME> (0x........)'; --version is version.h's release;
non-ASCII names reach a pipe as UTF-8; fmt agrees with Python's % operator;
reg query reads what 'wine reg add' wrote; hash agrees with hashlib and
zlib."""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import zipfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "zip"))
from cli_harness import check, failures, skip_unless_runnable, win  # noqa: E402

ERROR_LINE = re.compile(r"^rylcli: .+: [A-Z0-9_]+ \(0x[0-9A-F]{8}\)$")

# Family -> subcommands; every one must answer --help with its synopsis.
FAMILIES = {
    "info": [],
    "version": [],
    "zip": ["list", "test", "extract", "create", "add", "delete"],
    "xml": ["check", "pretty"],
    "re": [],
    "hash": [],
    "rsa": ["sign", "verify"],
    "reg": ["query", "list"],
    "fs": ["tree", "rm", "cp", "df", "id"],
    "fmt": [],
}

# Command lines that are wrong as typed: exit 2, nothing attempted.
USAGE_ERRORS = [
    [],
    ["frobnicate"],
    ["--bogus"],
    ["-q"],
    ["info", "extra"],
    ["help", "nothing"],
    ["zip"],
    ["zip", "frob", "a.zip"],
    ["zip", "list"],
    ["zip", "list", "a.zip", "b.zip"],
    ["zip", "list", "-x", "a.zip"],
    ["zip", "extract", "a.zip"],
    ["zip", "extract", "--threads", "0", "a.zip", "out"],
    ["zip", "extract", "--threads", "65", "a.zip", "out"],
    ["zip", "extract", "--max-total", "lots", "a.zip", "out"],
    ["zip", "list", "-9", "a.zip"],
    ["zip", "delete", "-p", "pw", "a.zip", "x"],
    ["zip", "extract", "-", "out"],
    ["xml"],
    ["xml", "check"],
    ["xml", "lint", "a.xml"],
    ["re"],
    ["re", "fox"],
    ["re", "-x", "fox", "a.txt"],
    ["hash"],
    ["hash", "md5", "a.bin"],
    ["hash", "sha256"],
    ["rsa", "sign", "sha256"],
    ["rsa", "sign", "md5", "n", "d", "data", "sig"],
    ["rsa", "encrypt", "sha256", "n", "d", "data", "sig"],
    ["reg"],
    ["reg", "query"],
    ["reg", "delete", "HKCU\\Software"],
    ["reg", "query", "HKXX\\Software"],
    ["reg", "query", "/99", "HKCU\\Software"],
    ["reg", "list", "HKCU\\Software", "extra"],
    ["fs"],
    ["fs", "mv", "a", "b"],
    ["fs", "rm"],
    ["fs", "tree", "-z", "x"],
    ["fs", "cp", "onlyone"],
    ["fmt"],
    ["fmt", "%d", "abc"],
    ["fmt", "%d"],
    ["fmt", "%d", "1", "2"],
    ["fmt", "%d", "4294967296"],
    ["fmt", "%lld", "18446744073709551616"],
    ["fmt", "%f", "1.5x"],
    ["fmt", "%p", "1"],
    ["fmt", "%*d", "wide", "1"],
]

# (format, args, expected or None for Python's %): the C-side cases that
# Python cannot say (widths of h/hh/I64, unsigned wrap, %c by number).
FORMATS = [
    ("%d|%i|%5d|%-5d|%05d|%+d|% d", ["42", "-7", "3", "3", "-3", "9", "9"], None),
    ("%u|%x|%X|%o|%#x|%#o", ["4000000000", "255", "255", "8", "255", "8"], None),
    ("[%10s][%-10s][%.2s]", ["right", "left", "truncated"], None),
    ("%c%c%c", ["R", "y", "l"], None),
    ("%f|%.3f|%10.2f|%-10.1f|%+.0f", ["3.14159", "2.71828", "-1.5", "0.375", "2.7"], None),
    ("%e|%.2E", ["12345.678", "0.000123"], None),
    ("%g|%G|%g", ["0.0001", "1e-10", "123456789"], None),
    ("%*d|%-*d|%.*f", ["6", "42", "6", "42", "2", "3.14159"], None),
    ("100%% sure", [], None),
    ("%hd|%hu|%hhx", ["70000", "-1", "0x1ff"], "4464|65535|ff"),
    ("%u|%x", ["-1", "-1"], "4294967295|ffffffff"),
    ("%I64d|%lld|%I64x", ["-9223372036854775808", "1099511627776", "0xfedcba9876543210"],
     "-9223372036854775808|1099511627776|fedcba9876543210"),
    ("%ld|%lx|%I32d", ["-5", "0xdeadbeef", "7"], "-5|deadbeef|7"),
    ("%c|%c", ["65", "0x263a"], "A|\u263a"),
    ("%s|%S|%hs|%ls", ["\u041f\u0440\u0438\u0432\u0435\u0442", "\u65e5\u672c", "\u00e9", "\U0001f600"],
     "\u041f\u0440\u0438\u0432\u0435\u0442|\u65e5\u672c|\u00e9|\U0001f600"),
    # Directives the formatter does not know are copied and take nothing.
    ("%a|%wd|%k|%d", ["1"], "%a||%k|1"),
]

NON_ASCII = ["\u041f\u0440\u0438\u0432\u0435\u0442.txt", "\u65e5\u672c\u8a9e/\u6587\u66f8.txt",
             "emoji-\U0001f600.txt", "caf\u00e9 na\u00efve.txt"]

DIGESTS = {
    "sha1": lambda d: hashlib.sha1(d).hexdigest(),
    "sha256": lambda d: hashlib.sha256(d).hexdigest(),
    "sha512": lambda d: hashlib.sha512(d).hexdigest(),
    "crc32": lambda d: "%08x" % (zlib.crc32(d) & 0xFFFFFFFF),
}


def python_format(fmt, args):
    """Python's % over the same directives, modifiers dropped, each argument
    converted as the directive asks."""
    directive = re.compile(r"%([-+ #0]*)(\*|\d+)?(?:\.(\*|\d+))?(hh|h|ll|l|I64|I32)?([a-zA-Z%])")
    values = list(args)
    out = []

    def take(kind):
        text = values.pop(0)
        if kind == "int":
            return int(text, 16) if text.lower().startswith(("0x", "-0x")) else int(text)
        return float(text) if kind == "float" else text

    def convert(match):
        flags, width, precision, _, conversion = match.groups()
        if conversion == "%":
            return "%"
        if width == "*":
            width = str(take("int"))
        if precision == "*":
            precision = str(take("int"))
        directive_head = "%" + flags + (width or "") + ("." + precision if precision is not None else "")
        if conversion in "diuxXo":
            formatted = (directive_head + conversion.replace("u", "d").replace("i", "d")) % take("int")
            # C's alternate octal form is a leading 0, Python's 0o.
            return formatted.replace("0o", "0") if conversion == "o" else formatted
        if conversion in "eEfgG":
            return (directive_head + conversion) % take("float")
        if conversion == "c":
            return (directive_head + "c") % take("str")
        return (directive_head + "s") % take("str")

    out.append(directive.sub(convert, fmt))
    return "".join(out)


def exponent_variants(text):
    """The text, and the text with two-digit exponents written with three, as
    the Windows runtimes print them."""
    return {text, re.sub(r"([eE][+-])(\d\d)\b", r"\g<1>0\2", text)}


def main():
    wine_run, rylcli, version_h, work = sys.argv[1:5]
    skip_unless_runnable(wine_run)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    # Non-ASCII arguments reach rylcli through Wine's conversion of the
    # command line, which follows the locale.
    env = dict(os.environ, LC_ALL="C.UTF-8")

    def run(*args):
        result = subprocess.run([wine_run, rylcli] + [str(a) for a in args], capture_output=True,
                                stdin=subprocess.DEVNULL, env=env)
        return result.returncode, result.stdout, result.stderr

    def path(*names):
        return os.path.join(work, *names)

    def write(name, data):
        full = path(name)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)
        return full

    def text(data):
        return data.decode("utf-8").replace("\r\n", "\n")

    # --- help -------------------------------------------------------------
    code, out, err = run("--help")
    listed = text(out)
    check(code == 0 and all(("\n  %s " % family) in listed for family in FAMILIES),
          "--help lists every family: %d %r" % (code, listed))
    for family, subs in FAMILIES.items():
        for switch in ("--help", "-h"):
            code, out, err = run(family, switch)
            check(code == 0 and ("Usage: rylcli " + family) in text(out) and "Exit codes:" in text(out),
                  "%s %s: exit %d, %r %r" % (family, switch, code, out[:200], err[:200]))
        for sub in subs:
            synopsis = "Usage: rylcli %s %s" % (family, sub)
            for args in ([family, sub, "--help"], [family, sub, "-h"], ["help", family, sub]):
                code, out, err = run(*args)
                check(code == 0 and synopsis in text(out) and "Example:" in text(out),
                      "%s: exit %d, %r" % (" ".join(args), code, out[:300]))

    # --- usage errors -----------------------------------------------------
    for args in USAGE_ERRORS:
        code, out, err = run(*args)
        check(code == 2 and text(err).startswith("rylcli"),
              "usage error %r: exit %d, %r" % (args, code, err[:300]))
        check(out == b"", "usage error %r prints nothing on stdout: %r" % (args, out[:200]))

    # --- failures of the work ---------------------------------------------
    missing = win(path("missing.bin"))
    junk = win(write("junk.zip", b"this is not a zip archive, only text long enough to look like one"))
    lines = win(write("lines.txt", b"one fox\ntwo dogs\n"))
    bad_hex = win(write("bad.hex", b"12 zz\n"))
    work_failures = [
        ["zip", "list", missing],
        ["zip", "test", junk],
        ["zip", "extract", missing, win(path("out"))],
        ["zip", "delete", junk, "x"],
        ["xml", "check", missing],
        ["xml", "pretty", missing],
        ["re", "fox", missing],
        ["re", "(unclosed", lines],
        ["re", "-w", "(unclosed", lines],
        ["hash", "sha256", missing],
        ["hash", "crc32", missing],
        ["rsa", "verify", "sha256", bad_hex, bad_hex, lines, lines],
        ["reg", "query", "HKCU\\Software\\RylcliConventionsMissing"],
        ["reg", "list", "HKLM\\Software\\RylcliConventionsMissing"],
        ["fs", "rm", win(path("no-such-dir"))],
        ["fs", "cp", win(path("no-such-dir")), win(path("target"))],
        ["fs", "id", missing],
    ]
    for args in work_failures:
        code, out, err = run(*args)
        err_lines = [line for line in text(err).splitlines() if line.startswith("rylcli:")]
        check(code == 1 and err_lines and all(ERROR_LINE.match(line) for line in err_lines),
              "failure %r: exit %d, error lines %r" % (args, code, text(err)))
    code, out, err = run("re", "zebra", lines)
    check(code == 1 and out == b"" and err == b"", "re without a match: exit 1, silent: %d %r" % (code, err))

    # --- version and info ---------------------------------------------------
    with open(version_h) as f:
        release = re.search(r'#define RYL_SDK_VERSION_STRING "([^"]+)"', f.read()).group(1)
    numbers = release.split(".") + ["0"]
    for args in (["--version"], ["version"]):
        code, out, err = run(*args)
        shown = text(out).splitlines()
        check(code == 0 and shown and shown[0] == "rylcli " + release,
              "%s: %r wanted rylcli %s" % (args, shown, release))
        check(len(shown) == 2 and shown[1].startswith("rylutil.dll %s (" % ".".join(numbers[:4]))
              and shown[1].endswith("rylutil.dll)"), "%s names the loaded DLL's FileVersion: %r" % (args, shown))
    code, out, err = run("info")
    versions = dict(re.findall(r"^  (\S.*?)\s+type \d+\s+version (\d+)$", text(out), re.M))
    for name in ("RootFactory", "FileSystemService", "StringService", "ArchiveFactory", "StreamingArchive",
                 "XmlWriter", "Regex (narrow)", "Regex (UTF-16)", "BlowfishCipher", "RsaPublicKey",
                 "RsaPrivateKey", "Dispatcher", "RegistryKey"):
        check(name in versions and int(versions[name]) >= 1, "info reports %s: %r" % (name, text(out)))
    check(code == 0 and err == b"", "info succeeds silently on stderr: %d %r" % (code, err))
    code, out, err = run("-q", "info")
    check(code == 0 and "initialised" not in text(out) and "RootFactory" in text(out), "-q info: %r" % out)

    # --- non-ASCII names through a pipe -------------------------------------
    archive = path("names.zip")
    with zipfile.ZipFile(archive, "w") as z:
        for name in NON_ASCII:
            z.writestr(name, ("content of " + name).encode())
    code, out, err = run("zip", "list", win(archive))
    listing = out.decode("utf-8", errors="replace")
    for name in NON_ASCII:
        check(name in listing, "list shows %r as UTF-8: %r" % (name, out))
    code, out, err = run("zip", "extract", win(archive), win(path("names")))
    for name in NON_ASCII:
        check(("extracted: " + name) in text(out), "extract reports %r: %r" % (name, out))
        check(os.path.isfile(path("names", name)), "extract wrote %r" % name)
    code, out, err = run("-q", "zip", "extract", win(archive), win(path("names-quiet")))
    check(code == 0 and out == b"" and err == b"", "-q extract prints nothing: %r %r" % (out, err))
    code, out, err = run("-v", "zip", "test", win(archive))
    check(code == 0 and re.search(r"OK +emoji-\U0001f600\.txt \(\d+ bytes\)", text(out)),
          "-v test shows each entry's size: %r" % out)

    # --- hash ----------------------------------------------------------------
    samples = {
        "empty.bin": b"",
        "abc.bin": b"abc",
        "block.bin": bytes(range(256)) * 300 + b"tail",
        "\u0444\u0430\u0439\u043b.bin": "\u0434\u0430\u043d\u043d\u044b\u0435".encode() * 1000,
    }
    for name, data in samples.items():
        full = write(name, data)
        for algorithm, digest in DIGESTS.items():
            code, out, err = run("hash", algorithm, win(full))
            wanted = "%s  %s" % (digest(data), win(full))
            check(code == 0 and text(out).rstrip("\n") == wanted,
                  "hash %s %s: exit %d, %r, wanted %r (%r)" % (algorithm, name, code, out, wanted, err))
    code, out, err = run("hash", "sha1", win(path("abc.bin")), missing, win(path("empty.bin")))
    check(code == 1 and text(out).count("\n") == 2 and len(text(err).splitlines()) == 1,
          "hash of several files goes on past a missing one: %d %r %r" % (code, out, err))

    # --- fmt -----------------------------------------------------------------
    for fmt, args, wanted in FORMATS:
        expected = {wanted} if wanted is not None else exponent_variants(python_format(fmt, args))
        code, out, err = run("fmt", fmt, *args)
        got = text(out)[:-1] if text(out).endswith("\n") else text(out)
        check(code == 0 and got in expected, "fmt %r %r: exit %d, %r, wanted %r (%r)" % (fmt, args, code, got,
                                                                                        expected, err))

    # --- reg -----------------------------------------------------------------
    key = "HKCU\\Software\\RylcliConventions"
    subprocess.run([wine_run, "reg", "delete", key, "/f"], capture_output=True, env=env)
    adds = [
        ("Greeting", "REG_SZ", "hello world"),
        ("Path", "REG_EXPAND_SZ", "%SystemRoot%\\system32"),
        ("Count", "REG_DWORD", "305419896"),
        ("Big", "REG_QWORD", "1311768467463790320"),
        ("Blob", "REG_BINARY", "00ff10ab"),
        ("List", "REG_MULTI_SZ", "one\\0two\\0three"),
        ("\u0418\u043c\u044f", "REG_SZ", "\u0417\u043d\u0430\u0447\u0435\u043d\u0438\u0435 \u65e5\u672c"),
        ("", "REG_SZ", "the default"),
    ]
    wanted_data = {
        "Greeting": ("REG_SZ", "hello world"),
        "Path": ("REG_EXPAND_SZ", "%SystemRoot%\\system32"),
        "Count": ("REG_DWORD", "0x12345678"),
        "Big": ("REG_QWORD", "0x123456789abcdef0"),
        "Blob": ("REG_BINARY", "00FF10AB"),
        "List": ("REG_MULTI_SZ", "one\\0two\\0three"),
        "\u0418\u043c\u044f": ("REG_SZ", "\u0417\u043d\u0430\u0447\u0435\u043d\u0438\u0435 \u65e5\u672c"),
        "(Default)": ("REG_SZ", "the default"),
    }
    for name, kind, data in adds:
        value = ["/ve"] if name == "" else ["/v", name]
        added = subprocess.run([wine_run, "reg", "add", key] + value + ["/t", kind, "/d", data, "/f"],
                               capture_output=True, env=env)
        check(added.returncode == 0, "wine reg add %s: %r" % (name, added.stdout + added.stderr))
    subprocess.run([wine_run, "reg", "add", key + "\\Child", "/f"], capture_output=True, env=env)
    code, out, err = run("reg", "query", key)
    shown = text(out)
    check(code == 0 and "\nHKEY_CURRENT_USER\\Software\\RylcliConventions\n" in shown,
          "reg query names the key: %d %r %r" % (code, shown, err))
    for name, (kind, data) in wanted_data.items():
        check("    %s    %s    %s\n" % (name, kind, data) in shown, "reg query shows %s: %r" % (name, shown))
    check("HKEY_CURRENT_USER\\Software\\RylcliConventions\\Child\n" in shown, "reg query lists the subkey")
    code, out, err = run("reg", "query", key, "Count")
    check(code == 0 and "    Count    REG_DWORD    0x12345678\n" in text(out) and "Greeting" not in text(out),
          "reg query of one value: %d %r" % (code, out))
    code, out, err = run("reg", "query", "hkey_current_user\\software\\rylcliconventions", "\u0418\u043c\u044f")
    check(code == 0 and wanted_data["\u0418\u043c\u044f"][1] in text(out), "reg query ignores case, UTF-8: %r" % out)
    code, out, err = run("reg", "query", key, "")
    check(code == 0 and "    (Default)    REG_SZ    the default\n" in text(out), "reg query of the default: %r" % out)
    code, out, err = run("reg", "query", key, "Absent")
    check(code == 1 and ERROR_LINE.match(text(err).strip()), "reg query of a missing value: %d %r" % (code, err))
    code, out, err = run("reg", "list", key)
    check(code == 0 and text(out).startswith("Child\\\n") and "Blob    REG_BINARY\n" in text(out),
          "reg list: %d %r" % (code, out))
    subprocess.run([wine_run, "reg", "delete", key, "/f"], capture_output=True, env=env)

    print("cli_conventions: %d failures" % len(failures))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
