#!/usr/bin/env python3
"""rylcli xml check and pretty under Wine, held against Python's parsers.

  rylcli_xml.py WINE_RUN RYLCLI WORKDIR

check must call well-formed documents well-formed with Python's count of
elements, and refuse malformed ones with exit code 1; pretty must write a
document that Python reads back to the same elements, attributes and
(non-blank) text as the original."""
import os
import shutil
import subprocess
import sys
import xml.dom.minidom

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "zip"))
from cli_harness import check, failures, skip_unless_runnable, win  # noqa: E402


def content(node):
    """Elements with their attributes and the non-blank text of each."""
    out = []
    for child in node.childNodes:
        if child.nodeType == child.ELEMENT_NODE:
            attributes = sorted((a.name, a.value) for a in child.attributes.values())
            out.append((child.tagName, attributes, content(child)))
        elif child.nodeType in (child.TEXT_NODE, child.CDATA_SECTION_NODE) and child.data.strip():
            out.append(child.data.strip())
    return out


DOCUMENTS = {
    "plain.xml": '<?xml version="1.0"?><r a="1"><e k="v&amp;w">text</e><e/><f>\u00e9\u4e2d</f></r>',
    "nested.xml": "<r>" + "<a>" * 40 + "deep" + "</a>" * 40 + "</r>",
    "mixed.xml": "<doc>\n  <p>one <b>two</b> three</p>\n  <!-- c --><![CDATA[<x>]]>\n</doc>",
    "entities.xml": '<!DOCTYPE r [<!ENTITY e "ent">]><r t="&e;">&e;&e;</r>',
    "utf16.xml": None,
}
MALFORMED = {
    "unclosed.xml": "<r><a></r>",
    "two-roots.xml": "<a/><b/>",
    "laughs.xml": '<!DOCTYPE r [<!ENTITY e "x">]><r>' + "&e;" * 51 + "</r>",
    "empty.xml": "",
}


def main():
    wine_run, rylcli, work = sys.argv[1:4]
    skip_unless_runnable(wine_run)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    def run(*args):
        result = subprocess.run([wine_run, rylcli, "xml"] + list(args), capture_output=True, stdin=subprocess.DEVNULL)
        return result.returncode, result.stdout, result.stderr

    for name, text in DOCUMENTS.items():
        path = os.path.join(work, name)
        data = (b"\xff\xfe" + '<r x="\u00e9"><e>\u4e2d</e></r>'.encode("utf-16-le")) if text is None else text.encode()
        with open(path, "wb") as f:
            f.write(data)
        expected = xml.dom.minidom.parseString(data)
        count = len(expected.getElementsByTagName("*"))
        code, out, err = run("check", win(path))
        check(code == 0 and b"well-formed, %d elements" % count in out, "check %s: %r %r" % (name, out, err))
        code, out, err = run("pretty", win(path))
        if not check(code == 0, "pretty %s exits %d: %r" % (name, code, err)):
            continue
        again = xml.dom.minidom.parseString(out)
        check(content(again) == content(expected), "pretty %s changed the content:\n%s" % (name, out.decode()))
        check(out.startswith(b'<?xml version="1.0" encoding="utf-8"?>\r\n'), "pretty %s: declaration" % name)

    for name, text in MALFORMED.items():
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(text.encode())
        code, out, err = run("check", win(path))
        check(code == 1 and b"not well-formed" in out and b"0xE0010045" in out, "check %s: %d %r" % (name, code, out))

    code, out, err = run("check", win(os.path.join(work, "missing.xml")))
    check(code == 1, "a missing file fails")
    code, out, err = run("frobnicate")
    check(code == 2, "an unknown subcommand shows the usage")
    print("rylcli_xml: %d failures" % len(failures))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
