#!/usr/bin/env python3
"""Checks the archive that written_archive_test.cpp left behind with
Info-ZIP unzip (which tests every CRC, decrypting with the password) and
with Python's zipfile (names, comments, flags and contents, decrypted).

Usage: check_written.py ARCHIVE [WINE_RUN]

With WINE_RUN (cmake/wine-run.sh), a machine where the test that writes the
archive cannot run makes this check skip (exit 77) rather than fail.
"""
import subprocess
import sys
import zipfile

PASSWORD = "pass word"
# Name, comment, data and flags as the test wrote them.
EXPECTED = [
    ("plain.txt", "", b"plain text\n", 0x0000),
    ("secret-crc.txt", "", b"checked by the CRC's high byte\n", 0x0001),
    ("secret-time.txt", "", b"checked by the time's high byte\n", 0x0009),
    ("dir/", "", b"", 0x0000),
    ("\u00fcn\u00efcode.txt", "\u043a\u043e\u043c\u043c\u0435\u043d\u0442", b"utf-8 name\n", 0x0800),
    ("zip64.txt", "", b"sizes in a ZIP64 record\n", 0x0000),
    ("empty-secret.txt", "", b"", 0x0009),
]


def main():
    path = sys.argv[1]
    if len(sys.argv) > 2 and subprocess.run([sys.argv[2], "--check"]).returncode != 0:
        sys.exit(77)
    result = subprocess.run(["unzip", "-t", "-P", PASSWORD, path], capture_output=True, text=True, errors="replace")
    print(result.stdout, result.stderr)
    if result.returncode != 0 or "No errors detected" not in result.stdout:
        sys.exit("unzip refused the archive")
    with zipfile.ZipFile(path) as z:
        if z.comment != b"written by the format tests":
            sys.exit("archive comment %r" % z.comment)
        infos = z.infolist()
        if [i.filename for i in infos] != [e[0] for e in EXPECTED]:
            sys.exit("names %r" % [i.filename for i in infos])
        for info, (name, comment, data, flags) in zip(infos, EXPECTED):
            got_comment = info.comment.decode("utf-8" if info.flag_bits & 0x800 else "cp437")
            if got_comment != comment or info.flag_bits != flags:
                sys.exit("%s: comment %r flags %#x" % (name, got_comment, info.flag_bits))
            if z.read(info, pwd=PASSWORD.encode()) != data:
                sys.exit("%s: data differs" % name)
    print("written archive: unzip and zipfile agree")


if __name__ == "__main__":
    main()
