#!/usr/bin/env python3
"""Checks Tunewell.dll as a host application meets it: exactly one export, GetDllInterface,
undecorated; imports from system DLLs only (nothing has to be shipped beside it); and the
plug-in information block among its bytes, where a host finds it without loading the DLL.

Usage: dll_check.py OBJDUMP DLL
"""
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "winhttp.dll", "wininet.dll",
               "msvcrt.dll"}


def main(objdump, dll):
    dump = subprocess.run([objdump, "-p", dll], check=True, capture_output=True,
                          text=True).stdout
    problems = []
    names = dump.split("[Ordinal/Name Pointer] Table", 1)
    exports = re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", names[1], re.M) if len(names) == 2 else []
    if exports != ["GetDllInterface"]:
        problems.append("exports %s, not just GetDllInterface" % exports)
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
    if not imports or not imports <= SYSTEM_DLLS:
        problems.append("imports %s beyond the system's DLLs" % sorted(imports - SYSTEM_DLLS))
    with open(dll, "rb") as f:
        block = re.search(rb"###_PluginInfo_###([^\0]*)###", f.read())
    if block is None or b"Type=search;" not in block.group(1):
        problems.append("no information block naming a search plug-in")
    for problem in problems:
        print("%s: %s" % (dll, problem))
    if not problems:
        print("%s: one export, %s, information block found" % (dll, ", ".join(sorted(imports))))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
