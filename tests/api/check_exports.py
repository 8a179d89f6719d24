#!/usr/bin/env python3
"""Checks a 32-bit DLL's export table and calling convention with objdump.

Every export named in the .def template must appear under its name with its ordinal,
nothing else may be exported, the DLL may import Windows system DLLs only, and the
code of each export must return with `ret $N`, N being the argument bytes the callee
removes (stdcall).
"""
import argparse
import re
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll", "ole32.dll",
    "oleaut32.dll", "winmm.dll", "msvcrt.dll", "msimg32.dll", "shell32.dll", "ws2_32.dll",
    "shlwapi.dll", "comdlg32.dll", "version.dll", "bcrypt.dll", "crypt32.dll", "imm32.dll",
}


def read_template(path):
    library, exports = None, {}
    for line in open(path, encoding="ascii"):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        if line.startswith("LIBRARY"):
            library = line.split()[1]
            continue
        m = re.match(r"(\w+)\s+@(\d+)\s+(\d+)(\s*=\s*\w+)?$", line)
        if m:
            exports[m.group(1)] = (int(m.group(2)), int(m.group(3)))
    return library, exports


def first_return(objdump, dll, start, depth=0):
    """Argument bytes popped by the first `ret` reached from `start`, following tail jumps
    (an unconditional jump to the start of another function)."""
    code = subprocess.run([objdump, "-d", "--no-show-raw-insn", f"--start-address={start:#x}",
                           f"--stop-address={start + 0x2000:#x}", dll],
                          check=True, capture_output=True, text=True).stdout
    for line in code.splitlines():
        m = re.search(r"\tret\s*(\$0x[0-9a-f]+)?", line)
        if m:
            return int(m.group(1)[1:], 16) if m.group(1) else 0
        m = re.search(r"\tjmp\s+([0-9a-f]+) <[^+>]+>$", line)
        if m and depth < 4:
            return first_return(objdump, dll, int(m.group(1), 16), depth + 1)
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--objdump", required=True)
    ap.add_argument("--dll", required=True)
    ap.add_argument("--def", dest="template", required=True)
    args = ap.parse_args()
    library, expected = read_template(args.template)

    headers = subprocess.run([args.objdump, "-p", args.dll], check=True, capture_output=True, text=True).stdout
    failures = []
    image_base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", headers, re.M).group(1), 16)
    name = re.search(r"^Name\s+[0-9a-fA-F]+\s+(\S+)", headers, re.M).group(1)
    if name != library:
        failures.append(f"DLL name {name!r}, expected {library!r}")
    base = int(re.search(r"^Ordinal Base\s+(\d+)", headers, re.M).group(1))
    eat = {int(i): int(rva, 16) for i, rva in re.findall(r"\[\s*(\d+)\] \+base\[\s*\d+\]\s+([0-9a-fA-F]+) Export RVA", headers)}
    table = headers.split("[Ordinal/Name Pointer] Table", 1)[1]
    table = table.split("\n\n", 1)[0]
    names = {nm: base + int(i) for i, nm in re.findall(r"\[\s*(\d+)\]\s+(\w+)", table)}
    if set(names) != set(expected):
        failures.append(f"exported names {sorted(names)}, expected {sorted(expected)}")
    if len(eat) != len(expected):
        failures.append(f"{len(eat)} export addresses, expected {len(expected)}")
    for dll in re.findall(r"DLL Name: (\S+)", headers):
        if dll.lower() not in SYSTEM_DLLS:
            failures.append(f"imports non-system DLL {dll}")

    for export, (ordinal, argbytes) in sorted(expected.items(), key=lambda e: e[1][0]):
        if names.get(export) != ordinal:
            failures.append(f"{export}: ordinal {names.get(export)}, expected {ordinal}")
            continue
        got = first_return(args.objdump, args.dll, image_base + eat[ordinal - base])
        if got is None:
            failures.append(f"{export}: no ret found")
            continue
        if got != argbytes:
            failures.append(f"{export}: returns with ret ${got}, expected ret ${argbytes}")
        else:
            print(f"{export:24} ordinal {ordinal:2}  ret ${argbytes}")
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
