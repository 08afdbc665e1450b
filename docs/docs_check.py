#!/usr/bin/env python3
"""Keeps the documentation tied to the headers and the example programs.

  docs_check.py check ROOT       every slot of every interface in
                                 include/ryl/*.h has its row in
                                 docs/reference/<header>.md, in order, no row
                                 is left unwritten, and every code excerpt in
                                 docs/*.md is the text of its example file
  docs_check.py excerpts ROOT    rewrites the excerpts from the example files
  docs_check.py skeleton ROOT HEADER
                                 prints a reference skeleton for one header

Interfaces are the RYL_INTERFACE declarations; a slot is a pure virtual
method, numbered from 0 in declaration order. A reference row starts with
"| N | `Name`" inside the section "## Interface" of the header's page.

An excerpt is a line "<!-- excerpt: examples/FILE#NAME -->" followed by a
fenced code block; its text is what lies between the comments
"[guide:NAME]" and "[/guide:NAME]" in docs/examples/FILE, without the
marker lines of regions nested inside, dedented.
"""
import pathlib
import re
import sys

INTERFACE = re.compile(r"RYL_INTERFACE\s+(\w+)\s*\{(.*?)\n\};", re.S)
SLOT = re.compile(r"virtual\s+(.+?)\s+RYL_THISCALL\s+(\w+)\s*\((.*?)\)\s*=\s*0\s*;", re.S)
UNWRITTEN = "(to be written)"


def interfaces(header_text):
    """[(interface, [(return type, name, arguments)])] in declaration order."""
    found = []
    for match in INTERFACE.finditer(header_text):
        body = re.sub(r"//[^\n]*", "", match.group(2))
        slots = [(" ".join(r.split()), n, " ".join(a.split())) for r, n, a in SLOT.findall(body)]
        found.append((match.group(1), slots))
    return found


def sections(page_text):
    """{interface: section text} for the "## Name" sections of a page."""
    parts = re.split(r"^## +", page_text, flags=re.M)
    result = {}
    for part in parts[1:]:
        title, _, body = part.partition("\n")
        result[title.strip().strip("`")] = body
    return result


EXCERPT = re.compile(r"<!-- excerpt: examples/([\w/.]+)#([\w-]+) -->\n```(\w*)\n(.*?)```\n", re.S)
MARKER = re.compile(r"\[/?guide:[\w-]+\]")


def region(root, file_name, name):
    """The text of one region of an example file, or None."""
    path = root / "docs" / "examples" / file_name
    if not path.exists():
        return None
    lines = path.read_text().splitlines()
    start = [i for i, line in enumerate(lines) if f"[guide:{name}]" in line]
    end = [i for i, line in enumerate(lines) if f"[/guide:{name}]" in line]
    if len(start) != 1 or len(end) != 1 or end[0] < start[0]:
        return None
    body = [line for line in lines[start[0] + 1:end[0]] if not MARKER.search(line)]
    indents = [len(line) - len(line.lstrip()) for line in body if line.strip()]
    cut = min(indents) if indents else 0
    return "\n".join(line[cut:] for line in body) + "\n"


def excerpt_pages(root):
    return sorted((root / "docs").glob("*.md"))


def check_excerpts(root, problems, rewrite=False):
    count = 0
    for page in excerpt_pages(root):
        text = page.read_text()

        def replace(match):
            nonlocal count
            count += 1
            wanted = region(root, match.group(1), match.group(2))
            if wanted is None:
                problems.append(f"{page.relative_to(root)}: no region {match.group(2)} in examples/{match.group(1)}")
                return match.group(0)
            if wanted != match.group(4) and not rewrite:
                problems.append(f"{page.relative_to(root)}: excerpt {match.group(1)}#{match.group(2)} differs")
            return f"<!-- excerpt: examples/{match.group(1)}#{match.group(2)} -->\n```{match.group(3)}\n{wanted}```\n"

        new = EXCERPT.sub(replace, text)
        if rewrite and new != text:
            page.write_text(new)
    return count


def check(root):
    problems = []
    slot_count = 0
    for header in sorted((root / "include" / "ryl").glob("*.h")):
        found = interfaces(header.read_text())
        page = root / "docs" / "reference" / (header.stem + ".md")
        if not page.exists():
            problems.append(f"{page.relative_to(root)}: missing (for {header.name})")
            continue
        text = page.read_text()
        if UNWRITTEN in text:
            problems.append(f"{page.relative_to(root)}: rows still marked {UNWRITTEN}")
        by_name = sections(text)
        for name, slots in found:
            body = by_name.get(name)
            if body is None:
                problems.append(f"{page.relative_to(root)}: no section '## {name}'")
                continue
            rows = [(int(n), s) for n, s in re.findall(r"^\| *(\d+) *\| *`(\w+)", body, flags=re.M)]
            expected = [(i, slot[1]) for i, slot in enumerate(slots)]
            slot_count += len(slots)
            if rows != expected:
                problems.append(f"{page.relative_to(root)} ## {name}: rows {rows} differ from the header's {expected}")
    excerpts = check_excerpts(root, problems)
    for problem in problems:
        print(problem)
    print(f"{slot_count} slots and {excerpts} excerpts checked, {len(problems)} problems")
    return 1 if problems else 0


def skeleton(root, header_name):
    header = root / "include" / "ryl" / header_name
    for name, slots in interfaces(header.read_text()):
        print(f"## {name}\n\n| Slot | Signature | Behaviour |\n|---|---|---|")
        for index, (returns, slot, arguments) in enumerate(slots):
            print(f"| {index} | `{slot}({arguments})` → `{returns}` | {UNWRITTEN} |")
        print()
    return 0


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "check":
        sys.exit(check(pathlib.Path(sys.argv[2])))
    if len(sys.argv) == 3 and sys.argv[1] == "excerpts":
        problems = []
        print(f"{check_excerpts(pathlib.Path(sys.argv[2]), problems, rewrite=True)} excerpts written")
        for problem in problems:
            print(problem)
        sys.exit(1 if problems else 0)
    if len(sys.argv) == 4 and sys.argv[1] == "skeleton":
        sys.exit(skeleton(pathlib.Path(sys.argv[2]), sys.argv[3]))
    print(__doc__)
    sys.exit(2)
