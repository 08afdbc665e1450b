#!/usr/bin/env python3
"""Checks every #include of the library, rylcli and the C hosts against the
layer graph, and the portable folders against native headers.

  check_layers.py REPO_ROOT

The graph below is the one the build gives each target (src/*/CMakeLists.txt):
a folder may include its own headers, the public SDK ("ryl/...") and the
headers of the folders it is allowed to use. The portable folders are plain
C++ over the stream interfaces: they may not reach a Windows or native header,
directly or through another header. Exits 1 and names every offending line.
"""
import os
import re
import sys

# What each folder of src/ may use, lowest layer first.
ALLOWED = {
    "sys": set(),
    "sys/codec": {"sys"},
    "core": {"sys"},
    "async": {"core", "sys"},
    "registry": {"async", "core", "strings", "sys"},
    "xml": {"core", "streams", "sys"},
    "crypto": {"core", "sys", "sys/codec"},
    "regex": {"core", "sys"},
    "streams": {"core", "sys"},
    "strings": {"core", "sys"},
    "security": {"core", "sys"},
    "codec": {"core", "streams", "sys", "sys/codec"},
    "fs": {"core", "security", "streams", "strings", "sys", "sys/codec"},
    "archive": {"codec", "core", "streams", "strings", "sys", "sys/codec"},
    "module": {"archive", "async", "codec", "core", "crypto", "fs", "regex", "registry", "strings", "sys", "xml"},
}

# Built for the Linux host too; never native.
PORTABLE = {"sys/codec", "core", "async", "registry", "xml", "crypto", "regex", "streams", "strings", "codec", "archive"}

NATIVE_SYSTEM_HEADERS = re.compile(
    r"^(windows|winternl|winbase|winnt|winerror|ntstatus|ntdef|bcrypt|wincrypt|aclapi|sddl|shlobj|"
    r"winioctl|winreg|ntsecapi|securitybaseapi|processthreadsapi|synchapi|fileapi|handleapi|ddk/.*)\.h$",
    re.IGNORECASE)

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def folder_of(path):
    """The src folder a file belongs to (sys/codec before sys)."""
    rel = os.path.relpath(path, "src").replace(os.sep, "/")
    parts = rel.split("/")
    if parts[0] == "sys" and len(parts) > 2 and parts[1] == "codec":
        return "sys/codec"
    if parts[0] == "sys" and len(parts) > 2 and parts[1] == "posix":
        return "sys/posix"
    return parts[0]


def folder_of_include(target):
    """The src folder an include "a/b.h" names, or None when it names none."""
    parts = target.split("/")
    if len(parts) < 2:
        return None
    if parts[0] == "sys" and parts[1] == "codec" and len(parts) > 2:
        return "sys/codec"
    if parts[0] in ALLOWED:
        return parts[0]
    return None


def includes(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                yield number, m.group(1), m.group(2)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    os.chdir(root)
    problems = []

    sources = []
    for base in ("src",):
        for dirpath, _, names in os.walk(base):
            for name in names:
                if name.endswith((".h", ".cpp", ".c")):
                    sources.append(os.path.join(dirpath, name))

    # Which headers of src reach a native header, directly or not.
    native = {}

    def reaches_native(header, seen=()):
        if header in native:
            return native[header]
        path = os.path.join("src", header)
        if not os.path.exists(path) or header in seen:
            return False
        result = False
        for _, kind, target in includes(path):
            if kind == "<" and NATIVE_SYSTEM_HEADERS.match(target):
                result = True
            elif kind == '"' and folder_of_include(target) and reaches_native(target, seen + (header,)):
                result = True
        native[header] = result
        return result

    for path in sorted(sources):
        folder = folder_of(path)
        # The POSIX implementations of the system facades are part of sys.
        layer = "sys" if folder == "sys/posix" else folder
        if layer not in ALLOWED:
            problems.append(f"{path}: folder '{folder}' is not in the layer graph")
            continue
        for number, kind, target in includes(path):
            close = '"' if kind == '"' else ">"
            where = f"{path}:{number}: #include {kind}{target}{close}"
            if kind == "<":
                if (folder in PORTABLE or folder == "sys/posix") and NATIVE_SYSTEM_HEADERS.match(target):
                    problems.append(f"{where}: a portable folder includes a native header")
                continue
            used = folder_of_include(target)
            if used is None:
                continue
            if used != layer and used not in ALLOWED[layer]:
                problems.append(f"{where}: '{layer}' may not use '{used}'")
            elif (folder in PORTABLE or folder == "sys/posix") and reaches_native(target):
                problems.append(f"{where}: a portable folder reaches a native header through it")

    # Hosts: rylcli and the host-side helpers see only the public SDK; the C
    # hosts see neither the SDK nor the library.
    for base, allow_sdk in (("tools", True), ("tests/abi", False)):
        for dirpath, _, names in os.walk(base):
            for name in names:
                if not name.endswith((".h", ".cpp", ".c")):
                    continue
                path = os.path.join(dirpath, name)
                for number, kind, target in includes(path):
                    if kind != '"':
                        continue
                    if folder_of_include(target) is not None or (target.startswith("ryl/") and not allow_sdk):
                        problems.append(f"{path}:{number}: #include \"{target}\": a host reaches "
                                        f"{'the library' if folder_of_include(target) else 'the SDK'}")

    for problem in problems:
        print(problem)
    print(f"layers: {len(sources)} library files checked, {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
