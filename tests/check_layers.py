#!/usr/bin/env python3
"""Checks that every #include in the tree runs with the layering, never
against it:

    include/skylark/  the installed headers: each includes only its siblings
    base/             value types, the calendar, the floating-point mode (the leaf)
    os/               the operating system's services
    frame/            command index, frame, field helpers, codecs
    security/         DES, proofs, verified reads
    clock/ ring/ record/   the commands of each device (not one another)
    api/ trace/       the exports, and the tracing build's writer

A library folder includes its own files, the folders listed above it here
and include/skylark/. The stand-ins and tools sit on top: they see the
library through include/skylark/ and, for the stand-ins, only the few
headers they share with the library because a device has them too (listed
in DEVICE_SIDE). The library never includes the stand-ins, tools or tests.
Tests, benchmarks and fuzz targets (also a tool's own *_test.cpp and
*_bench.cpp) may include anything but another folder's tools, and the
end-to-end suites only what a host has and the stand-ins' test hooks.

  check_layers.py SOURCE_DIR      exit 1 and one line per include against the order
"""
import os
import re
import sys

LIBRARY = [["base"], ["os"], ["frame"], ["security"], ["clock", "ring", "record"], ["api", "trace"]]
# The folders above the library; a source anywhere else is in no layer.
ABOVE = {"standins", "tools", "tests", "bench", "fuzz", "dist", "include"}
PUBLIC = "include/skylark"

# The library headers the stand-ins may include besides include/skylark/:
# what a device shares with the library, not the library's own encoders.
DEVICE_SIDE = {
    "frame/clocklink.h": "ClockLink's calls, which our ClockLink implements",
    "ring/ringreader.h": "RingReader's calls, which our RingReader implements",
    "security/des.h": "the DES cipher and the key object ClockLink exports",
    "security/constants.h": "the factory secrets the clocks' firmware holds",
    "os/os.h": "the operating system's services (time, random bytes)",
}

# The library headers the tools may include besides include/skylark/.
TOOL_SIDE = {
    "frame/commands.h": "skylark-trace names each exchange of a trace from the command index",
    "record/record.h": "skylark-records says which of a stored record's two checks failed, "
                       "which SK_ParseRecordInfo does not",
    "frame/codec.h": "skylark-records judges an arrival time a date-time as the library does",
}

SOURCES = (".h", ".hpp", ".c", ".cc", ".cpp", ".inc")
SKIP = {".git", "build", "release"}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]', re.M)


def layer_of(rel):
    top = rel.split("/", 1)[0]
    for rank, folders in enumerate(LIBRARY):
        if top in folders:
            return rank
    return None


def resolve(root, src, name):
    """The tree path an include names, or None (a system or generated file)."""
    for base in (os.path.dirname(src), "", "include", PUBLIC):
        path = os.path.normpath(os.path.join(base, name))
        if not path.startswith("..") and os.path.isfile(os.path.join(root, path)):
            return path.replace(os.sep, "/")
    return None


def is_test(rel):
    """A test, benchmark or fuzz target, wherever it lives."""
    name = rel.rsplit("/", 1)[-1]
    return rel.split("/", 1)[0] in ("tests", "bench", "fuzz") or re.search(r"_(test|bench)\.c(pp)?$", name)


def allowed(src, dst):
    """None when src may include dst, else the reason it may not."""
    s_top, d_top = src.split("/", 1)[0], dst.split("/", 1)[0]
    if src.startswith(PUBLIC + "/"):
        return None if dst.startswith(PUBLIC + "/") else "an installed header includes a file not installed"
    if dst.startswith(PUBLIC + "/"):
        return None
    s_rank, d_rank = layer_of(src), layer_of(dst)
    if s_rank is not None:
        if d_rank is None:
            return f"the library includes {d_top}/"
        if s_top == d_top or d_rank < s_rank:
            return None
        return f"{s_top}/ is beneath {d_top}/" if d_rank > s_rank else f"{s_top}/ and {d_top}/ are peers"
    if s_top in ("standins", "tools") and not is_test(src):
        if d_top == s_top or (s_top == "tools" and d_top == "standins"):
            return None
        if s_top == "standins" and dst in DEVICE_SIDE:
            return None
        if s_top == "standins" and d_rank == 0:
            return None
        if s_top == "tools" and dst in TOOL_SIDE:
            return None
        return f"{s_top}/ sees the library only through {PUBLIC}/"
    if src.startswith("tests/e2e/"):
        if dst.startswith("tests/") or d_top == "standins":
            return None
        return "the end-to-end suites use only what a host has"
    if d_top == "tools" and s_top != "tools":
        return "only the tools include the tools"
    return None


def main(argv):
    root = os.path.abspath(argv[1] if len(argv) > 1 else ".")
    bad = []
    for dirpath, dirnames, filenames in os.walk(root):
        dirnames[:] = sorted(d for d in dirnames if d not in SKIP and not d.startswith("build"))
        for f in sorted(filenames):
            if not f.endswith(SOURCES):
                continue
            src = os.path.relpath(os.path.join(dirpath, f), root).replace(os.sep, "/")
            if "/" in src and layer_of(src) is None and src.split("/", 1)[0] not in ABOVE:
                bad.append(f"{src}: its folder is in no layer (add it to LIBRARY or ABOVE)")
            text = open(os.path.join(root, src), encoding="utf-8", errors="replace").read()
            for line, name in ((text.count("\n", 0, m.start()) + 1, m.group(1)) for m in INCLUDE.finditer(text)):
                dst = resolve(root, src, name)
                if dst is None or dst == src:
                    continue
                why = allowed(src, dst)
                if why:
                    bad.append(f"{src}:{line}: includes {dst}: {why}")
    for b in bad:
        print(b)
    if not bad:
        print("every include runs with the layering")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
