#!/usr/bin/env python3
"""Holds ParseXml against Python's expat bindings (the same expat version)
over a generated corpus: every construct, UTF-8 with and without a
declaration, both UTF-16 byte orders, CDATA, comments, processing
instructions, a DOCTYPE with an internal subset, and malformed variants.

  parser_differential.py XML_EVENTS_PROGRAM

Well-formed documents must be accepted with the same element, attribute and
text events (text joined across pieces); malformed ones refused with
RYL_E_BAD_FORMAT. Documents with more than 50 internal entity expansions are
refused by the library (its limit) and accepted by Python: they are checked
for exactly that. Exits 1 on the first kind of difference, naming the files.
"""
import json
import os
import random
import subprocess
import sys
import tempfile
import xml.parsers.expat

BAD_FORMAT = -536805307  # 0xE0010045 as a signed 32-bit code


def python_events(data):
    events = []
    parser = xml.parsers.expat.ParserCreate()
    parser.ordered_attributes = True

    def start(name, attributes):
        events.append(["start", name])
        for i in range(0, len(attributes), 2):
            events.append(["attr", name, attributes[i], attributes[i + 1]])

    def end(name):
        events.append(["end", name])

    def text(data):
        if events and events[-1][0] == "text":
            events[-1][1] += data
        else:
            events.append(["text", data])

    parser.StartElementHandler = start
    parser.EndElementHandler = end
    parser.CharacterDataHandler = text
    try:
        parser.Parse(data, True)
    except xml.parsers.expat.ExpatError:
        return None
    return events


def join_text(events):
    joined = []
    for event in events:
        if event[0] == "text" and joined and joined[-1][0] == "text":
            joined[-1] = ["text", joined[-1][1] + event[1]]
        else:
            joined.append(list(event))
    return joined


NAMES = ["a", "b", "long-name", "x.y", "_u", "\u00e9t\u00e9", "\u4e2d\u6587", "n1", "p:q"]
TEXTS = ["plain", "a &amp; b", "&lt;tag&gt;", "&#65;&#x4e2d;&#x1F600;", "caf\u00e9", "\u4e2d", "\U0001F600",
         "line\nbreak\r\nmore", "tab\there", "quote \" and '", "&e;", "&f;"]


def random_element(rng, depth):
    name = rng.choice(NAMES)
    attributes = []
    used = set()
    for _ in range(rng.randint(0, 3)):
        key = rng.choice(NAMES)
        if key in used:
            continue
        used.add(key)
        value = rng.choice(TEXTS).replace('"', "&quot;").replace("<", "&lt;")
        attributes.append('%s="%s"' % (key, value))
    inner = []
    for _ in range(rng.randint(0, 4) if depth < 5 else 0):
        roll = rng.random()
        if roll < 0.4:
            inner.append(random_element(rng, depth + 1))
        elif roll < 0.7:
            inner.append(rng.choice(TEXTS).replace('"', "&quot;") if rng.random() < 0.5 else "t")
        elif roll < 0.8:
            inner.append("<![CDATA[ <raw> & ]]>")
        elif roll < 0.9:
            inner.append("<!-- comment -->")
        else:
            inner.append("<?target data?>")
    head = "<" + name + ("" if not attributes else " " + " ".join(attributes))
    if not inner and rng.random() < 0.5:
        return head + "/>"
    return head + ">" + "".join(inner) + "</" + name + ">"


PROLOGS = ["", '<?xml version="1.0"?>', '<?xml version="1.0" encoding="UTF-8"?>',
           '<!DOCTYPE r [<!ENTITY e "ent"><!ENTITY f "&e;&e;"><!ATTLIST a d CDATA "dflt">]>']


def corpus(rng, count):
    for index in range(count):
        prolog = rng.choice(PROLOGS)
        body = random_element(rng, 0)
        if "ENTITY" not in prolog:
            body = body.replace("&e;", "&amp;").replace("&f;", "&lt;")
        text = prolog + body
        kind = rng.random()
        if kind < 0.6:
            yield "doc%04d-utf8.xml" % index, text.encode("utf-8")
        elif kind < 0.7:
            yield "doc%04d-bom.xml" % index, b"\xef\xbb\xbf" + text.encode("utf-8")
        elif kind < 0.85:
            decl = text.replace('encoding="UTF-8"', 'encoding="UTF-16"')
            yield "doc%04d-le.xml" % index, b"\xff\xfe" + decl.encode("utf-16-le")
        else:
            decl = text.replace('encoding="UTF-8"', 'encoding="UTF-16"')
            yield "doc%04d-be.xml" % index, b"\xfe\xff" + decl.encode("utf-16-be")
        # Malformed twins: cut short, a broken tag, a stray ampersand.
        raw = text.encode("utf-8")
        if len(raw) > 2:
            yield "bad%04d-cut.xml" % index, raw[: rng.randint(0, len(raw) - 1)]
        yield "bad%04d-tag.xml" % index, raw.replace(b">", b"", 1)
        yield "bad%04d-amp.xml" % index, raw.replace(b"</", b"&</", 1)
    entities = '<!DOCTYPE r [<!ENTITY e "x">]><r>%s</r>'
    yield "limit-50.xml", (entities % ("&e;" * 50)).encode()
    yield "limit-51.xml", (entities % ("&e;" * 51)).encode()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    program = sys.argv[1]
    rng = random.Random(20261210)
    failures = []
    checked = 0
    with tempfile.TemporaryDirectory() as work:
        expected = {}
        for name, data in corpus(rng, 400):
            path = os.path.join(work, name)
            with open(path, "wb") as f:
                f.write(data)
            expected[path] = (name, data)
        paths = sorted(expected)
        output = subprocess.run([program] + paths, check=True, capture_output=True).stdout.decode()
        for line in output.splitlines():
            got = json.loads(line)
            name, data = expected[got["file"]]
            want = python_events(data)
            checked += 1
            if name == "limit-51.xml":
                if want is None or got["result"] != BAD_FORMAT:
                    failures.append("%s: more than 50 expansions must be refused (got %d)" % (name, got["result"]))
                continue
            if want is None:
                if got["result"] != BAD_FORMAT:
                    failures.append("%s: malformed, but the library answered %d" % (name, got["result"]))
                continue
            if got["result"] != 0:
                failures.append("%s: well-formed, but the library answered %d" % (name, got["result"]))
                continue
            events = join_text(got["events"])
            if events != want:
                first = next((i for i, (a, b) in enumerate(zip(events, want)) if a != b), min(len(events), len(want)))
                failures.append("%s: event %d differs: library %r, python %r" % (
                    name, first, events[first:first + 1], want[first:first + 1]))
    for failure in failures[:20]:
        print("parser_differential: " + failure)
    print("parser_differential: %d documents, %d differences" % (checked, len(failures)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
