#!/usr/bin/env python3
"""Builds the message catalogue from its per-language text files.

Each NNNN-xx-XX.txt file in this folder holds one language: a line "LANGUAGE <id>" with
the Windows language identifier, optional lines "ALSO <id>" naming further identifiers
that get a copy of the same table (the language without a region, other regions), and one
line per entry, <number> "<text>". Every file must hold exactly the numbers of the
English file.

  make_catalogue.py rc  <out.rc>  <language files...>   string tables for the DLL
  make_catalogue.py cpp <out.cpp> <english file>        the English table for native builds
"""
import re
import sys

ENTRY = re.compile(r'^(\d+) "((?:[^"\\]|\\.)*)"$')
REFERENCE_LANGUAGE = 1033


def fail(path, line_no, message):
    sys.exit(f"{path}:{line_no}: {message}")


def unescape(path, line_no, text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\":
            if i + 1 >= len(text) or text[i + 1] not in '"\\':
                fail(path, line_no, "only \\\" and \\\\ may follow a backslash")
            out.append(text[i + 1])
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def read_language(path):
    language, also, entries = None, [], {}
    with open(path, encoding="utf-8") as f:
        for line_no, raw in enumerate(f, 1):
            line = raw.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("LANGUAGE "):
                language = int(line.split()[1])
                continue
            if line.startswith("ALSO "):
                also.append(int(line.split()[1]))
                continue
            m = ENTRY.match(line)
            if not m:
                fail(path, line_no, "expected: <number> \"<text>\"")
            number = int(m.group(1))
            if number > 0xFFFF or number in entries:
                fail(path, line_no, f"number {number} out of range or repeated")
            text = unescape(path, line_no, m.group(2))
            if len(text) > 1023:
                fail(path, line_no, "text longer than 1023 characters")
            entries[number] = text
    if language is None:
        sys.exit(f"{path}: no LANGUAGE line")
    return language, also, entries


def rc_string(text):
    # Every character outside printable ASCII is written as exactly four hex digits,
    # which is how the resource compiler reads \x in a wide string.
    out = []
    for c in text:
        code = ord(c)
        if c == '"':
            out.append('""')
        elif c == "\\":
            out.append("\\\\")
        elif 0x20 <= code < 0x7F:
            out.append(c)
        else:
            data = c.encode("utf-16-le")  # two units for a character beyond the BMP
            for k in range(0, len(data), 2):
                out.append(f"\\x{data[k] | (data[k + 1] << 8):04X}")
    return 'L"' + "".join(out) + '"'


def cpp_string(text):
    out = []
    for byte in text.encode("utf-8"):
        c = chr(byte)
        if c in '"\\':
            out.append("\\" + c)
        elif 0x20 <= byte < 0x7F:
            out.append(c)
        else:
            out.append(f"\\{byte:03o}")
    return '"' + "".join(out) + '"'


def write_if_changed(path, text):
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def make_rc(out, paths):
    languages = [read_language(p) + (p,) for p in paths]
    reference = [entries for lang, _, entries, _ in languages if lang == REFERENCE_LANGUAGE]
    if not reference:
        sys.exit("the English (1033) file is missing")
    numbers = sorted(reference[0])
    lines = ["// Generated from resources/catalogue/*.txt by make_catalogue.py: edit those files.", ""]
    seen = set()
    for lang, also, entries, path in sorted(languages):
        if sorted(entries) != numbers:
            missing = sorted(set(numbers) - set(entries))
            extra = sorted(set(entries) - set(numbers))
            sys.exit(f"{path}: numbers differ from English (missing {missing}, extra {extra})")
        for table_lang in [lang] + also:
            if table_lang in seen:
                sys.exit(f"{path}: language {table_lang} has two tables")
            seen.add(table_lang)
            lines.append(f"LANGUAGE 0x{table_lang & 0x3FF:02X}, 0x{table_lang >> 10:02X}")
            lines.append("STRINGTABLE")
            lines.append("BEGIN")
            for n in numbers:
                lines.append(f"  {n}, {rc_string(entries[n])}")
            lines.append("END")
            lines.append("")
    write_if_changed(out, "\n".join(lines))


def make_cpp(out, path):
    lang, _, entries = read_language(path)
    if lang != REFERENCE_LANGUAGE:
        sys.exit(f"{path}: the native table is the English one")
    lines = [
        "// Generated from resources/catalogue/1033-en-US.txt by make_catalogue.py: edit that file.",
        '#include "workflow/CatalogueTable.h"',
        "",
        "namespace mivex {",
        "",
        "const CatalogueEntry kEnglishCatalogue[] = {",
    ]
    for n in sorted(entries):
        lines.append(f"    {{{n}, {cpp_string(entries[n])}}},")
    lines += ["};", "", "const std::size_t kEnglishCatalogueSize = sizeof kEnglishCatalogue / sizeof kEnglishCatalogue[0];",
              "", "}  // namespace mivex", ""]
    write_if_changed(out, "\n".join(lines))


def main(argv):
    if len(argv) >= 4 and argv[1] == "rc":
        make_rc(argv[2], argv[3:])
    elif len(argv) == 4 and argv[1] == "cpp":
        make_cpp(argv[2], argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
