#!/usr/bin/env python3
"""An entry of 4 GiB + 1 bytes of zeros, streamed through StreamingArchive
by zip_tests (its test Large_*, which also reads it back through the
library), then read by Python's zipfile: sizes from the ZIP64 records, every
byte zero, and the CRC that zipfile checks at the end of the entry.

Usage: large_entry_check.py WINE_RUN ZIP_TESTS_EXE WORKDIR
Exits 77 (skipped) when Wine cannot run here.
"""
import os
import subprocess
import sys
import zipfile

SIZE = (1 << 32) + 1


def main():
    wine_run, exe, work = sys.argv[1:4]
    check = subprocess.run([wine_run, "--check"])
    if check.returncode != 0:
        return check.returncode
    os.makedirs(work, exist_ok=True)
    archive = os.path.join(os.path.abspath(work), "large.zip")
    env = dict(os.environ, RYL_ZIP_LARGE_OUT=archive)
    run = subprocess.run([wine_run, exe, "--gtest_filter=ZipWriterTest.Large_*"], env=env,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
    print(run.stdout)
    if run.returncode != 0 or "[  PASSED  ] 1 test" not in run.stdout:
        print("large_entry_check: the Windows half failed or did not run")
        return 1
    try:
        with zipfile.ZipFile(archive) as z:
            names = [i.filename for i in z.infolist()]
            if names != ["small-before.txt", "zeros.bin", "small-after.txt"]:
                print("large_entry_check: entries", names)
                return 1
            info = z.getinfo("zeros.bin")
            if info.file_size != SIZE:
                print("large_entry_check: zipfile reads size", info.file_size)
                return 1
            zero = bytes(1 << 24)
            total = 0
            with z.open(info) as f:  # raises BadZipFile on a CRC mismatch at the end
                while True:
                    chunk = f.read(len(zero))
                    if not chunk:
                        break
                    if chunk != zero[:len(chunk)]:
                        print("large_entry_check: a byte other than zero near offset", total)
                        return 1
                    total += len(chunk)
            if total != SIZE:
                print("large_entry_check: zipfile read", total, "bytes")
                return 1
            if z.read("small-after.txt") != b"after":
                print("large_entry_check: the entry after the large one reads wrong")
                return 1
    finally:
        if os.path.exists(archive):
            os.remove(archive)
    print("large_entry_check: zipfile reads %d bytes of zeros with a matching CRC" % SIZE)
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
