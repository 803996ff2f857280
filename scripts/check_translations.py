#!/usr/bin/env python3
"""Checks the translation catalogs against the code.

Every text that the code passes to wxGetTranslation as a literal
(wxGetTranslation(L"...")) must be a msgid of every catalog source
i18n/<language>/Language.po, with a non-empty translation; and all catalogs
must hold the same texts, so that no language silently falls behind.
Exits with 1 and names each problem otherwise.

usage: check_translations.py --catalogs I18N_DIR SOURCE_DIR...
"""
import argparse
import pathlib
import re
import sys

CALL = re.compile(r'wxGetTranslation\(\s*L"((?:[^"\\\n]|\\.)*)"\s*\)')
PO_STRING = re.compile(r'"((?:[^"\\]|\\.)*)"')
ESCAPES = {"n": "\n", "t": "\t", "r": "\r", '"': '"', "\\": "\\"}


def unescape(text):
    """C and PO literals share these escapes."""
    return re.sub(r'\\(.)', lambda m: ESCAPES.get(m.group(1), "\\" + m.group(1)), text)


def used_texts(source_dirs):
    """{text: first place it is used} for every literal passed to wxGetTranslation."""
    used = {}
    for root in source_dirs:
        for path in sorted(pathlib.Path(root).rglob("*")):
            if path.suffix not in (".cpp", ".h", ".hpp", ".inl"):
                continue
            content = path.read_text(encoding="utf-8", errors="replace")
            for match in CALL.finditer(content):
                line = content.count("\n", 0, match.start()) + 1
                used.setdefault(unescape(match.group(1)), f"{path}:{line}")
    return used


def read_catalog(path):
    """{msgid: msgstr} of a .po file, the header entry left out."""
    entries = {}
    field, msgid, msgstr = None, None, None

    def finish():
        if msgid:  # the header's msgid is empty
            entries[msgid] = msgstr or ""

    for raw in path.read_text(encoding="utf-8").splitlines():
        line = raw.strip()
        if line.startswith("msgid "):
            finish()
            field, msgid, msgstr = "msgid", unescape(PO_STRING.search(line).group(1)), None
        elif line.startswith("msgstr "):
            field, msgstr = "msgstr", unescape(PO_STRING.search(line).group(1))
        elif line.startswith('"') and field == "msgid":
            msgid += unescape(PO_STRING.search(line).group(1))
        elif line.startswith('"') and field == "msgstr":
            msgstr += unescape(PO_STRING.search(line).group(1))
        else:  # a blank line or a comment ends the entry's strings
            field = None
    finish()
    return entries


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--catalogs", required=True)
    parser.add_argument("sources", nargs="+")
    args = parser.parse_args()

    used = used_texts(args.sources)
    catalogs = {p.parent.name: read_catalog(p) for p in sorted(pathlib.Path(args.catalogs).glob("*/Language.po"))}
    problems = []
    if not catalogs:
        problems.append(f"no catalog sources below {args.catalogs}")
    all_ids = set().union(*(c.keys() for c in catalogs.values())) if catalogs else set()
    for lang, entries in catalogs.items():
        for text, where in sorted(used.items()):
            if text not in entries:
                problems.append(f"{lang}: missing {text!r} (used at {where})")
        for text in sorted(all_ids - entries.keys()):
            if text not in used:
                problems.append(f"{lang}: missing {text!r}, which other catalogs have")
        for text, translation in sorted(entries.items()):
            if not translation:
                problems.append(f"{lang}: {text!r} has no translation")

    for problem in problems:
        print(problem)
    print(f"{len(used)} translated texts in the code, {len(catalogs)} catalogs, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
