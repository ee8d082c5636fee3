#!/usr/bin/python3
"""Checks the Windows files of a build folder as Windows would load them, reading each
file's own headers: x86-64; importing nothing but Windows' own libraries (and the
runtime); an icon group (type 14) and a version resource (type 16) in each; in each
program a manifest (type 24) that makes UTF-8 the ANSI code page and declares system
DPI awareness; MP3.DLL exporting exactly its five functions, undecorated.

  pecheck.py DIST
"""
import os
import re
import struct
import sys

SYSTEM = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "SHELL32.DLL", "OLE32.DLL",
          "OLEAUT32.DLL", "COMCTL32.DLL", "COMDLG32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL",
          "SHLWAPI.DLL", "WINMM.DLL", "UXTHEME.DLL", "MSIMG32.DLL"}
EXPORTS = ["DllRegisterServer", "DllUnregisterServer", "mp3gettime", "mp3play", "mp3stop"]


class PE:
    def __init__(self, path):
        self.data = open(path, "rb").read()
        d = self.data
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[:2] != b"MZ" or d[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, nsections = struct.unpack_from("<HH", d, pe + 4)
        optsize = struct.unpack_from("<H", d, pe + 20)[0]
        opt = pe + 24
        self.magic = struct.unpack_from("<H", d, opt)[0]
        dirs = opt + (112 if self.magic == 0x20B else 96)
        self.dirs = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(16)]
        sec = opt + optsize
        self.sections = []
        for i in range(nsections):
            vsize, va, rsize, raw = struct.unpack_from("<IIII", d, sec + 40 * i + 8)
            self.sections.append((va, max(vsize, rsize), raw))

    def off(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError(f"RVA {rva:#x} in no section")

    def cstr(self, rva):
        o = self.off(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii")

    def imports(self):
        rva, size = self.dirs[1]
        out, o = [], self.off(rva) if rva else None
        while o is not None:
            name = struct.unpack_from("<I", self.data, o + 12)[0]
            if name == 0:
                break
            out.append(self.cstr(name).upper())
            o += 20
        return out

    def exports(self):
        rva, _ = self.dirs[0]
        if not rva:
            return []
        o = self.off(rva)
        n, names = struct.unpack_from("<I", self.data, o + 24)[0], struct.unpack_from("<I", self.data, o + 32)[0]
        return sorted(self.cstr(struct.unpack_from("<I", self.data, self.off(names) + 4 * i)[0])
                      for i in range(n))

    def resources(self):
        """{type id: [bytes of each resource of that type]}."""
        rva, _ = self.dirs[2]
        if not rva:
            return {}
        base = self.off(rva)

        def entries(o):
            named, ids = struct.unpack_from("<HH", self.data, o + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, o + 16 + 8 * i)
                yield ident, target

        def leaves(target):
            if target & 0x80000000:
                for _, t in entries(base + (target & 0x7FFFFFFF)):
                    yield from leaves(t)
            else:
                data_rva, size = struct.unpack_from("<II", self.data, base + target)
                o = self.off(data_rva)
                yield self.data[o:o + size]

        out = {}
        for ident, target in entries(base):
            if not ident & 0x80000000:
                out[ident] = list(leaves(target))
        return out


def check(path):
    name = os.path.basename(path)
    pe = PE(path)
    problems = []
    if pe.machine != 0x8664 or pe.magic != 0x20B:
        problems.append(f"not x86-64 (machine {pe.machine:#x}, magic {pe.magic:#x})")
    foreign = [i for i in pe.imports() if i not in SYSTEM | {"MSVBVM50.DLL"}]
    if foreign:
        problems.append("needs " + ", ".join(foreign))
    res = pe.resources()
    if not res.get(14):
        problems.append("no icon group")
    if not any("1.00".encode("utf-16-le") in v for v in res.get(16, [])):
        problems.append("no version resource of 1.00")
    if name.lower().endswith(".exe"):
        manifests = res.get(24, [])
        if not any(re.search(rb"<activeCodePage[^>]*>UTF-8</activeCodePage>", m) for m in manifests):
            problems.append("no manifest with activeCodePage UTF-8")
        # System DPI awareness: the windows scale once, to the main screen.
        if not any(re.search(rb"<dpiAware[^>]*>true</dpiAware>", m) and b"dpiAwareness" not in m
                   for m in manifests):
            problems.append("no manifest of system DPI awareness")
    if name == "MP3.DLL" and pe.exports() != EXPORTS:
        problems.append(f"exports {pe.exports()}")
    if problems:
        print(f"{name}: " + "; ".join(problems))
        return False
    print(f"{name}: {os.path.getsize(path)} bytes, x86-64, imports {', '.join(pe.imports())}; "
          f"resources {sorted(res)}")
    return True


def main():
    dist = sys.argv[1]
    files = ["zampoplay.exe", "zampoinst.exe", "MP3.DLL", "MSVBVM50.DLL"]
    missing = [f for f in files if not os.path.exists(os.path.join(dist, f))]
    if missing:
        print("missing: " + ", ".join(missing))
        return 1
    return 0 if all([check(os.path.join(dist, f)) for f in files]) else 1


if __name__ == "__main__":
    sys.exit(main())
