#!/usr/bin/env python3
"""Checks a Windows release archive pair: the files it must hold, the DLLs
stripped with their debug information in the debug archive, and the version
resource of each DLL.

  check_release.py ZIP DEBUG_ZIP VERSION
"""
import re
import struct
import sys
import zipfile

# Skylark.dll and its tracing build in bin/; the stand-ins in their own
# folder, never beside them.
DLLS = ("bin/Skylark.dll", "bin/trace/Skylark.dll", "lib/skylark/standins/ClockLink.dll",
        "lib/skylark/standins/RingReader.dll")


def version_resource(pe):
    """(file version, product version, string table text) of a PE image."""
    off = struct.unpack_from("<I", pe, 0x3C)[0]
    nsec = struct.unpack_from("<H", pe, off + 6)[0]
    opt = struct.unpack_from("<H", pe, off + 20)[0]
    sec = off + 24 + opt
    for i in range(nsec):
        name, _, _, size, raw = struct.unpack_from("<8sIIII", pe, sec + 40 * i)
        if name.rstrip(b"\0") == b".rsrc":
            data = pe[raw:raw + size]
            break
    else:
        return None
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    fms, fls, pms, pls = struct.unpack_from("<4I", data, at + 8)
    ver = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    return ver(fms, fls), ver(pms, pls), data.decode("utf-16-le", "replace")


def main(argv):
    zpath, dpath, version = argv[1], argv[2], argv[3]
    bad = []
    z = zipfile.ZipFile(zpath)
    names = {n.split("/", 1)[1] for n in z.namelist() if "/" in n and not n.endswith("/")}
    want = set(DLLS) | {
        "lib/libSkylark.dll.a", "lib/Skylark.lib",
        "lib/skylark/standins/libClockLink.dll.a", "lib/skylark/standins/ClockLink.lib",
        "lib/skylark/standins/libRingReader.dll.a", "lib/skylark/standins/RingReader.lib",
        "include/skylark/skylark.h", "include/skylark/skylark_types.h",
        "include/skylark/virtual_clock.h", "include/skylark/virtual_reader.h",
        "include/skylark/clocklink.h", "include/skylark/virtual_clock.schema.json",
        "include/skylark/virtual_reader.schema.json",
        "share/doc/Skylark/reference.md", "share/doc/Skylark/README.md",
        "lib/cmake/Skylark/SkylarkConfig.cmake", "lib/cmake/Skylark/SkylarkConfigVersion.cmake",
        "lib/pkgconfig/skylark.pc", "lib/pkgconfig/skylark-standins.pc",
        "lib/cmake/Skylark/SkylarkStandInsTargets.cmake"}
    bad += [f"{zpath}: lacks {n}" for n in sorted(want - names)]
    stray = [n for n in names if n.endswith((".dll", ".dll.a", ".lib")) and "/standins/" not in n
             and n.split("/")[-1].lower().startswith(("clocklink", "libclocklink", "ringreader", "libringreader"))]
    bad += [f"{zpath}: stand-in outside lib/skylark/standins/: {n}" for n in stray]
    debug = zipfile.ZipFile(dpath)
    dnames = {n.split("/", 1)[1] for n in debug.namelist() if "/" in n and not n.endswith("/")}
    full = f"{version}.0"
    for dll in DLLS:
        entry = next((n for n in z.namelist() if n.endswith(f"/{dll}")), None)
        if entry is None:
            continue
        pe = z.read(entry)
        if b".debug_info" in pe:
            bad.append(f"{dll}: not stripped")
        if f"{dll}.debug" not in dnames:
            bad.append(f"{dll}: no debug information in {dpath}")
        res = version_resource(pe)
        if res is None:
            bad.append(f"{dll}: no version resource")
            continue
        fv, pv, text = res
        strings = {k: re.search(k + r"\0+([^\0]*)", text) for k in ("FileVersion", "ProductVersion")}
        if fv != full or pv != full or "FileDescription" not in text \
                or any(m is None or m.group(1) != version for m in strings.values()):
            bad.append(f"{dll}: version resource says {fv}/{pv}, the project is {version}")
        size = len(pe)
        dsize = debug.getinfo(next(n for n in debug.namelist() if n.endswith(f"{dll}.debug"))).file_size \
            if f"{dll}.debug" in dnames else 0
        print(f"{dll}: {size} bytes stripped, debug information {dsize} bytes")
    if bad:
        print("\n".join(bad))
        return 1
    print(f"{zpath}: {len(names)} files as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
