#!/usr/bin/env python3
"""Checks the VERSIONINFO resource of Windows binaries.

Each file must have one version resource whose fixed file and product versions and
whose FileVersion and ProductVersion texts are the expected version, whose
OriginalFilename is the file's own name, and whose company, product, description and
copyright texts are not empty.
"""
import argparse
import os
import struct
import sys

RT_VERSION = 16
FIXED_SIGNATURE = 0xFEEF04BD
REQUIRED_TEXTS = ("CompanyName", "FileDescription", "FileVersion", "LegalCopyright", "OriginalFilename",
                  "ProductName", "ProductVersion")


def sections_and_resources(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    count, opt_size = struct.unpack_from("<H12xH", data, pe + 6)
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    dirs = opt + (96 if magic == 0x10B else 112)
    rsrc_rva, rsrc_size = struct.unpack_from("<II", data, dirs + 2 * 8)
    sections = []
    for i in range(count):
        s = opt + opt_size + 40 * i
        vsize, va, raw_size, raw = struct.unpack_from("<IIII", data, s + 8)
        sections.append((va, max(vsize, raw_size), raw))
    return sections, rsrc_rva, rsrc_size


def to_offset(sections, rva):
    for va, size, raw in sections:
        if va <= rva < va + size:
            return raw + rva - va
    raise ValueError(f"RVA {rva:#x} outside every section")


def entries(data, base, directory):
    named, ids = struct.unpack_from("<HH", data, base + directory + 12)
    for i in range(named + ids):
        name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
        yield name, target


def version_blocks(data):
    sections, rsrc_rva, rsrc_size = sections_and_resources(data)
    if not rsrc_rva:
        return []
    base = to_offset(sections, rsrc_rva)
    found = []
    for type_id, type_dir in entries(data, base, 0):
        if type_id != RT_VERSION or not type_dir & 0x80000000:
            continue
        for _, name_dir in entries(data, base, type_dir & 0x7FFFFFFF):
            for _, leaf in entries(data, base, name_dir & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                offset = to_offset(sections, rva)
                found.append(data[offset:offset + size])
    return found


def parse_block(block, at=0):
    """One version block: (key, value bytes, value type, children, end)."""
    length, value_length, value_type = struct.unpack_from("<HHH", block, at)
    end = at + length
    key_end = at + 6
    while block[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = block[at + 6:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    value_bytes = value_length * 2 if value_type == 1 else value_length
    value = block[pos:pos + value_bytes]
    pos = (pos + value_bytes + 3) & ~3
    children = []
    while pos < end:
        child = parse_block(block, pos)
        children.append(child)
        pos = (child[4] + 3) & ~3
    return key, value, value_type, children, end


def read_version(block):
    key, fixed, _, children, _ = parse_block(block)
    if key != "VS_VERSION_INFO":
        raise ValueError(f"version block named {key!r}")
    sig, _, fms, fls, pms, pls = struct.unpack_from("<IIIIII", fixed)
    if sig != FIXED_SIGNATURE:
        raise ValueError("no fixed file information")
    texts = {}
    for child in children:
        if child[0] != "StringFileInfo":
            continue
        for table in child[3]:
            for k, v, _, _, _ in table[3]:
                texts[k] = v.decode("utf-16-le").rstrip("\0")
    return (fms >> 16, fms & 0xFFFF, fls >> 16, fls & 0xFFFF), (pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF), texts


def check(path, version):
    wanted = tuple((list(map(int, version.split("."))) + [0, 0, 0, 0])[:4])
    failures = []
    blocks = version_blocks(open(path, "rb").read())
    name = os.path.basename(path)
    if len(blocks) != 1:
        return [f"{name}: {len(blocks)} version resources, expected one"]
    file_version, product_version, texts = read_version(blocks[0])
    if file_version != wanted or product_version != wanted:
        failures.append(f"{name}: fixed versions {file_version} / {product_version}, expected {wanted}")
    for key in REQUIRED_TEXTS:
        if not texts.get(key):
            failures.append(f"{name}: no {key} text")
    for key in ("FileVersion", "ProductVersion"):
        if texts.get(key) and texts[key] != version:
            failures.append(f"{name}: {key} {texts[key]!r}, expected {version!r}")
    if texts.get("OriginalFilename", "").lower() != name.lower():
        failures.append(f"{name}: OriginalFilename {texts.get('OriginalFilename')!r}")
    if not failures:
        print(f"{name:16} {'.'.join(map(str, file_version)):10} {texts['FileDescription']}")
    return failures


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--version", required=True)
    ap.add_argument("files", nargs="+")
    args = ap.parse_args()
    failures = []
    for path in args.files:
        failures += check(path, args.version)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
