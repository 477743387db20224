#!/usr/bin/env python3
"""Builds content/DtcLookup/OBDII.txt, the trouble-code database, from the readable sources in
content/dtc-src/.

Sources (UTF-8, '#' starts a comment line):

  patterns.txt   [name] sections, each listing the descriptions of a family of consecutive
                 codes; {s} stands for the family's subject, {w} for ", <place>" or nothing.
  *.txt          one entry a line, of three kinds:
                   P0125 Insufficient coolant temperature for closed loop fuel control
                       one code and its description;
                   P0130 o2sensor: O2 sensor | bank 1 sensor 1
                       a family: pattern o2sensor from P0130 on, subject "O2 sensor", place
                       "bank 1 sensor 1" (the "| place" part is optional);
                   P0301 single x12: Cylinder {n} misfire detected
                       the pattern repeated 12 times on consecutive codes; {n} counts 1, 2, ...
                       and {L} counts A, B, ... in the subject and the place;
                   module U0121 U0315 U0415: anti-lock brake system (ABS) control module
                       a control module with its lost-communication, software-incompatibility
                       and invalid-data codes ("-" where the module has none).

A family counts its codes in decimal (P0109, P0110) unless its first code has a letter in its
number (P0A09, P0A0A; P010A, P010B): then in hexadecimal.  Only the generic ranges are accepted:
P0xxx, P2xxx, P34xx-P39xx, B0xxx, C0xxx and U0xxx; every code may appear once.  The database lists
the codes in the order P, C, B, U and then by number, one "CODE description" a line, LF line
ends, UTF-8.  With --check the script only compares the result with the file on disk and exits
with 1 when they differ.
"""
import argparse
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
SOURCES = ROOT / "content" / "dtc-src"
OUTPUT = ROOT / "content" / "DtcLookup" / "OBDII.txt"

CODE = re.compile(r"^[PCBU][0-3][0-9A-F]{3}$")
FAMILY = re.compile(r"^(?P<code>\S+)\s+(?P<pattern>[a-z][a-z0-9]*)(?:\s+x(?P<count>\d+))?:\s*"
                    r"(?P<rest>.*)$")
MODULE = re.compile(r"^module\s+(?P<lost>\S+)\s+(?P<software>\S+)\s+(?P<invalid>\S+):\s*"
                    r"(?P<name>.+)$")
SINGLE = re.compile(r"^(?P<code>\S+)\s+(?P<text>.+)$")
LETTER_ORDER = "PCBU"
MAX_BYTES = 127


class SourceError(Exception):
    pass


def is_generic(code):
    """Whether the code lies in a range that the standard assigns for every maker."""
    letter, first = code[0], code[1]
    if letter == "P":
        return first in "02" or (first == "3" and code[2] in "456789")
    return first == "0"


def code_number(code):
    return int(code[1:], 16)


def code_after(code, steps, where):
    """The code `steps` places after `code` in its family.  A family whose first code has a letter
    in its number (P0A05, P010A) counts in hexadecimal, any other one in decimal (P0109, P0110),
    as the standard numbers its codes."""
    digits = code[2:]
    if digits.isdigit():
        number, limit, form = int(digits) + steps, 999, "03d"
    else:
        number, limit, form = int(digits, 16) + steps, 0xFFF, "03X"
    if number > limit:
        raise SourceError(f"{where}: the family runs past {code[:2]}{limit:{form}}")
    return f"{code[:2]}{number:{form}}"


def sort_key(code):
    return LETTER_ORDER.index(code[0]), code_number(code)


def read_lines(path):
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        stripped = line.strip()
        if stripped and not stripped.startswith("#"):
            yield f"{path.name}:{number}", stripped


def read_patterns(path):
    patterns = {}
    current = None
    for where, line in read_lines(path):
        match = re.fullmatch(r"\[([a-z][a-z0-9]*)\]", line)
        if match:
            current = match.group(1)
            if current in patterns:
                raise SourceError(f"{where}: pattern {current} given twice")
            patterns[current] = []
        elif current is None:
            raise SourceError(f"{where}: a description outside a [pattern] section")
        else:
            patterns[current].append(line)
    return patterns


def fill(template, subject, place):
    return template.replace("{s}", subject).replace("{w}", f", {place}" if place else "")


def counted(text, index):
    return text.replace("{n}", str(index + 1)).replace("{L}", chr(ord("A") + index))


def expand_line(where, line, patterns):
    """The (code, description) pairs that one source line stands for."""
    match = MODULE.match(line)
    if match:
        name = match.group("name")
        texts = {"lost": f"Lost communication with {name}",
                 "software": f"Software incompatibility with {name}",
                 "invalid": f"Invalid data received from {name}"}
        return [(match.group(kind), text) for kind, text in texts.items()
                if match.group(kind) != "-"]
    match = FAMILY.match(line)
    if match:
        name = match.group("pattern")
        if name not in patterns:
            raise SourceError(f"{where}: unknown pattern {name}")
        count = int(match.group("count") or 1)
        subject, _, place = match.group("rest").partition("|")
        subject, place = subject.strip(), place.strip()
        if count > 26:
            raise SourceError(f"{where}: at most 26 repeats")
        if count == 1 and ("{n}" in subject + place or "{L}" in subject + place):
            raise SourceError(f"{where}: {{n}} or {{L}} without a repeat count")
        entries = []
        code = match.group("code")
        check_code(where, code)
        for index in range(count):
            for template in patterns[name]:
                text = fill(template, counted(subject, index), counted(place, index))
                entries.append((code_after(code, len(entries), where), text))
        return entries
    match = SINGLE.match(line)
    if not match:
        raise SourceError(f"{where}: expected a code and a description")
    return [(match.group("code"), match.group("text"))]


def check_code(where, code):
    if not CODE.match(code):
        raise SourceError(f"{where}: {code} is not a trouble code")
    if not is_generic(code):
        raise SourceError(f"{where}: {code} lies in a maker-specific range")


def check_description(where, code, text):
    if not (text[:1].isupper() or text[:1].isdigit()):
        raise SourceError(f"{where}: {code}: description must begin with a capital or a digit")
    if any(c in text for c in "{}|"):
        raise SourceError(f"{where}: {code}: placeholder left in '{text}'")
    if not text.isascii() or not text.isprintable() or text != text.strip():
        raise SourceError(f"{where}: {code}: description must be plain printable ASCII")
    if len(text.encode()) > MAX_BYTES:
        raise SourceError(f"{where}: {code}: description longer than {MAX_BYTES} bytes")
    return text


def collect(source_dir=SOURCES):
    patterns = read_patterns(source_dir / "patterns.txt")
    entries = {}
    origin = {}
    for path in sorted(source_dir.glob("*.txt")):
        if path.name == "patterns.txt":
            continue
        for where, line in read_lines(path):
            for code, text in expand_line(where, line, patterns):
                check_code(where, code)
                if code in entries:
                    raise SourceError(f"{where}: {code} already given at {origin[code]}")
                entries[code] = check_description(where, code, text)
                origin[code] = where
    return entries


def family_of(code):
    """The range a code is counted in: P0xxx, P0Axx, P2xxx, P34xx, U0xxx and so on."""
    if code[:2] == "P0" and code[2] in "ABCDEF" or code[:2] == "P3":
        return code[:3] + "xx"
    return code[:2] + "xxx"


def render(entries):
    lines = [f"{code} {entries[code]}\n" for code in sorted(entries, key=sort_key)]
    return "".join(lines).encode("utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--check", action="store_true", help="compare only")
    parser.add_argument("--counts", action="store_true", help="print the codes per family")
    args = parser.parse_args()
    try:
        entries = collect()
    except SourceError as error:
        print(error, file=sys.stderr)
        return 2
    content = render(entries)
    if args.counts:
        families = {}
        for code in entries:
            families[family_of(code)] = families.get(family_of(code), 0) + 1
        for family in sorted(families, key=lambda f: sort_key(f.replace("x", "0"))):
            print(f"{family} {families[family]}")
        print(f"total {len(entries)}")
    if args.check:
        if not OUTPUT.exists() or OUTPUT.read_bytes() != content:
            print(f"{OUTPUT} is out of date: run {pathlib.Path(__file__).name}")
            return 1
        return 0
    OUTPUT.parent.mkdir(parents=True, exist_ok=True)
    OUTPUT.write_bytes(content)
    return 0


if __name__ == "__main__":
    sys.exit(main())
