#!/usr/bin/env python3
"""Checks that a host program's imports from Mivex.dll resolve against the DLL.

Reads both files' import and export tables with objdump: the host must import from
Mivex.dll, and each imported name must be one the DLL exports (so undecorated: an
import library that kept `@N` in the import names fails here).
"""
import argparse
import re
import subprocess
import sys


def objdump(tool, path):
    return subprocess.run([tool, "-p", path], check=True, capture_output=True, text=True).stdout


def exports_of(headers):
    table = headers.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
    return {name for _, name in re.findall(r"\[\s*(\d+)\]\s+(\S+)", table)}


def imports_from(headers, dll):
    """Names imported from `dll` (case-insensitive)."""
    names, current = [], None
    for line in headers.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            current = m.group(1).lower()
            continue
        if current != dll.lower():
            continue
        m = re.match(r"\s*[0-9a-f]+\s+\d+\s+(\S+)\s*$", line)
        if m:
            names.append(m.group(1))
    return names


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--objdump", required=True)
    ap.add_argument("--host", required=True)
    ap.add_argument("--dll", required=True)
    args = ap.parse_args()
    exported = exports_of(objdump(args.objdump, args.dll))
    imported = imports_from(objdump(args.objdump, args.host), "Mivex.dll")
    failures = []
    if not imported:
        failures.append("the host imports nothing from Mivex.dll")
    for name in imported:
        if name in exported:
            print(f"{name:24} resolves")
        else:
            failures.append(f"{name}: not exported by {args.dll}")
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
