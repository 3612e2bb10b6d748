#!/usr/bin/env python3
"""Checks that a Windows program or DLL imports from each of the given DLLs
only names that DLL exports, and imports at least one from each.

  check_imports.py OBJDUMP IMPORTER DLL [DLL ...]
"""
import os
import re
import subprocess
import sys


def dump(objdump, path):
    return subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout


def exported(text):
    if "[Ordinal/Name Pointer] Table" not in text:
        return set()
    table = text.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
    return set(re.findall(r"^\s*\[\s*\d+\] (\S+)$", table, re.M))


def imported(text, dll):
    """Names imported from dll (case-insensitive file name)."""
    names = []
    for block in re.split(r"\n\s*DLL Name: ", text)[1:]:
        head, _, rest = block.partition("\n")
        if head.strip().lower() != dll.lower():
            continue
        for line in rest.splitlines()[1:]:
            m = re.match(r"^\s+[0-9a-f]+\s+\d+\s+(\S+)", line)
            if not m:
                break
            names.append(m.group(1))
    return names


def main(argv):
    objdump, importer, dlls = argv[1], argv[2], argv[3:]
    text = dump(objdump, importer)
    bad = []
    for dll in dlls:
        names = imported(text, os.path.basename(dll))
        if not names:
            bad.append(f"imports nothing from {os.path.basename(dll)}")
        missing = sorted(set(names) - exported(dump(objdump, dll)))
        bad += [f"imports {n} which {os.path.basename(dll)} does not export" for n in missing]
        print(f"{os.path.basename(importer)}: {len(names)} names from {os.path.basename(dll)}")
    if bad:
        print(f"{importer}:\n  " + "\n  ".join(bad))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
