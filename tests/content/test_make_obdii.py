"""Rules of the trouble-code database generator: family expansion, counting, refused input."""
import importlib.util
import os
import pathlib
import tempfile
import unittest

ROOT = pathlib.Path(os.environ.get("QUILLON_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
loader_spec = importlib.util.spec_from_file_location("make_obdii", ROOT / "tools" / "dtc" / "make_obdii.py")
make_obdii = importlib.util.module_from_spec(loader_spec)
loader_spec.loader.exec_module(make_obdii)

PATTERNS = """
[pair]
{s} circuit low{w}
{s} circuit high{w}
[single]
{s}{w}
"""


def build(source):
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder)
        (path / "patterns.txt").write_text(PATTERNS, encoding="utf-8")
        (path / "codes.txt").write_text(source, encoding="utf-8")
        return make_obdii.collect(path)


class Expansion(unittest.TestCase):
    def test_families_singles_and_modules(self):
        entries = build("P0108 pair: Sensor A | bank 1\n"
                        "P0201 single x3: Injector circuit/open | cylinder {n}\n"
                        "P0351 single x2: Ignition coil {L} primary/secondary circuit\n"
                        "U0121 Written out\n"
                        "module U0100 - U0401: ECM/PCM A\n")
        self.assertEqual(entries, {
            "P0108": "Sensor A circuit low, bank 1",
            "P0109": "Sensor A circuit high, bank 1",  # decimal: P0109, then P0110
            "P0201": "Injector circuit/open, cylinder 1",
            "P0202": "Injector circuit/open, cylinder 2",
            "P0203": "Injector circuit/open, cylinder 3",
            "P0351": "Ignition coil A primary/secondary circuit",
            "P0352": "Ignition coil B primary/secondary circuit",
            "U0121": "Written out",
            "U0100": "Lost communication with ECM/PCM A",
            "U0401": "Invalid data received from ECM/PCM A",
        })

    def test_counting_is_decimal_unless_the_first_code_has_a_letter(self):
        cases = {"P0109 pair: A": ["P0109", "P0110"],
                 "P0A09 pair: A": ["P0A09", "P0A0A"],
                 "P010F pair: A": ["P010F", "P0110"]}
        for source, codes in cases.items():
            self.assertEqual(sorted(build(source + "\n")), codes, source)

    def test_order_is_p_c_b_u_then_number(self):
        entries = build("U0001 U\nB0001 B\nC0035 C\nP0A00 PA\nP0100 P\nP2000 P2\n")
        self.assertEqual(make_obdii.render(entries).decode().splitlines(),
                         ["P0100 P", "P0A00 PA", "P2000 P2", "C0035 C", "B0001 B", "U0001 U"])


class Refusals(unittest.TestCase):
    def test_bad_sources_are_refused_with_their_place(self):
        cases = {
            "P1234 Maker code": "maker-specific",
            "P3000 Maker code": "maker-specific",
            "B1000 Maker code": "maker-specific",
            "C2000 Maker code": "maker-specific",
            "U3000 Maker code": "maker-specific",
            "P0100 A\nP0100 B": "already given",
            "P0108 pair: A\nP0109 B": "already given",
            "P010 Short": "not a trouble code",
            "P0998 pair x2: A {n}": "runs past",
            "P0100 unknown: A": "unknown pattern",
            "P0100 lower case start": "capital",
            "P0100 Caf\u00e9": "plain printable ASCII",
            "P0100 " + "A" * 128: "longer than 127",
            "P0100 single: Cylinder {n}": "without a repeat count",
        }
        for source, message in cases.items():
            with self.assertRaises(make_obdii.SourceError, msg=source) as raised:
                build(source + "\n")
            self.assertIn(message, str(raised.exception), source)
            self.assertIn("codes.txt:", str(raised.exception), source)


if __name__ == "__main__":
    unittest.main()
