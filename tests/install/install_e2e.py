#!/usr/bin/env python3
"""Installs the build into a scratch DESTDIR with prefix /usr, checks the tree, the desktop
entry, the icons, the software-centre description and the device rule, then runs the installed
program (offscreen, against the simulated ScanTool) to see that it takes its data from
share/quillon and keeps the user's files in the XDG folders.

    install_e2e.py <build folder>
"""

import filecmp
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import e2e  # noqa: E402

BUILD = None
APP_ID = "org.quillon.Quillon"
ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256, 512]


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def same_tree(a, b):
    """Whether two folders hold the same files with the same content."""
    comparison = filecmp.dircmp(a, b)
    if comparison.left_only or comparison.right_only or comparison.funny_files:
        return False
    _, mismatch, errors = filecmp.cmpfiles(a, b, comparison.common_files, shallow=False)
    return not mismatch and not errors and all(
        same_tree(os.path.join(a, d), os.path.join(b, d)) for d in comparison.common_dirs)


class InstalledTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = e2e.Scratch("quillon-install-")
        cls.dest = cls.scratch.path("dest")
        env = dict(os.environ, DESTDIR=cls.dest)
        result = subprocess.run(["cmake", "--install", BUILD, "--prefix", "/usr"], env=env,
                                capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError("cmake --install failed:\n" + result.stdout + result.stderr)
        cls.usr = os.path.join(cls.dest, "usr")

    @classmethod
    def tearDownClass(cls):
        cls.scratch.remove()

    def usr_path(self, *parts):
        return os.path.join(self.usr, *parts)

    def test_program_and_shipped_data(self):
        exe = self.usr_path("bin", "quillon")
        self.assertTrue(os.access(exe, os.X_OK))
        # Nothing but the program in bin: its data lives in share/quillon.
        self.assertEqual(os.listdir(self.usr_path("bin")), ["quillon"])
        self.assertTrue(filecmp.cmp(self.usr_path("share", "quillon", "lang.ini"),
                                    os.path.join(e2e.ROOT, "i18n", "lang.ini"), shallow=False))
        self.assertTrue(filecmp.cmp(
            self.usr_path("share", "quillon", "DtcLookup", "OBDII.txt"),
            os.path.join(e2e.ROOT, "content", "DtcLookup", "OBDII.txt"), shallow=False))
        self.assertTrue(same_tree(self.usr_path("share", "quillon", "manual"),
                                  os.path.join(e2e.ROOT, "content", "manual")))

    def test_desktop_entry(self):
        entry = self.usr_path("share", "applications", APP_ID + ".desktop")
        result = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout.strip(), "", "hints or warnings")
        with open(entry, encoding="utf-8") as f:
            keys = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        self.assertEqual(keys["Exec"], "quillon")  # found on PATH as <prefix>/bin/quillon
        self.assertEqual(keys["Icon"], APP_ID)

    def test_icons_at_the_usual_sizes_and_scalable(self):
        for size in ICON_SIZES:
            icon = self.usr_path("share", "icons", "hicolor", f"{size}x{size}", "apps",
                                 APP_ID + ".png")
            self.assertEqual(png_size(icon), (size, size), icon)
        svg = self.usr_path("share", "icons", "hicolor", "scalable", "apps", APP_ID + ".svg")
        with open(svg, encoding="utf-8") as f:
            self.assertIn("<svg", f.read())

    def test_software_centre_description(self):
        metainfo = self.usr_path("share", "metainfo", APP_ID + ".metainfo.xml")
        with open(metainfo, encoding="utf-8") as f:
            text = f.read()
        self.assertNotIn("@", text.replace("xmlns", ""), "a placeholder was left")
        self.assertIn(f"<launchable type=\"desktop-id\">{APP_ID}.desktop</launchable>", text)
        self.assertGreaterEqual(text.count("<screenshot"), 2)
        self.assertRegex(text, r"<image>https://[^<]+\.png</image>")
        self.assertIn("<modalias>usb:v0483p5740d*</modalias>", text)
        if shutil.which("appstreamcli"):
            result = subprocess.run(["appstreamcli", "validate", "--no-net", metainfo],
                                    capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_device_rule(self):
        folder = self.usr_path("lib", "udev", "rules.d")
        rules = os.listdir(folder)
        self.assertEqual(len(rules), 1, rules)
        number = re.match(r"(\d+)-.+\.rules$", rules[0])
        self.assertIsNotNone(number, rules[0])
        # Below 73-seat-late.rules, which turns the uaccess tag into the user's access.
        self.assertLess(int(number.group(1)), 73)
        with open(os.path.join(folder, rules[0]), encoding="utf-8") as f:
            lines = [line for line in f.read().splitlines()
                     if line.strip() and not line.startswith("#")]
        tty = [line for line in lines if 'SUBSYSTEM=="tty"' in line]
        self.assertEqual(len(tty), 1, lines)
        for part in ['ATTRS{idVendor}=="0483"', 'ATTRS{idProduct}=="5740"', 'TAG+="uaccess"',
                     'ENV{ID_MM_DEVICE_IGNORE}="1"']:
            self.assertIn(part, tty[0])

    def test_installed_program_keeps_user_files_in_the_xdg_folders(self):
        run = e2e.Scratch("quillon-installed-run-")
        sim = e2e.Simulator(run.path("sim"))
        program = None
        try:
            config, data = run.path("config"), run.path("data")
            env = e2e.base_env(QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=config,
                               XDG_DATA_HOME=data, HOME=run.path("home"), **sim.env())
            sim.command("upload blocks=3 size=32")
            program = e2e.Program(self.usr_path("bin", "quillon"), env, run.path("out.txt"),
                                  cwd=run.dir)
            upload = os.path.join(data, "quillon", "quillon.dat")
            self.assertTrue(e2e.wait_for(lambda: os.path.exists(upload), 30), program.text())
            with open(upload, "rb") as f:
                self.assertEqual(f.read(), e2e.upload_bytes(3, 32))
            user_ini = os.path.join(config, "quillon", "lang.ini")
            with open(user_ini, "rb") as f:
                copy = f.read().decode("utf-16")
            self.assertIn("shipped=", copy)
            self.assertIn("MsgPortBusyOther=", copy)  # the shipped texts came along
            self.assertEqual(oct(os.stat(os.path.join(config, "quillon")).st_mode & 0o777),
                             "0o700")
            program.signal(signal.SIGTERM)
            self.assertEqual(program.wait(10), 0, program.text())
            # Nothing was written into the installed tree.
            self.assertEqual(os.listdir(self.usr_path("bin")), ["quillon"])
            self.assertFalse(os.path.exists(self.usr_path("share", "quillon", "quillon.dat")))
        finally:
            if program:
                program.kill()
            sim.stop()
            run.remove()


if __name__ == "__main__":
    BUILD = sys.argv.pop(1)
    unittest.main(verbosity=2)
