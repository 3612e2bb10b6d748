#!/usr/bin/env python3
"""Checks api/exports.json against what is written by hand beside it: the
header (names, argument names, decorated names, version), the reference
(one entry per export, its argument table with each argument's width and
meaning, its result rule, the stand-ins' error-code table), the decorated
names the README quotes, the result rules of the command index, and a built export file (the Windows .def or the
Linux version script). The list itself must say what every argument means
and how wide every input is.

  check_list.py SOURCE_DIR [EXPORT_FILE]
"""
import json
import os
import re
import sys

FAMILIES = {"codec", "device", "record", "race", "training", "registry", "log", "settings",
            "sclock", "hclock", "ring"}
RESULTS = {"BOOL16", "void", "SK_ULONG", "double"}
DIRS = {"in", "out", "inout"}


def check_list(data, bad):
    names = [e["name"] for e in data["exports"]]
    if len(names) != 79 or len(set(names)) != 79:
        bad.append(f"the list has {len(set(names))} distinct exports, not 79")
    for e in data["exports"]:
        n = e["name"]
        if e["family"] not in FAMILIES:
            bad.append(f"{n}: unknown family {e['family']}")
        if e["result"] not in RESULTS:
            bad.append(f"{n}: unknown result type {e['result']}")
        if e["rule"] not in data["rules"]:
            bad.append(f"{n}: rule {e['rule']} is not described")
        if (e["linkage"] == "C++") != ("decorated" in e):
            bad.append(f"{n}: decorated names go with C++ linkage")
        for a in e["args"]:
            if a["dir"] not in DIRS:
                bad.append(f"{n}.{a['name']}: unknown direction {a['dir']}")
            if a["dir"] != "in" and "size" not in a:
                bad.append(f"{n}.{a['name']}: an output needs its size")
            if not a.get("meaning"):
                bad.append(f"{n}.{a['name']}: the list does not say what it means")
            if a["dir"] == "in" and a["encoding"] in WIDTH_KEYS and n not in UNBOUNDED_TEXT \
                    and not any(k in a for k in WIDTH_KEYS[a["encoding"]]):
                bad.append(f"{n}.{a['name']}: the list gives no width ({' or '.join(WIDTH_KEYS[a['encoding']])})")


# What an input of each encoding must state of its width.
WIDTH_KEYS = {"hex": ("digits",), "number": ("bits",), "handle": ("bits",), "text": ("max", "form")}
# The codecs read hex text of any length.
UNBOUNDED_TEXT = {"HexToBin"}


def width_text(a):
    """The reference's width column for an argument."""
    if "digits" in a:
        return f"{a['digits']} hex digits"
    if "bits" in a:
        return f"{a['bits']} bits"
    if "form" in a:
        return a["form"]
    if "max" in a:
        return f"at most {a['max']} characters" + (f" of {' '.join(a['chars'])}" if "chars" in a else "")
    if a["encoding"] == "oledate" and a["dir"] == "in":
        return "2000 to 2099, local time"
    return ""


def declarations(header):
    """Export name -> (result, [argument names]) as skylark.h declares them."""
    out = {}
    for res, name, args in re.findall(r"SKAPI\s+(\w+)\s+SKAPI_CALL\s+(\w+)\(([^)]*)\);", header):
        out[name] = (res, [re.search(r"(\w+)\s*$", a).group(1) for a in args.split(",") if a.strip()])
    return out


def check_header(data, header, bad):
    decl = declarations(header)
    listed = {e["name"]: e for e in data["exports"]}
    for n in sorted(set(decl) ^ set(listed)):
        bad.append(f"{n}: in {'skylark.h' if n in decl else 'the list'} only")
    for n, e in listed.items():
        if n in decl and decl[n] != (e["result"], [a["name"] for a in e["args"]]):
            bad.append(f"{n}: skylark.h declares {decl[n]}, the list says "
                       f"{(e['result'], [a['name'] for a in e['args']])}")
        for platform, symbol in e.get("decorated", {}).items():
            if symbol not in header:
                bad.append(f"{n}: skylark.h does not name its {platform} symbol {symbol}")
    # The comment above each declaration (or its group's) names every argument
    # but the handle, with what it means.
    for m in re.finditer(r"SKAPI\s+\w+\s+SKAPI_CALL\s+(\w+)\(", header):
        comments = list(re.finditer(r"/\*(.*?)\*/", header[:m.start()], re.S))
        comment = comments[-1].group(1) if comments else ""
        e = listed.get(m.group(1))
        for a in (e["args"] if e else []):
            if a["encoding"] != "handle" and not re.search(rf"\b{a['name']}\b", comment):
                bad.append(f"{m.group(1)}: the header's comment does not say what {a['name']} is")
    version = ".".join(re.search(rf"#define SKYLARK_VERSION_{p} (\d+)", header).group(1)
                       for p in ("MAJOR", "MINOR", "PATCH"))
    if version != data["version"] or f'#define SKYLARK_VERSION "{version}"' not in header:
        bad.append(f"skylark.h gives version {version}, the list {data['version']}")


def check_reference(data, text, bad):
    sections = dict(re.findall(r"^### (\w+)\n(.*?)(?=^##|\Z)", text, re.M | re.S))
    listed = {e["name"]: e for e in data["exports"]}
    for n in sorted(set(listed) - set(sections)):
        bad.append(f"{n}: no entry in docs/reference.md")
    for n in sorted(set(sections) - set(listed)):
        bad.append(f"{n}: docs/reference.md has an entry, the list has no such export")
    for n, e in listed.items():
        body = sections.get(n)
        if body is None:
            continue
        rows = re.findall(r"^\| `(\w+)` \| `([^`]+)` \| (\w+) \| (\w+) \| ([^|]*?) *\| ([^|]*?) *\| ([^|]*?) *\|$",
                          body, re.M)
        want = [(a["name"], a["type"], a["dir"], a["encoding"], str(a.get("size", "")), width_text(a),
                 a.get("meaning", "")) for a in e["args"]]
        if rows != want:
            bad.append(f"{n}: reference arguments {rows} differ from the list {want}")
        if f"**Result:** `{e['rule']}`" not in body:
            bad.append(f"{n}: reference does not give result rule {e['rule']}")
        for label in ("**Sends:**", "**On failure:**"):
            if label not in body:
                bad.append(f"{n}: reference lacks {label}")
        for symbol in e.get("decorated", {}).values():
            if symbol not in body:
                bad.append(f"{n}: reference does not name {symbol}")


def check_error_table(root, text, bad):
    """The reference's table of the stand-ins' error codes is the header's list."""
    header = open(os.path.join(root, "include", "skylark", "virtual_clock.h")).read()
    codes = re.findall(r"\b(CLV_OK|CLV_ERR_\w+)\s*=\s*(\d+)", header)
    table = set(re.findall(r"^\| (\d+) \| `(CLV_\w+)` \| [^|]+ \|$", text, re.M))
    for name, value in codes:
        if (value, name) not in table:
            bad.append(f"docs/reference.md: the error-code table lacks {name} = {value} "
                       "(run bindings/generate.py)")
    for value, name in sorted(table - {(v, n) for n, v in codes}):
        bad.append(f"docs/reference.md: the error-code table has {name} = {value}, which virtual_clock.h does not")


def check_export_file(data, path, bad):
    text = open(path).read()
    plain = {e["name"] for e in data["exports"] if e["linkage"] == "C"}
    if path.endswith(".def"):
        lines = [l.strip() for l in text.splitlines()[2:] if l.strip()]
        names = {l.split(" = ")[0] for l in lines}
        decorated = {s for e in data["exports"] for k, s in e.get("decorated", {}).items() if k != "linux"}
        # One architecture's decorated names: those this .def has.
        want = plain | (names & decorated)
        if len(names & decorated) != sum("decorated" in e for e in data["exports"]):
            bad.append(f"{path}: lacks a decorated export")
    else:
        names = set(re.findall(r"^\s+(\S+);$", text, re.M)) - {"*"}
        want = plain | {e["decorated"]["linux"] for e in data["exports"] if "decorated" in e}
    for n in sorted(names ^ want):
        bad.append(f"{path}: {n} {'not in the list' if n in names else 'missing'}")


RULE_NAMES = {"PassThrough": "pass-through", "Normalised": "normalised", "ExactLength": "exact-length",
              "MinimumLength": "minimum-length", "UncheckedLength": "unchecked-length",
              "DeviceState": "device-state", "Verified": "verified"}


def check_command_index(data, text, bad):
    """Each command of the index has the result rule the list gives the export that sends it."""
    rules = {e["name"]: e["rule"] for e in data["exports"]}
    commands = re.findall(r'X\((\w+),\s*"(\w+)",[^\n]*R::(\w+)[,)]', text)
    if not commands:
        bad.append("frame/commands.h: no commands found")
    for entry, export, rule in commands:
        if export not in rules:
            bad.append(f"commands.h {entry}: no export {export} in the list")
        elif RULE_NAMES.get(rule) != rules[export]:
            bad.append(f"commands.h {entry}: rule {rule}, the list gives {export} {rules[export]}")


def main(argv):
    root = argv[1]
    data = json.load(open(os.path.join(root, "api", "exports.json")))
    bad = []
    check_list(data, bad)
    check_header(data, open(os.path.join(root, "include", "skylark", "skylark.h")).read(), bad)
    check_reference(data, open(os.path.join(root, "docs", "reference.md")).read(), bad)
    check_error_table(root, open(os.path.join(root, "docs", "reference.md")).read(), bad)
    check_command_index(data, open(os.path.join(root, "frame", "commands.h")).read(), bad)
    # Decorated names quoted in the README are the list's.
    known = {s for e in data["exports"] for s in e.get("decorated", {}).values()}
    for symbol in re.findall(r"`(_Z\w+|\?\w+@@\w+)`", open(os.path.join(root, "README.md")).read()):
        if symbol not in known:
            bad.append(f"README.md names {symbol}, which the list does not have")
    if len(argv) > 2:
        check_export_file(data, argv[2], bad)
    if bad:
        print("\n".join(bad))
        return 1
    print(f"{len(data['exports'])} exports: list, header, reference"
          + (" and export file" if len(argv) > 2 else "") + " agree")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
