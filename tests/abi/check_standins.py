#!/usr/bin/env python3
"""Checks api/standins.json (the stand-ins' C API the bindings are made from)
against the headers that declare it and, given the built libraries, against
what they export: every CLV_ and RRV_ function a header declares or a
library exports is in the list, with the header's result, argument names and
types, and every listed function is exported by its library.

  check_standins.py SOURCE_DIR [LIBCLOCKLINK LIBRINGREADER]
"""
import json
import os
import re
import subprocess
import sys

# The installed headers that declare the list's functions.
HEADERS = {
    "virtual_clock.h": ["include/skylark/virtual_clock.h"],
    "virtual_reader.h": ["include/skylark/virtual_reader.h"],
    "clocklink.h": ["include/skylark/clocklink.h"],
}
DECL = re.compile(r"(?:CLV_API|RRV_API|CLOCKLINK_FUNC)\s+([\w\s\*]+?)\s*\b(?:CLV_CALL|RRV_CALL|SKAPI_CALL)\s+"
                  r"(\w+)\s*\(([^)]*)\)\s*;")
PREFIXES = ("CLV_", "RRV_")


def header_path(root, name):
    for rel in HEADERS[name]:
        if os.path.exists(os.path.join(root, rel)):
            return os.path.join(root, rel)
    raise SystemExit(f"no {name} in {HEADERS[name]}")


def norm(t):
    return re.sub(r"\s*\*", "*", " ".join(t.split()))


def declarations(text):
    """name -> (result, [(type, name)])."""
    out = {}
    for result, name, args in DECL.findall(re.sub(r"/\*.*?\*/", "", text, flags=re.S)):
        params = []
        for a in args.split(","):
            a = a.strip()
            if not a or a == "void":
                continue
            m = re.fullmatch(r"(.*?)(\w+)", a, re.S)
            params.append((norm(m.group(1)), m.group(2)))
        out[name] = (norm(result), params)
    return out


def exported(path):
    run = subprocess.run(["nm", "-D", "--defined-only", path], capture_output=True, text=True, check=True)
    return {line.split()[-1] for line in run.stdout.splitlines() if line.strip()}


def main(argv):
    root = argv[1]
    data = json.load(open(os.path.join(root, "api", "standins.json")))
    listed = {f["name"]: f for f in data["functions"]}
    bad = []
    if len(listed) != len(data["functions"]):
        bad.append("a function is listed twice")
    for f in data["functions"]:
        if f["rule"] not in data["rules"]:
            bad.append(f"{f['name']}: rule {f['rule']} is not described")
    decl = {}
    for name in HEADERS:
        for fname, d in declarations(open(header_path(root, name)).read()).items():
            decl[fname] = (name, d)
    for n in sorted(n for n in decl if n.startswith(PREFIXES) and n not in listed):
        bad.append(f"{n}: declared in {decl[n][0]}, not in api/standins.json "
                   "(add it there and run bindings/generate.py)")
    for n, f in listed.items():
        if n not in decl:
            bad.append(f"{n}: listed, but {f['header']} does not declare it")
            continue
        header, (result, params) = decl[n]
        if header != f["header"]:
            bad.append(f"{n}: declared in {header}, the list says {f['header']}")
        want = (f["result"], [(a["type"], a["name"]) for a in f["args"]])
        if (result, params) != want:
            bad.append(f"{n}: {header} declares {(result, params)}, the list says {want}")
    if len(argv) > 3:
        for library, path in (("clocklink", argv[2]), ("ringreader", argv[3])):
            symbols = exported(path)
            for n in sorted(s for s in symbols if s.startswith(PREFIXES) and s not in listed):
                bad.append(f"{os.path.basename(path)} exports {n}, which api/standins.json does not list")
            for n, f in listed.items():
                if f["library"] == library and n not in symbols:
                    bad.append(f"{os.path.basename(path)} does not export {n}")
    if bad:
        print("\n".join(bad))
        return 1
    print(f"{len(listed)} stand-in functions: list, headers" + (" and libraries" if len(argv) > 3 else "")
          + " agree")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
