#!/usr/bin/env python3
"""Fails when a program or DLL of the setup folder imports a DLL that Windows does not ship."""
import os
import re
import subprocess
import sys

WINDOWS_OWN = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "shlwapi.dll", "cabinet.dll", "msvcrt.dll",
    "version.dll", "windowscodecs.dll", "uxtheme.dll", "msimg32.dll", "imm32.dll", "winmm.dll",
    "ntdll.dll", "rpcrt4.dll", "crypt32.dll", "bcrypt.dll", "userenv.dll", "dwmapi.dll",
}


def imports(path):
    out = subprocess.run(["i686-w64-mingw32-objdump", "-p", path], capture_output=True, text=True)
    if out.returncode != 0:
        return None
    return [m.lower() for m in re.findall(r"DLL Name: (\S+)", out.stdout)]


def main(folder):
    if not os.path.isdir(folder):
        print(f"{folder} is missing: run scripts/build")
        return 1
    files = [f for f in sorted(os.listdir(folder)) if f.lower().endswith((".exe", ".dll", ".ocx"))]
    if not files:
        print(f"no programs in {folder} yet")
        return 0
    bad = 0
    for f in files:
        dlls = imports(os.path.join(folder, f))
        if dlls is None:
            continue  # not a PE file at all: a data placeholder
        foreign = [d for d in dlls if d not in WINDOWS_OWN]
        if foreign:
            print(f"{f} imports {', '.join(foreign)}")
            bad += 1
    print(f"{len(files)} files checked, {bad} with foreign imports")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
