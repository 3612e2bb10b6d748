#!/usr/bin/env python3
"""Every line of the given traces fits docs/trace-format.schema.json, and a
line that does not (an unknown event kind, a header of another format) is
refused by it. Exit 77 (skipped) without python3-jsonschema.

  check_schema.py SCHEMA TRACE...
"""
import json
import sys

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed: skipped")
    sys.exit(77)


def main(argv):
    validator = jsonschema.Draft202012Validator(json.load(open(argv[1])))
    bad = []
    lines = 0
    for path in argv[2:]:
        for no, line in enumerate(open(path, encoding="utf-8"), 1):
            lines += 1
            for err in validator.iter_errors(json.loads(line)):
                bad.append(f"{path}:{no}: {err.message[:160]}")
                break
    for wrong in ({"format": "other", "version": "1.0"},
                  {"n": 1, "t": 0.0, "ev": "clock", "call": 1, "thread": 1},
                  {"n": 1, "t": 0.0, "ev": "clocklink", "call": 1, "thread": 1, "fn": "IFD_Nothing", "handle": 1}):
        if validator.is_valid(wrong):
            bad.append(f"the schema accepts {wrong}")
    print("\n".join(bad) if bad else f"{lines} lines fit the schema")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
