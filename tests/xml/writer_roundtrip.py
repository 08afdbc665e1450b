#!/usr/bin/env python3
"""Random documents from the XML writer, read back by Python's parsers.

    writer_roundtrip.py PROGRAM [COUNT [SEED]]

Runs PROGRAM (xml_writer_roundtrip) into a temporary directory, then parses
every N.xml twice, with xml.parsers.expat directly (attributes in document
order) and with xml.dom.minidom, and compares each tree with N.json, which
the program derived from the calls it made and not from the bytes written.
Exits non-zero on the first program failure or on any mismatch, naming the
file and where the trees first differ.
"""

import json
import os
import subprocess
import sys
import tempfile
import xml.dom
import xml.dom.minidom
import xml.parsers.expat

DEFAULT_COUNT = 300
DEFAULT_SEED = 20240615
# What the writer's indentation consists of, and what the generator keeps
# away from the edges of text when formatting is on.
XML_SPACE = " \t\n\r"


def finish_children(children, formatting):
    """Adjacent text merged; with formatting, the writer's indentation at
    the edges of text removed and text that was only indentation dropped."""
    merged = []
    for child in children:
        if isinstance(child, str) and merged and isinstance(merged[-1], str):
            merged[-1] += child
        else:
            merged.append(child)
    if not formatting:
        return merged
    out = []
    for child in merged:
        if isinstance(child, str):
            child = child.strip(XML_SPACE)
            if not child:
                continue
        out.append(child)
    return out


def tree_from_expat(data, formatting):
    parser = xml.parsers.expat.ParserCreate()
    parser.ordered_attributes = True
    parser.buffer_text = False
    stack = [{"children": []}]
    declaration = []

    def start(name, attributes):
        pairs = [[attributes[i], attributes[i + 1]] for i in range(0, len(attributes), 2)]
        element = {"name": name, "attributes": pairs, "children": []}
        stack[-1]["children"].append(element)
        stack.append(element)

    def end(name):
        element = stack.pop()
        element["children"] = finish_children(element["children"], formatting)

    def text(data):
        stack[-1]["children"].append(data)

    def xml_declaration(version, encoding, standalone):
        declaration.append((version, encoding))

    parser.StartElementHandler = start
    parser.EndElementHandler = end
    parser.CharacterDataHandler = text
    parser.XmlDeclHandler = xml_declaration
    parser.Parse(data, True)
    elements = [c for c in stack[0]["children"] if isinstance(c, dict)]
    return elements[0], declaration


def tree_from_minidom(data, formatting):
    document = xml.dom.minidom.parseString(data)

    def build(node):
        attributes = [[a.name, a.value] for a in (node.attributes.item(i) for i in range(node.attributes.length))]
        children = []
        for child in node.childNodes:
            if child.nodeType in (xml.dom.Node.TEXT_NODE, xml.dom.Node.CDATA_SECTION_NODE):
                children.append(child.data)
            elif child.nodeType == xml.dom.Node.ELEMENT_NODE:
                children.append(build(child))
            else:
                raise ValueError("unexpected node type %d" % child.nodeType)
        return {"name": node.tagName, "attributes": attributes, "children": finish_children(children, formatting)}

    root = build(document.documentElement)
    document.unlink()
    return root


def first_difference(expected, got, path):
    """Where two trees first differ, as (path, expected, got), or None."""
    if isinstance(expected, str) or isinstance(got, str):
        if expected != got:
            return path, expected, got
        return None
    here = path + "/" + expected["name"]
    if expected["name"] != got["name"]:
        return path + "/<name>", expected["name"], got["name"]
    if expected["attributes"] != got["attributes"]:
        want = expected["attributes"]
        have = got["attributes"]
        for i in range(max(len(want), len(have))):
            w = want[i] if i < len(want) else None
            h = have[i] if i < len(have) else None
            if w != h:
                return "%s/@%d" % (here, i), w, h
    want = expected["children"]
    have = got["children"]
    for i in range(min(len(want), len(have))):
        found = first_difference(want[i], have[i], "%s[%d]" % (here, i))
        if found:
            return found
    if len(want) != len(have):
        return here + "/<child count>", [describe(c) for c in want], [describe(c) for c in have]
    return None


def describe(node):
    return node if isinstance(node, str) else "<%s>" % node["name"]


def check_file(directory, index):
    """None when N.xml reads back as N.json says; otherwise what went wrong."""
    base = os.path.join(directory, str(index))
    with open(base + ".json", encoding="ascii") as f:
        expected = json.load(f)
    with open(base + ".xml", "rb") as f:
        data = f.read()
    formatting = expected["formatting"]
    try:
        from_expat, declaration = tree_from_expat(data, formatting)
    except xml.parsers.expat.ExpatError as error:
        return "%s.xml: expat rejects it: %s" % (base, error)
    if expected["declaration"] != bool(declaration) or (declaration and declaration[0] != ("1.0", "utf-8")):
        return "%s.xml: declaration %r, expected %s" % (base, declaration, "one" if expected["declaration"] else "none")
    found = first_difference(expected["root"], from_expat, "")
    if found:
        return "%s.xml (expat): first difference at %s:\n  expected %r\n  got      %r" % ((base,) + found)
    try:
        from_minidom = tree_from_minidom(data, formatting)
    except Exception as error:  # minidom raises expat's errors and its own
        return "%s.xml: minidom rejects it: %s" % (base, error)
    found = first_difference(expected["root"], from_minidom, "")
    if found:
        return "%s.xml (minidom): first difference at %s:\n  expected %r\n  got      %r" % ((base,) + found)
    return None


def main(argv):
    if len(argv) < 2 or len(argv) > 4:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    program = argv[1]
    count = int(argv[2]) if len(argv) > 2 else DEFAULT_COUNT
    seed = int(argv[3]) if len(argv) > 3 else DEFAULT_SEED
    with tempfile.TemporaryDirectory(prefix="xml_roundtrip_") as directory:
        run = subprocess.run([program, directory, str(count), str(seed)], capture_output=True, text=True)
        sys.stdout.write(run.stdout)
        sys.stderr.write(run.stderr)
        if run.returncode != 0:
            print("writer_roundtrip: %s failed (exit %d)" % (program, run.returncode))
            return 1
        failures = []
        for index in range(count):
            problem = check_file(directory, index)
            if problem:
                failures.append(problem)
        for problem in failures[:10]:
            print(problem)
        if failures:
            print("writer_roundtrip: %d of %d documents differ (seed %d)" % (len(failures), count, seed))
            return 1
    print("writer_roundtrip: %d documents read back by expat and minidom as written (seed %d)" % (count, seed))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
