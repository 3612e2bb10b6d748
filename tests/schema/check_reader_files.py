#!/usr/bin/env python3
"""Checks reader files against include/skylark/virtual_reader.schema.json
(python3-jsonschema) as check_clock_files.py checks clock files: every file
named must pass, and files that break the schema must be refused by it.

  check_reader_files.py SCHEMA FILE...
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_clock_files import check  # noqa: E402

HEAD = {"format": "skylark-virtual-reader", "version": 1}
BROKEN = [
    ("no version", {"format": "skylark-virtual-reader"}),
    ("a clock file", {"format": "skylark-virtual-clock", "version": 1}),
    ("an unknown field", dict(HEAD, colour="blue")),
    ("a tag without a UID", dict(HEAD, tags=[{"config": "060000AA"}])),
    ("a UID of 7 digits", dict(HEAD, tags=[{"uid": "0000001"}])),
    ("a page that is not hex", dict(HEAD, tags=[{"uid": "00000001", "pages": {"4": "0000000G"}}])),
    ("thirteen pages", dict(HEAD, tags=[{"uid": "00000001", "pages": ["00000000"] * 13}])),
    ("page 1 by number", dict(HEAD, tags=[{"uid": "00000001", "pages": {"1": "060800AA"}}])),
    ("page 16 by number", dict(HEAD, tags=[{"uid": "00000001", "pages": {"16": "00000000"}}])),
    ("a field of 6 digits", dict(HEAD, field="000001")),
]

if __name__ == "__main__":
    sys.exit(check(sys.argv, BROKEN, "reader"))
