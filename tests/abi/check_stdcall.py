#!/usr/bin/env python3
"""Proves from the i686 disassembly that a DLL's exports are __stdcall: each
export's code returns with `ret N`, N the bytes of its arguments.

  check_stdcall.py OBJDUMP DLL [--expect NAME=N ...] [--imports DEF ...]

With --expect, every export must be listed and N is taken from the list.
Without it, N is read from the compiler's own @N decoration of the export's
code, which must be there; --imports .def files (NAME@N lines) then pin N
for the names they list.
"""
import re
import sys

from pe_objdump import functions, tables


def returns(funcs, addr, seen=()):
    """The `ret` operands of the function at addr; a function that ends in
    a jump to another function (a tail call) returns as that one does."""
    label, insns = funcs[addr]
    rets = []
    for _, insn in insns:
        m = re.match(r"ret[lw]?\s*(\$0x[0-9a-f]+)?", insn)
        if m and insn.startswith("ret"):
            rets.append(int(m.group(1)[1:], 16) if m.group(1) else 0)
    if not rets:
        for _, insn in insns:
            m = re.match(r"jmp\s+([0-9a-f]+) <", insn)
            if m and int(m.group(1), 16) in funcs and addr not in seen:
                return returns(funcs, int(m.group(1), 16), seen + (addr,))
    return rets


def main(argv):
    objdump, dll = argv[1], argv[2]
    expect, imports, mode = {}, {}, None
    for arg in argv[3:]:
        if arg in ("--expect", "--imports"):
            mode = arg
        elif mode == "--expect":
            name, n = arg.rsplit("=", 1)
            expect[name] = int(n)
        elif mode == "--imports":
            for name, n in re.findall(r"^(\w+)@(\d+)\s*$", open(arg).read(), re.M):
                imports[name] = int(n)
    table, _ = tables(objdump, dll)
    funcs = functions(objdump, dll)
    bad = []
    for name, addr in sorted(table.items()):
        if addr not in funcs:
            if name in expect:
                bad.append(f"{name}: no code at {addr:#x}")
            continue  # a data export
        label = funcs[addr][0]
        if expect:
            if name not in expect:
                bad.append(f"{name}: exported but not in the list")
                continue
            n = expect[name]
        else:
            m = re.search(r"@(\d+)$", label)
            if not m:
                bad.append(f"{name}: its code ({label}) is not __stdcall")
                continue
            n = int(m.group(1))
            if name in imports and imports[name] != n:
                bad.append(f"{name}: takes {n} bytes, its importers pass {imports[name]}")
        rets = returns(funcs, addr)
        if not rets or any(r != n for r in rets):
            bad.append(f"{name}: returns with {rets or 'no ret'}, expected ret {n}")
    missing = sorted(set(expect) - set(table))
    bad += [f"{name}: listed but not exported" for name in missing]
    missing = sorted(set(imports) - set(table))
    bad += [f"{name}: imported but not exported" for name in missing]
    if bad:
        print(f"{dll}:\n  " + "\n  ".join(bad))
        return 1
    print(f"{dll}: {len(table)} exports return with ret N as their arguments need")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
