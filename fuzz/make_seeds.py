#!/usr/bin/env python3
"""Makes the generated seed corpora for the fuzz targets.

usage: make_seeds.py WORK_DIR OUT_DIR

zip_reader_fuzz gets the archives the test suites make (Info-ZIP zip, 7z and
bsdtar through their fixture scripts), up to 256 KiB each; zip_rewrite_fuzz and
zip_census_fuzz
those up to 64 KiB. The codec targets
get small files compressed with zlib (raw deflate) and bz2, behind the
settings byte their input starts with. The text targets get a few inputs in
their own layouts. Committed regression inputs live in fuzz/corpus/ and are
used beside these.
"""
import bz2
import os
import random
import shutil
import subprocess
import sys
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
    texts(out)
    xml_documents(out)
    for name in sorted(os.listdir(out)):
        print("make_seeds: %s: %d inputs" % (name, len(os.listdir(os.path.join(out, name)))))


if __name__ == "__main__":
    main()
