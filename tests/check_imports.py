#!/usr/bin/env python3
"""Reads the import tables of the setup folder's programs and DLLs.

Every file may import only DLLs that Windows ships. A program that may start from a user's
folder (a package's stub, setup, the uninstaller, the viewer and the launcher that travel in every
package) may import at load time only from DLLs that Windows maps for every process from its
own folder (KnownDLLs), and only functions that stay there: the loader resolves load-time
imports before the program's first line runs, looking beside the program first, so one import
from elsewhere lets a DLL planted in a Downloads folder run. Everything else such a program loads
later, from the system folder by full path.
"""
import os
import re
import struct
import sys

WINDOWS_OWN = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "shlwapi.dll", "cabinet.dll", "msvcrt.dll",
    "version.dll", "windowscodecs.dll", "uxtheme.dll", "msimg32.dll", "imm32.dll", "winmm.dll",
    "ntdll.dll", "rpcrt4.dll", "crypt32.dll", "bcrypt.dll", "userenv.dll", "dwmapi.dll",
}

# The programs that may start from a user's folder.
FROM_USER_FOLDERS = [f"wextract{n}.exe" for n in range(1, 7)] + [
    "setup.exe", "kestrane_uninstall.exe", "PPTVIEW.EXE", "pellum.exe"]

# KnownDLLs whose every export stays within KnownDLLs (their own imports are mapped with them).
KNOWN_WHOLE = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll",
               "oleaut32.dll", "comdlg32.dll", "msvcrt.dll"}

# advapi32 is a KnownDLL, but some of its exports are forwarded to DLLs that are not (the
# random-number and cryptography functions to cryptbase and cryptsp): only the registry and
# the security functions may be imported from it.
ADVAPI32_ALLOWED = re.compile(
    r"^(Reg[A-Z]\w*"
    r"|\w*Sid\w*|\w*Acl\w*|\w*Ace(Ex)?|\w*SecurityDescriptor\w*|\w*SecurityInfo\w*"
    r"|\w*Token\w*|LookupAccount\w+|LookupPrivilege\w+|ImpersonateLoggedOnUser|RevertToSelf"
    r"|AccessCheck\w*|SetEntriesInAcl\w|BuildExplicitAccess\w+|GetUserName\w"
    r"|CreateProcessAsUser\w|CreateProcessWithTokenW)$")

# comctl32 is no KnownDLL: it is safe only when the program's manifest has the loader take
# version 6 from the side-by-side store.
COMMON_CONTROLS = b"Microsoft.Windows.Common-Controls"


class PE:
    def __init__(self, data):
        if data[:2] != b"MZ":
            raise ValueError("not a program")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        sections, optional_size = struct.unpack_from("<2xH12xH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        dirs = opt + (96 if magic == 0x10B else 112)
        count = struct.unpack_from("<I", data, dirs - 4)[0]
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(count)]
        self.wide = magic != 0x10B
        self.sections = []
        for i in range(sections):
            s = opt + optional_size + 40 * i
            vsize, va, rsize, raw = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((va, max(vsize, rsize), raw))
        self.data = data

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError(f"address {rva:#x} outside every section")

    def string(self, rva):
        o = self.offset(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii", "replace")

    def names(self, table_rva):
        """Function names (or #ordinals) of one import name table."""
        out = []
        size, ordinal_bit = (8, 1 << 63) if self.wide else (4, 1 << 31)
        o = self.offset(table_rva)
        while True:
            (entry,) = struct.unpack_from("<Q" if self.wide else "<I", self.data, o)
            if entry == 0:
                return out
            out.append(f"#{entry & 0xFFFF}" if entry & ordinal_bit else self.string(entry + 2))
            o += size

    def imports(self):
        """{dll: [functions]} of the load-time import table and of the delay-load table."""
        found = {}
        if len(self.dirs) > 1 and self.dirs[1][0]:
            o = self.offset(self.dirs[1][0])
            while True:
                lookup, _, _, name, thunk = struct.unpack_from("<IIIII", self.data, o)
                if name == 0:
                    break
                found.setdefault(self.string(name).lower(), []).extend(
                    self.names(lookup or thunk))
                o += 20
        if len(self.dirs) > 13 and self.dirs[13][0]:
            o = self.offset(self.dirs[13][0])
            while True:
                fields = struct.unpack_from("<8I", self.data, o)
                if fields[1] == 0:
                    break
                found.setdefault(self.string(fields[1]).lower(), []).extend(
                    self.names(fields[4]))
                o += 32
        return found

    def resources(self):
        if len(self.dirs) > 2 and self.dirs[2][0]:
            o = self.offset(self.dirs[2][0])
            return self.data[o:o + self.dirs[2][1]]
        return b""


def unsafe_imports(pe):
    """What a program started from a user's folder must not import, as readable lines."""
    bad = []
    for dll, functions in sorted(pe.imports().items()):
        if dll in KNOWN_WHOLE:
            continue
        if dll == "advapi32.dll":
            bad += [f"{dll}!{f}" for f in functions if not ADVAPI32_ALLOWED.match(f)]
        elif dll == "comctl32.dll":
            if COMMON_CONTROLS not in pe.resources():
                bad.append(f"{dll} without the manifest that takes it from the system")
        else:
            bad.append(f"{dll} ({', '.join(functions)})")
    if "SetDllDirectoryA" not in pe.imports().get("kernel32.dll", []):
        bad.append("no restriction of its DLL search (SetDllDirectoryA)")
    return bad


def main(folder):
    if not os.path.isdir(folder):
        print(f"{folder} is missing: run scripts/build")
        return 1
    files = [f for f in sorted(os.listdir(folder)) if f.lower().endswith((".exe", ".dll", ".ocx"))]
    bad = 0
    for f in files:
        with open(os.path.join(folder, f), "rb") as stream:
            try:
                pe = PE(stream.read())
                imports = pe.imports()
            except (ValueError, struct.error):
                continue  # not a PE file at all: a data placeholder
        foreign = [d for d in imports if d not in WINDOWS_OWN]
        if foreign:
            print(f"{f} imports {', '.join(foreign)}")
            bad += 1
        if f in FROM_USER_FOLDERS:
            for line in unsafe_imports(pe):
                print(f"{f} may start from a user's folder and imports {line}")
                bad += 1
    missing = [f for f in FROM_USER_FOLDERS if f not in files]
    for f in missing:
        print(f"{f} is missing from {folder}")
    print(f"{len(files)} files checked, {bad} faults, {len(missing)} programs missing")
    return 1 if bad or missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
