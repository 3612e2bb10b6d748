#!/usr/bin/env python3
"""Checks clock files against include/skylark/virtual_clock.schema.json
(python3-jsonschema): every file named must pass, and a set of files that
break the schema must be refused by it, so that a schema that accepts
anything fails too.

  check_clock_files.py SCHEMA FILE...
"""
import json
import sys

import jsonschema

BROKEN = [
    ("no kind", {"format": "skylark-virtual-clock", "version": 2}),
    ("an unknown field", {"format": "skylark-virtual-clock", "version": 2, "kind": "M", "colour": "blue"}),
    ("a long password", {"format": "skylark-virtual-clock", "version": 2, "kind": "M", "password": "123456789"}),
    ("a short ring", {"format": "skylark-virtual-clock", "version": 2, "kind": "M", "registry": ["DE20260001"]}),
    ("races on an S clock", {"format": "skylark-virtual-clock", "version": 2, "kind": "S", "races": []}),
    ("a time without seconds", {"format": "skylark-virtual-clock", "version": 2, "kind": "M", "time": "2026-05-16T06:00"}),
]


def check(argv, broken, what):
    """Every file of argv[2:] passes the schema argv[1], every document of
    broken fails it; the exit status."""
    schema = json.load(open(argv[1]))
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    bad = 0
    for path in argv[2:]:
        errors = sorted(validator.iter_errors(json.load(open(path))), key=lambda e: list(e.path))
        for e in errors:
            print(f"{path}: /{'/'.join(map(str, e.path))}: {e.message}")
        bad += bool(errors)
    for name, doc in broken:
        if validator.is_valid(doc):
            print(f"the schema accepts {name}")
            bad += 1
    print(f"{len(argv) - 2} {what} files against the schema, {len(broken)} broken ones refused"
          + ("" if not bad else f"; {bad} wrong"))
    return 1 if bad else 0


def main(argv):
    return check(argv, BROKEN, "clock")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
