"""What the i686 checks read of a DLL through objdump: its export and
import tables and its disassembly, function by function."""
import re
import subprocess


def run(*cmd):
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


def tables(objdump, dll):
    """Export name -> address; import table slot address -> imported name."""
    text = run(objdump, "-p", dll)
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", text, re.M).group(1), 16)
    exports = {}
    if "[Ordinal/Name Pointer] Table" in text:
        rvas = {int(i): int(rva, 16) for i, rva in
                re.findall(r"^\s*\[\s*(\d+)\] \+base\[\s*\d+\] ([0-9a-fA-F]+) Export RVA", text, re.M)}
        table = text.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
        exports = {name: base + rvas[int(i)] for i, name in re.findall(r"^\s*\[\s*(\d+)\] (\S+)$", table, re.M)}
    imports = {}
    for first, body in re.findall(r"^ [0-9a-f]{8}\t[0-9a-f]{8} [0-9a-f]{8} [0-9a-f]{8} [0-9a-f]{8} ([0-9a-f]{8})\n"
                                  r"\n\tDLL Name: \S+\n\tvma:.*\n((?:\t[0-9a-f]+\t +\d+ +\S+.*\n)*)", text, re.M):
        for i, name in enumerate(re.findall(r"^\t[0-9a-f]+\t +\d+ +(\S+)", body, re.M)):
            imports[base + int(first, 16) + 4 * i] = name
    return exports, imports


def functions(objdump, dll):
    """Address -> (label, [(address, instruction text)])."""
    out = {}
    current = None
    for line in run(objdump, "-d", "--no-show-raw-insn", dll).splitlines():
        m = re.match(r"^([0-9a-f]+) <(.+)>:$", line)
        if m:
            current = int(m.group(1), 16)
            out[current] = (m.group(2), [])
            continue
        m = re.match(r"^\s*([0-9a-f]+):\s+(.*)$", line)
        if m and current is not None:
            out[current][1].append((int(m.group(1), 16), m.group(2).strip()))
    return out
