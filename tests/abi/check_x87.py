#!/usr/bin/env python3
"""Proves from the i686 disassembly that a DLL computes no floating-point
result in the x87: x87 arithmetic rounds to the precision and in the rounding
mode the host process set, so a result computed there depends on the host.
The DLLs compute in SSE2 (-mfpmath=sse), whose rounding comes from MXCSR,
and the code that needs round to nearest sets it itself (base/fp_env.h).

  check_x87.py OBJDUMP DLL...

The code checked is every function the DLL's exports reach through direct
calls and jumps, every function of our namespaces (skylark::,
standins::) that nothing calls directly (virtual calls and function
pointers reach those), and the body of every thread we start (std::thread's
_M_run of one of our functions, a virtual call too). In it, an x87 instruction is accepted only when its
result cannot depend on the host's mode:

  fld, flds, fldl, fldz, fld1   loads of a float, a double, 0 or 1
  fst, fsts, fstl, fstp, fstps, fstpl
                                stores of one (the i686 convention passes
                                and returns floats and doubles in st(0))
  fxch, ffree, ffreep           register housekeeping
  fabs, fchs                    sign changes, exact in every mode
  fild, filds, fildl, fildll    integer loads, exact
  fist, fistp, fistpll, fisttp  the compiler's double-to-integer conversion,
                                accepted only within three instructions
                                after an fldcw (it sets truncation itself)
  fadds                         in a function that loads with fildll: the
                                compiler's unsigned 64-bit to double
                                conversion adds 2^64 to a value of 2^63 or
                                more (only such a value, which none of our
                                data holds, would round in the host's mode)
  fnstcw, fldcw, fnstsw, fnclex, fwait
                                the control and status words

Everything else fails: arithmetic (fadd, fmul, fdiv, fsqrt, frndint, ...),
comparisons, long double moves (fldt, fstpt), fcmov, the transcendental
instructions; and so does calling the runtime's math functions (floor, sin,
round, ...; their i686 code is x87 arithmetic), directly or through the
import table, or the system's date conversions (oleaut32's VariantTimeToSystemTime and kin,
whose arithmetic follows the caller's x87 state).

Not checked below, with the reason:
- a function that sets the standard mode itself (StandardFloatingPoint
  inlined: both an fldcw and an ldmxcsr): what it calls runs in round to
  nearest with 53-bit precision, whatever the host set;
- the runtime's formatted input and output (__mingw_pformat,
  __mingw_sformat): their x87 code serves the floating-point conversions
  (%e %f %g %a) only, and our format strings convert integers and text;
- the runtime's strtod as nlohmann-json's reader calls it: for numbers
  with a fraction or an exponent, and the virtual clocks' saved state
  holds integers;
- libstdc++'s bucket sizing of unordered containers
  (std::__detail::_Prime_rehash_policy): it decides how many buckets a set
  has, which no answer depends on (the sets are used for membership).
"""
import bisect
import re
import sys

from pe_objdump import functions, tables

ACCEPTED = {
    "fld", "flds", "fldl", "fldz", "fld1",
    "fst", "fsts", "fstl", "fstp", "fstps", "fstpl",
    "fxch", "ffree", "ffreep",
    "fabs", "fchs",
    "fild", "filds", "fildl", "fildll",
    "fnstcw", "fldcw", "fnstsw", "fnclex", "fwait",
}
CONVERSIONS = {"fist", "fists", "fistl", "fistp", "fistps", "fistpl", "fistpll", "fisttp", "fisttpl",
               "fisttpll"}
NOT_X87 = {"fxsave", "fxrstor", "femms"}

MATH = {
    "acos", "asin", "atan", "atan2", "cbrt", "ceil", "cos", "cosh", "exp", "exp2", "expm1", "floor",
    "fma", "fmod", "hypot", "_hypot", "lrint", "llrint", "lround", "llround", "log", "log10", "log1p",
    "log2", "modf", "nearbyint", "pow", "remainder", "rint", "round", "sin", "sincos", "sinh", "sqrt",
    "tan", "tanh", "trunc", "strtod", "atof",
}
SYSTEM_DATES = re.compile(r"^(VariantTimeToSystemTime|SystemTimeToVariantTime|VariantTimeToDosDateTime|"
                          r"DosDateTimeToVariantTime|VarDateFrom\w+|VarUdateFromDate|Var\w+FromDate)$")
NOT_BELOW = re.compile(r"^_*(_mingw_pformat|_mingw_sformat|_mingw_strtod)$|_Prime_rehash_policy")
OURS = re.compile(r"^_*ZN\d*(?:7skylark|8standins)")
# A thread's body: std::thread's virtual _M_run of one of our functions.
THREAD_BODY = re.compile(r"^_*ZNSt6thread11_State_impl.*(?:7skylark|8standins).*_M_runEv$")


def plain(label):
    """A C function's name without the i686 underscore and @N."""
    return re.sub(r"@\d+$", "", label).lstrip("_")


def check(objdump, dll):
    exports, imports = tables(objdump, dll)
    funcs = functions(objdump, dll)
    starts = sorted(funcs)

    def owner(addr):
        i = bisect.bisect_right(starts, addr) - 1
        return starts[i] if i >= 0 else None

    calls = {}  # function -> functions it calls or jumps to directly
    for addr, (_, insns) in funcs.items():
        targets = set()
        for _, insn in insns:
            m = re.match(r"(?:call|jmp|j[a-z]+)\s+([0-9a-f]+) <", insn)
            if m:
                t = owner(int(m.group(1), 16))
                if t is not None and t != addr:
                    targets.add(t)
        calls[addr] = targets
    called = set().union(*calls.values())
    roots = set(exports.values()) & set(funcs)
    roots |= {a for a, (label, _) in funcs.items() if OURS.match(label) and a not in called}
    roots |= {a for a, (label, _) in funcs.items() if THREAD_BODY.match(label)}

    found = []
    bad_imports = {n for n in imports.values() if plain(n) in MATH or SYSTEM_DATES.match(n)}

    # Breadth first, so that the path shown to a finding is a short one.
    parent = {a: None for a in roots}
    todo = sorted(roots)
    while todo:
        addr = todo.pop(0)
        label, insns = funcs[addr]
        if plain(label) in MATH:
            found.append(f"{label}: the runtime's math function, called from " + path(funcs, parent, addr))
            continue
        if NOT_BELOW.search(label):
            continue
        bad, mnemonics = [], []
        for at, insn in insns:
            mnemonic = insn.split()[0] if insn else ""
            mnemonics.append(mnemonic)
            m = re.match(r"call\s+\*0x([0-9a-f]+)$", insn)
            if m and int(m.group(1), 16) in imports and imports[int(m.group(1), 16)] in bad_imports:
                bad.append(f"call {imports[int(m.group(1), 16)]} at {at:#x}")
            if not mnemonic.startswith("f") or mnemonic in NOT_X87 or mnemonic in ACCEPTED:
                continue
            if mnemonic in CONVERSIONS and "fldcw" in mnemonics[-4:-1]:
                continue
            if mnemonic == "fadds" and any(i.startswith("fildll") for _, i in insns):
                continue
            bad.append(f"{insn} at {at:#x}")
        if bad:
            more = f" and {len(bad) - 3} more" if len(bad) > 3 else ""
            found.append(f"{label}: {', '.join(bad[:3])}{more}, reached from " + path(funcs, parent, addr))
        if "fldcw" in mnemonics and "ldmxcsr" in mnemonics:
            continue  # what it calls runs in the standard mode
        for t in sorted(calls[addr]):
            if t not in parent:
                parent[t] = addr
                todo.append(t)
    if found:
        print(f"{dll}: floating-point results that depend on the host's x87 state:\n  " + "\n  ".join(found))
        return False
    print(f"{dll}: no x87 arithmetic in the {len(parent)} functions the exports reach")
    return True


def path(funcs, parent, addr):
    names = []
    at = parent[addr]
    while at is not None:
        names.append(funcs[at][0])
        at = parent[at]
    return " <- ".join(names) if names else "(a root)"


def main(argv):
    objdump = argv[1]
    ok = True
    for dll in argv[2:]:
        ok = check(objdump, dll) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
