#!/usr/bin/env python3
"""Builds i18n/lang.ini (UTF-16 LE with byte-order mark, CR LF) from the readable UTF-8 sources
in i18n/lang-src/<section>.txt.

Every source must hold exactly the keys of en.txt (in any order); lang.ini lists them in the
order of en.txt.  With --check the script only compares the generated file with the one on disk
and exits with 1 when they differ.
"""
import argparse
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
SOURCES = ROOT / "i18n" / "lang-src"
OUTPUT = ROOT / "i18n" / "lang.ini"
# Sections in the order of the language numbers 1 ... 12.
SECTIONS = ["cn", "en", "jp", "kr", "pl", "de", "ru", "fr", "nl", "pt", "es", "it"]


def read_source(section):
    path = SOURCES / f"{section}.txt"
    entries = {}
    order = []
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if not line or line.startswith("#"):
            continue
        key, sep, value = line.partition("=")
        if not sep or not key:
            sys.exit(f"{path}:{number}: expected key=value")
        if key in entries:
            sys.exit(f"{path}:{number}: {key} given twice")
        entries[key] = value
        order.append(key)
    return entries, order


def quoted(value):
    """The value as written so that the reader gives it back unchanged."""
    wrapped = len(value) >= 2 and value[0] in "\"'" and value[-1] == value[0]
    if value and (value[0] in " \t" or value[-1] in " \t" or wrapped):
        return f'"{value}"'
    return value


def build():
    english, order = read_source("en")
    lines = ["[set]", "val=2", ""]
    for section in SECTIONS:
        entries, _ = read_source(section)
        missing = [k for k in order if k not in entries]
        extra = [k for k in entries if k not in english]
        if missing or extra:
            sys.exit(f"{section}: missing {missing}, unknown {extra}")
        lines.append(f"[{section}]")
        lines.extend(f"{key}={quoted(entries[key])}" for key in order)
        lines.append("")
    text = "\r\n".join(lines) + "\r\n"
    return b"\xff\xfe" + text.encode("utf-16-le")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--check", action="store_true", help="compare only")
    args = parser.parse_args()
    content = build()
    if args.check:
        if not OUTPUT.exists() or OUTPUT.read_bytes() != content:
            print(f"{OUTPUT} is out of date: run {pathlib.Path(__file__).name}")
            return 1
        return 0
    OUTPUT.write_bytes(content)
    return 0


if __name__ == "__main__":
    sys.exit(main())
