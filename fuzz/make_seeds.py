#!/usr/bin/env python3
"""Makes the generated seed corpora for the fuzz targets.

usage: make_seeds.py WORK_DIR OUT_DIR

zip_reader_fuzz gets the archives the test suites make (Info-ZIP zip, 7z and
bsdtar through their fixture scripts), up to 256 KiB each; zip_rewrite_fuzz and
zip_census_fuzz
those up to 64 KiB. The codec targets
get small files compressed with zlib (raw deflate) and bz2, behind the
settings byte their input starts with; the LZMA, xz and zstd targets get
the same files through Python's lzma module and the zstd tool, and the AES
target gets entries 7z encrypted with its password. The text targets get a few inputs in
their own layouts. Committed regression inputs live in fuzz/corpus/ and are
used beside these.
"""
import bz2
import lzma
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAX_ARCHIVE = 256 * 1024
# The writer copies every entry's stored bytes: smaller archives keep each
# run short.
MAX_REWRITE_ARCHIVE = 64 * 1024


def write(directory, name, data):
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


def archives(work, out):
    target = os.path.join(out, "zip_reader_fuzz")
    rewrite = os.path.join(out, "zip_rewrite_fuzz")
    census = os.path.join(out, "zip_census_fuzz")
    os.makedirs(target, exist_ok=True)
    os.makedirs(rewrite, exist_ok=True)
    os.makedirs(census, exist_ok=True)
    for script, sub in (("tests/zip/make_zip_fixtures.py", "zip"), ("tests/archive/make_fixtures.py", "archive")):
        fixtures = os.path.join(work, sub)
        shutil.rmtree(fixtures, ignore_errors=True)
        os.makedirs(fixtures)
        subprocess.run([sys.executable, os.path.join(ROOT, script), fixtures], check=True,
                       stdout=subprocess.DEVNULL)
        for folder, _, files in os.walk(fixtures):
            for name in sorted(files):
                path = os.path.join(folder, name)
                if name.lower().endswith(".zip") and os.path.getsize(path) <= MAX_ARCHIVE:
                    rel = os.path.relpath(path, fixtures).replace(os.sep, "_")
                    shutil.copyfile(path, os.path.join(target, sub + "_" + rel))
                    if os.path.getsize(path) <= MAX_REWRITE_ARCHIVE:
                        shutil.copyfile(path, os.path.join(rewrite, sub + "_" + rel))
                        shutil.copyfile(path, os.path.join(census, sub + "_" + rel))


def plain_texts():
    rng = random.Random(1)
    return {
        "empty": b"",
        "text": b"The quick brown fox jumps over the lazy dog.\n" * 20,
        "runs": b"a" * 3000 + b"b" * 1000,
        "noise": bytes(rng.randrange(256) for _ in range(1500)),
        "mixed": bytes(range(256)) * 4,
    }


def compressed(out):
    for name, data in plain_texts().items():
        raw = zlib.compressobj(9, zlib.DEFLATED, -15)
        deflated = raw.compress(data) + raw.flush()
        stored = zlib.compressobj(0, zlib.DEFLATED, -15)
        kept = stored.compress(data) + stored.flush()
        # Block size 1: the decoder's block array is then 400 KB rather than
        # 3.6 MB, which the sanitizers make the bulk of each run's cost.
        packed = bz2.compress(data, 1)
        # The first byte picks buffer and read sizes (decode_driver.h).
        for selector in (0x00, 0x16, 0x1F):
            write(os.path.join(out, "deflate_fuzz"), "%s_%02x" % (name, selector), bytes([selector]) + deflated)
            write(os.path.join(out, "bzip2_fuzz"), "%s_%02x" % (name, selector), bytes([selector]) + packed)
        write(os.path.join(out, "deflate_fuzz"), name + "_stored", b"\x12" + kept)


# The selectors the codec seeds start with: small buffers and reads, and
# large ones with and without outDone (decode_driver.h).
SELECTORS = (0x00, 0x16, 0x1F)
# zip_aes_fuzz's password (fuzz/zip_aes_fuzz.cpp).
AES_PASSWORD = "fuzz-Passw0rd"


def lzma_family(out):
    """ZIP's LZMA (4-byte header, properties, raw data with end marker) behind
    a declared size that is right, unknown or off by one, with and without
    the end-marker flag (selector bit 5, lzma_fuzz.cpp); and .xz streams with
    each check."""
    lzma1 = {"id": lzma.FILTER_LZMA1, "dict_size": 1 << 16}
    properties = lzma._encode_filter_properties(lzma1)
    target = os.path.join(out, "lzma_fuzz")
    for name, data in plain_texts().items():
        raw = lzma.compress(data, format=lzma.FORMAT_RAW, filters=[lzma1])
        entry = bytes([20, 9, 5, 0]) + properties + raw
        size = struct.pack("<I", len(data))
        for selector in SELECTORS:
            write(target, "%s_%02x" % (name, selector), bytes([0x20 | selector]) + size + entry)
        # A marker the flag does not announce, after the size's last byte.
        write(target, name + "_unflagged", b"\x1f" + size + entry)
        write(target, name + "_unflagged_pieces", b"\x16" + size + entry)
        write(target, name + "_unknown", b"\x16" + b"\xff" * 4 + entry)
        if data:
            write(target, name + "_short", b"\x1f" + struct.pack("<I", len(data) - 1) + entry)
        write(target, name + "_long", b"\x3f" + struct.pack("<I", len(data) + 1) + entry)
        for index, check in enumerate((lzma.CHECK_CRC64, lzma.CHECK_CRC32, lzma.CHECK_NONE, lzma.CHECK_SHA256)):
            packed = lzma.compress(data, format=lzma.FORMAT_XZ, check=check,
                                   filters=[{"id": lzma.FILTER_LZMA2, "dict_size": 1 << 16}])
            write(os.path.join(out, "xz_fuzz"), "%s_check%d" % (name, index),
                  bytes([SELECTORS[index % len(SELECTORS)]]) + packed)
    # 7-Zip's own LZMA entries know their size and leave the marker out.
    for name, stored in seven_zip_entries(["-mm=LZMA"], 14):
        for selector in SELECTORS:
            write(target, "7z_%s_%02x" % (name, selector),
                  bytes([selector]) + struct.pack("<I", len(plain_texts()[name])) + stored)


def zstd_seeds(out):
    """Frames from the zstd tool at a few levels, with and without a
    checksum, two frames back to back. None where the tool is missing."""
    if shutil.which("zstd") is None:
        return
    def zstd(data, *args):
        return subprocess.run(["zstd", "-q", "-c"] + list(args), input=data, stdout=subprocess.PIPE,
                              check=True).stdout
    for name, data in plain_texts().items():
        one = zstd(data, "-3")
        for index, selector in enumerate(SELECTORS):
            # The second byte is the round trip's level and write size.
            write(os.path.join(out, "zstd_fuzz"), "%s_%02x" % (name, selector),
                  bytes([selector, (index * 0x25) & 0xFF]) + one)
        write(os.path.join(out, "zstd_fuzz"), name + "_19_nocheck", b"\x16\x08" + zstd(data, "-19", "--no-check"))
        write(os.path.join(out, "zstd_fuzz"), name + "_two", b"\x1f\x31" + one + zstd(data[::-1], "-1"))


def seven_zip_entries(options, method):
    """(name, stored bytes) of each entry 7z writes for plain_texts() with
    options, where the entry's method is method."""
    if shutil.which("7z") is None:
        return []
    entries = []
    with tempfile.TemporaryDirectory() as work:
        for name, data in plain_texts().items():
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
        archive = os.path.join(work, "seeds.zip")
        subprocess.run(["7z", "a", "-tzip", "-bd", archive] + options + sorted(plain_texts()), cwd=work,
                       check=True, stdout=subprocess.DEVNULL)
        with open(archive, "rb") as f:
            whole = f.read()
        for info in zipfile.ZipFile(archive).infolist():
            if info.compress_type != method:
                continue
            offset = info.header_offset
            name_length, extra_length = struct.unpack_from("<HH", whole, offset + 26)
            start = offset + 30 + name_length + extra_length
            entries.append((info.filename, whole[start:start + info.compress_size]))
    return entries


def aes_seeds(out):
    """Stored AES entries from 7z at each strength, behind the selector byte
    whose bits 5-6 name the strength (zip_aes_fuzz.cpp)."""
    for index, bits in enumerate((128, 192, 256)):
        for name, stored in seven_zip_entries(["-mx0", "-mem=AES%d" % bits, "-p" + AES_PASSWORD], 99):
            for selector in SELECTORS:
                write(os.path.join(out, "zip_aes_fuzz"), "%s_aes%d_%02x" % (name, bits, selector),
                      bytes([index << 5 | selector]) + stored)
            # A reader that stops after its first read.
            write(os.path.join(out, "zip_aes_fuzz"), "%s_aes%d_stop" % (name, bits), bytes([0x80 | index << 5 | 0x16]) + stored)


def texts(out):
    samples = [
        "plain ASCII".encode("utf-8"),
        "Grüße, naïve café".encode("utf-8"),
        "日本語のテキスト 😀".encode("utf-8"),
        "Grüße 😀".encode("utf-16-le"),
        "Grüße 😀".encode("utf-16-be"),
        "Grüße 😀".encode("utf-32-le"),
        "Grüße 😀".encode("utf-32-be"),
        "Grüße".encode("latin-1"),
        b"\xed\xa0\x80 lone surrogate in UTF-8",
        b"\x00\xd8\x41\x00 lone surrogate in UTF-16",
    ]
    target = os.path.join(out, "transcoder_fuzz")
    # source id, target id, flags, capacity offset, text
    pairs = [(4, 5), (5, 4), (9, 10), (6, 1), (1, 4), (0, 4), (4, 2), (8, 9), (10, 0), (3, 4), (7, 6)]
    for i, text in enumerate(samples):
        source, dest = pairs[i % len(pairs)]
        write(target, "sample_%02d" % i, bytes([source, dest, i & 7, 0]) + text)
        write(target, "sample_%02d_short" % i, bytes([dest, source, 0, 0xFF]) + text)

    target = os.path.join(out, "format_fuzz")
    formats = [b"%5.2f|%-4d|%04x", b"%hhd %hhu %I64d %llx %I32u %zd %#o %#X", b"%s %.3s %-8S %ls %hs %Z %wZ",
               b"%*.*d %.*s %*c %p %%", b"%e %E %g %G %+.20f % 010.3f", b"%n %q %Lf %C %l %I3 %", b"%99999999999d",
               b"1.5e300", b"-INFINITY", b"0,125e-3", b"nan", b"12abc"]
    for i, text in enumerate(formats):
        write(target, "narrow_%02d" % i, bytes([i & 6]) + text)
        write(target, "wide_%02d" % i, bytes([1 | (i & 6)]) + text.decode("ascii").encode("utf-16-le"))

    target = os.path.join(out, "integer_fuzz")
    numbers = [b"12345", b"-128", b"0x7fffffffffffffff", b"0XFFFFFFFFFFFFFFFF", b"18446744073709551616",
               b"-9223372036854775808", b"zz", b"0x", b"-", b"12a", b"777"]
    for i, text in enumerate(numbers):
        # base, width, flags
        for base, width in ((0, 8), (10, 4), (16, 1), (36, 2), (8, 8)):
            write(target, "n%02d_b%02d_w%d" % (i, base, width), bytes([base, width, i & 1]) + text)

    target = os.path.join(out, "wildcard_fuzz")
    cases = [("*.txt", "notes.txt"), ("a?c*", "ABCdef"), ("*.*", "noext"), ("*a*a*a*b", "a" * 30),
             ("?*?", "x"), ("[x]", "[x]"), ("Straße*", "STRASSE"), ("*ä*", "BÄR")]
    for i, (pattern, name) in enumerate(cases):
        units = (pattern + name).encode("latin-1", "replace")
        write(target, "case_%02d" % i, bytes([i & 1, len(pattern)]) + units)
        wide = (pattern + name).encode("utf-16-le")
        write(target, "case_%02d_wide" % i, bytes([2 | (i & 1), len(pattern)]) + wide)

    target = os.path.join(out, "path_text_fuzz")
    paths = [("C:\\dir\\file.txt", "sub\\name.ext"), ("\\\\server\\share\\dir", "x"), ("C:", "..\\up"),
             ("\\rooted\\path.", "tail "), ("relative/dir/", ".ext"), ("\\\\?\\C:\\verbatim", ".."),
             ("\\??\\D:\\nt", "name."), ("\\\\.\\E:", "/abs"), ("", ""), ("a.b.c", "d")]
    for i, (path, second) in enumerate(paths):
        write(target, "path_%02d" % i, bytes([0, len(path)]) + (path + second).encode("latin-1"))
        write(target, "path_%02d_wide" % i, bytes([1, len(path)]) + (path + second).encode("utf-16-le"))


def xml_documents(out):
    """XML for the parser: every construct, both UTF-16 byte orders, entities
    near the expansion limit. The first byte is the short reads' size."""
    utf8 = [
        b'<?xml version="1.0" encoding="utf-8"?><r a="1" b=\'2\'>t<e/>&amp;&#65;&#x4e2d;</r>',
        b'<!DOCTYPE r [<!ENTITY e "x"><!ENTITY f "&e;&e;">]><r k="&f;">&e;&f;</r>',
        b'<r><![CDATA[<not a tag>]]><!-- comment --><?pi data?></r>',
        b'<!DOCTYPE r [<!ELEMENT r (#PCDATA)><!ATTLIST r a CDATA "d">]><r/>',
        b'<!DOCTYPE r [<!ENTITY e "x">]><r>' + b'&e;' * 51 + b'</r>',
        b'<a:b xmlns:a="urn:a" a:c="v"><a:d/></a:b>',
        '<r \u00e9="\u00ff">\u4e2d\U0001F600</r>'.encode('utf-8'),
        b'<r>' + b'<e>x</e>' * 200 + b'</r>',
    ]
    documents = list(utf8)
    for text in ('<r a="\u00e9">\u4e2d</r>', '<?xml version="1.0" encoding="UTF-16"?><r/>'):
        documents.append(b'\xff\xfe' + text.encode('utf-16-le'))
        documents.append(b'\xfe\xff' + text.encode('utf-16-be'))
    for index, document in enumerate(documents):
        for step in (0, 6):
            write(os.path.join(out, "xml_parse_fuzz"), "doc%02d-%d" % (index, step), bytes([step]) + document)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    work, out = (os.path.abspath(a) for a in sys.argv[1:])
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(work, exist_ok=True)
    archives(work, out)
    compressed(out)
    lzma_family(out)
    zstd_seeds(out)
    aes_seeds(out)
    texts(out)
    xml_documents(out)
    for name in sorted(os.listdir(out)):
        print("make_seeds: %s: %d inputs" % (name, len(os.listdir(os.path.join(out, name)))))


if __name__ == "__main__":
    main()
