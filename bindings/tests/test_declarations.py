"""Every binding follows api/exports.json: the same 79 exports, each with
its symbol (the decorated one where there is one), argument count and types,
result type and output buffer sizes. A change to the export list that a
binding does not follow fails here; so does a hand edit that breaks one."""
import ctypes
import re
import subprocess
import sys
from pathlib import Path

import pytest

BINDINGS = Path(__file__).resolve().parent.parent


def out_buffers(e):
    """(argument, size) of the output buffers with a fixed size."""
    return [(a["name"], a["size"]) for a in e["args"]
            if a["dir"] == "out" and a["type"] in ("char*", "unsigned char*")
            and isinstance(a.get("size"), int)]


def test_generated_files_are_up_to_date():
    run = subprocess.run([sys.executable, str(BINDINGS / "generate.py"), "--check"],
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stdout


# ---- Python ---------------------------------------------------------------

PY = {
    "SK_ULONG": ctypes.c_uint32, "SK_ULONG*": ctypes.POINTER(ctypes.c_uint32),
    "double": ctypes.c_double, "double*": ctypes.POINTER(ctypes.c_double),
    "const char*": ctypes.c_char_p, "char*": ctypes.POINTER(ctypes.c_char),
    "const unsigned char*": ctypes.c_char_p, "unsigned char*": ctypes.POINTER(ctypes.c_ubyte),
    "BOOL16": ctypes.c_int16, "void": None,
}


def test_python(exports):
    sys.path.insert(0, str(BINDINGS / "python"))
    from skylark import _api, _tables
    assert list(_api.SIGNATURES) == [e["name"] for e in exports]
    source = (BINDINGS / "python" / "skylark" / "_api.py").read_text()
    for e in exports:
        restype, argtypes = _api.SIGNATURES[e["name"]]
        assert restype == PY[e["result"]], e["name"]
        assert list(argtypes) == [PY[a["type"]] for a in e["args"]], e["name"]
        assert _api.RULES[e["name"]] == e["rule"]
        assert _api.SYMBOLS.get(e["name"]) == e.get("decorated")
        body = re.search(rf'def [^\n]*\n(?:(?!    def ).*\n)*?.*self\.(?:_call\("|_lib\.){e["name"]}\b', source)
        assert body, e["name"]
        for name, size in out_buffers(e):
            if e["args"][[a["name"] for a in e["args"]].index(name)]["type"] == "char*":
                assert f"create_string_buffer({size})" in body.group(0), (e["name"], name)


# ---- C# -------------------------------------------------------------------

CS = {"SK_ULONG": "uint", "SK_ULONG*": "out uint", "double": "double", "double*": "out double",
      "char*": "StringBuilder", "const unsigned char*": "byte[]",
      "BOOL16": "short", "void": "void"}


def cs_type(a):
    if a["type"] == "const char*":
        return "byte[]" if a["encoding"] == "bytes" else "string"
    if a["type"] == "unsigned char*":
        return "out byte" if a["encoding"] == "number" else "[Out] byte[]"
    return CS[a["type"]]


def test_csharp(exports):
    text = (BINDINGS / "csharp" / "SkylarkNative.cs").read_text()
    imports = {}
    for m in re.finditer(r'\[DllImport\(Library, EntryPoint = "([^"]+)", ([^\]]*)\)\]\s*'
                         r'public static extern (\w+) (\w+)\(([^)]*)\);', text):
        entry, attrs, result, name, args = m.groups()
        assert "CallingConvention.StdCall" in attrs and "CharSet.Ansi" in attrs, name
        imports.setdefault(name, []).append((entry, result, [s.strip() for s in args.split(",") if s.strip()]))
    assert sorted(imports) == sorted(e["name"] for e in exports)
    for e in exports:
        entries = {i[0] for i in imports[e["name"]]}
        assert entries == (set(e["decorated"].values()) if "decorated" in e else {e["name"]}), e["name"]
        for _, result, args in imports[e["name"]]:
            assert result == CS[e["result"]], e["name"]
            assert [a.rsplit(" ", 1)[0] for a in args] == [cs_type(a) for a in e["args"]], e["name"]
        for name, size in out_buffers(e):
            assert f"public const int {e['name']}_{name} = {size};" in text
    assert 'public const string Library = "skylark";' in text


# ---- Pascal ---------------------------------------------------------------

PAS = {"SK_ULONG": "SK_ULONG", "SK_ULONG*": "PSK_ULONG", "double": "Double", "double*": "PDouble",
       "const char*": "PAnsiChar", "char*": "PAnsiChar", "const unsigned char*": "PByte",
       "unsigned char*": "PByte", "BOOL16": "BOOL16", "void": None}


def test_pascal(exports):
    text = (BINDINGS / "pascal" / "skylark.pas").read_text()
    found = {}
    for m in re.finditer(r"(function|procedure) (\w+)\(([^)]*)\)(?:: (\w+))?; stdcall; "
                         r"external SkylarkLib name\s*(.*?);\n", text, re.S):
        kind, name, params, result, symbol = m.groups()
        found[name] = (kind, [p.split(": ")[1] for p in params.split("; ") if p], result, symbol)
    assert list(found) == [e["name"] for e in exports]
    for e in exports:
        kind, params, result, symbol = found[e["name"]]
        assert (kind == "procedure") == (e["result"] == "void"), e["name"]
        assert result == PAS[e["result"]], e["name"]
        assert params == [PAS[a["type"]] for a in e["args"]], e["name"]
        if "decorated" in e:
            d = e["decorated"]
            assert symbol == (f"{{$IFDEF WINDOWS}}{{$IFDEF CPU64}}'{d['win64']}'{{$ELSE}}'{d['win32']}'"
                              f"{{$ENDIF}}{{$ELSE}}'{d['linux']}'{{$ENDIF}}"), e["name"]
        else:
            assert symbol == f"'{e['name']}'", e["name"]
        for name, size in out_buffers(e):
            assert f"{e['name']}_{name}_Size = {size};" in text


# ---- VBA ------------------------------------------------------------------

VBA_RESULT = {"BOOL16": "Integer", "SK_ULONG": "Long", "double": "Double", "void": None}


def vba_param(a):
    t, enc = a["type"], a["encoding"]
    if t == "SK_ULONG":
        return "ByVal Long"
    if t == "SK_ULONG*":
        return "ByRef Long"
    if t == "double":
        return "ByVal Double"
    if t == "double*":
        return "ByRef Double"
    if t in ("const char*", "char*") and enc != "bytes":
        return "ByVal String"
    return "ByRef Byte"


def vba_declarations(text, vba7, win64):
    """The Declare lines a host compiles under the given constants."""
    active, stack, out = True, [], []
    for line in text.splitlines():
        line = line.strip()
        m = re.fullmatch(r"#If (\w+) Then", line)
        if m:
            cond = {"VBA7": vba7, "Win64": win64}[m.group(1)]
            stack.append((active, cond))
            active = active and cond
        elif line == "#Else":
            outer, cond = stack[-1]
            active = outer and not cond
        elif line == "#End If":
            active, _ = stack.pop()
        elif active and line.startswith("Public Declare"):
            out.append(line)
    assert not stack
    return out


DECLARE = re.compile(r'Public Declare (PtrSafe )?(Function|Sub) (\w+) Lib "Skylark\.dll" '
                     r'Alias "([^"]+)" \((.*)\)(?: As (\w+))?')


@pytest.mark.parametrize("vba7,win64,platform", [(True, True, "win64"), (True, False, "win32"),
                                                 (False, False, "win32")],
                         ids=["VBA7 64-bit", "VBA7 32-bit", "VB6"])
def test_vba(exports, vba7, win64, platform):
    text = (BINDINGS / "vba" / "Skylark.bas").read_text()
    declared = {}
    for line in vba_declarations(text, vba7, win64):
        m = DECLARE.fullmatch(line)
        assert m, line
        ptrsafe, kind, name, alias, params, result = m.groups()
        assert bool(ptrsafe) == vba7, line
        assert name not in declared, f"{name} declared twice"
        types = [re.sub(r" \w+ As ", " ", p.strip()) for p in params.split(",") if p.strip()]
        declared[name] = (kind, alias, types, result)
    assert sorted(declared) == sorted(e["name"] for e in exports)
    for e in exports:
        kind, alias, types, result = declared[e["name"]]
        assert alias == e.get("decorated", {}).get(platform, e["name"]), e["name"]
        assert (kind == "Sub") == (e["result"] == "void") and result == VBA_RESULT[e["result"]], e["name"]
        assert types == [vba_param(a) for a in e["args"]], e["name"]
    for e in exports:
        for name, size in out_buffers(e):
            assert f"Public Const {e['name']}_{name}_Size As Long = {size}" in text


# ---- The stand-ins' C API (api/standins.json) -------------------------------

@pytest.fixture(scope="module")
def standins():
    import json
    return json.loads((BINDINGS.parent / "api" / "standins.json").read_text())["functions"]


STANDIN_PY = dict(PY, **{"CLV_ULONG": ctypes.c_uint32, "RRV_HANDLE": ctypes.c_uint32, "RRV_ULONG": ctypes.c_uint32,
                         "CLV_ULONG*": ctypes.POINTER(ctypes.c_uint32), "int": ctypes.c_int,
                         "int*": ctypes.POINTER(ctypes.c_int), "const char*": ctypes.c_char_p})


def test_python_standins(standins):
    sys.path.insert(0, str(BINDINGS / "python"))
    from skylark import _tables
    assert list(_tables.STANDIN_SIGNATURES) == [f["name"] for f in standins]
    for f in standins:
        library, restype, argtypes = _tables.STANDIN_SIGNATURES[f["name"]]
        assert library == f["library"], f["name"]
        assert restype == STANDIN_PY[f["result"]], f["name"]
        assert list(argtypes) == [ctypes.POINTER(getattr(_tables, a["type"][:-1])) if a["encoding"] == "struct"
                                  else STANDIN_PY[a["type"]] for a in f["args"]], f["name"]


CS_STANDIN = {"SK_ULONG": "uint", "CLV_ULONG": "uint", "RRV_HANDLE": "uint", "RRV_ULONG": "uint",
              "CLV_ULONG*": "out uint", "int": "int", "int*": "out int", "double": "double", "double*": "out double",
              "const char*": "string", "char*": "StringBuilder", "const unsigned char*": "byte[]", "void": "void"}


def test_csharp_standins(standins):
    text = (BINDINGS / "csharp" / "Standins.cs").read_text()
    found = {}
    for m in re.finditer(r'\[DllImport\(Library, EntryPoint = "([^"]+)", ([^\]]*)\)\]\s*'
                         r'public static extern (\w+(?:\[\])?) (\w+)\(([^)]*)\);', text):
        entry, attrs, result, name, args = m.groups()
        assert entry == name and "CallingConvention.StdCall" in attrs, name
        found[name] = (result, [a.strip().rsplit(" ", 1)[0] for a in args.split(",") if a.strip()])
    assert list(found) == [f["name"] for lib in ("clocklink", "ringreader") for f in standins if f["library"] == lib]
    for f in standins:
        result, args = found[f["name"]]
        assert result == ("IntPtr" if f["result"] == "const char*" else CS_STANDIN[f["result"]]), f["name"]
        want = [("out byte" if a["encoding"] == "number" else "[Out] byte[]") if a["type"] == "unsigned char*"
                else "out " + a["type"][:-1] if a["encoding"] == "struct" else CS_STANDIN[a["type"]]
                for a in f["args"]]
        assert args == want, f["name"]


PAS_STANDIN = {"SK_ULONG": "SK_ULONG", "CLV_ULONG": "SK_ULONG", "RRV_HANDLE": "SK_ULONG", "RRV_ULONG": "SK_ULONG",
               "CLV_ULONG*": "PSK_ULONG", "int": "LongInt", "int*": "PLongInt", "double": "Double",
               "double*": "PDouble", "const char*": "PAnsiChar", "char*": "PAnsiChar",
               "const unsigned char*": "PByte", "unsigned char*": "PByte", "void": None}


def test_pascal_standins(standins):
    found = {}
    for unit in ("clocklink.pas", "ringreader.pas"):
        text = (BINDINGS / "pascal" / unit).read_text()
        for m in re.finditer(r"(function|procedure) (\w+)\(([^)]*)\)(?:: (\w+))?; stdcall; "
                             r"external (\w+) name '(\w+)';", text):
            kind, name, params, result, lib, symbol = m.groups()
            assert symbol == name and lib == ("ClockLinkLib" if unit == "clocklink.pas" else "RingReaderLib"), name
            found[name] = (kind, [p.split(": ")[1] for p in params.split("; ") if p], result)
    assert list(found) == [f["name"] for lib in ("clocklink", "ringreader") for f in standins if f["library"] == lib]
    for f in standins:
        kind, params, result = found[f["name"]]
        assert (kind == "procedure") == (f["result"] == "void") and result == PAS_STANDIN[f["result"]], f["name"]
        assert params == ["P" + a["type"][:-1] if a["encoding"] == "struct" else PAS_STANDIN[a["type"]]
                          for a in f["args"]], f["name"]


@pytest.mark.parametrize("vba7,win64", [(True, True), (True, False), (False, False)],
                         ids=["VBA7 64-bit", "VBA7 32-bit", "VB6"])
def test_vba_standins(standins, vba7, win64):
    text = (BINDINGS / "vba" / "Standins.bas").read_text()
    declared = {}
    for line in vba_declarations(text, vba7, win64):
        m = re.fullmatch(r'Public Declare (PtrSafe )?(Function|Sub) (\w+) Lib "(\w+\.dll)" Alias "(\w+)" '
                         r'\((.*)\)(?: As (\w+))?', line)
        assert m, line
        ptrsafe, kind, name, dll, alias, params, result = m.groups()
        assert bool(ptrsafe) == vba7 and alias == name and name not in declared, line
        declared[name] = (kind, dll, [re.sub(r" \w+ As ", " ", p.strip()) for p in params.split(",") if p.strip()],
                          result)
    assert sorted(declared) == sorted(f["name"] for f in standins)
    for f in standins:
        kind, dll, params, result = declared[f["name"]]
        assert dll == ("ClockLink.dll" if f["library"] == "clocklink" else "RingReader.dll"), f["name"]
        assert (kind == "Sub") == (f["result"] == "void"), f["name"]
        if f["result"] == "const char*":
            assert result == ("LongPtr" if vba7 else "Long"), f["name"]
        elif f["result"] != "void":
            assert result == "Long", f["name"]
        assert len(params) == len(f["args"]), f["name"]
        for p, a in zip(params, f["args"]):
            by = "ByRef" if a["type"].endswith("*") and a["type"] not in ("const char*", "char*") else "ByVal"
            assert p.split()[0] == by, (f["name"], a["name"])


def test_every_device_function_has_a_checked_method(standins):
    """The Python and C# virtual devices reach every stand-in function: a generated
    method for each one on an open device, the hand-written classes the rest."""
    sys.path.insert(0, str(BINDINGS / "python"))
    from skylark import virtual
    cs = (BINDINGS / "csharp" / "Devices.cs").read_text() + (BINDINGS / "csharp" / "VirtualClock.cs").read_text()
    hand = (BINDINGS / "python" / "skylark" / "virtual.py").read_text()
    for f in standins:
        if f["name"] == "IFD_GetErrCode":
            continue
        if not f["args"] or f["args"][0]["encoding"] != "handle" or f["name"] in ("CLV_Close", "RRV_Close"):
            assert f'{f["name"]}' in hand, f"{f['name']}: used nowhere in skylark/virtual.py"
            continue
        cls = virtual.VirtualClock if f["library"] == "clocklink" else virtual.VirtualReader
        method = re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "_", f["name"].split("_", 1)[1]).lower()
        assert callable(getattr(cls, method, None)), (f["name"], method)
        assert f"{f['name']}(" in cs, f["name"]
