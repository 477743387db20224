#!/usr/bin/env python3
"""The real program under a Wayland compositor (weston with its headless backend and the
pixman renderer): it starts, paints its first frame, shows one borderless 960 x 700 top-level
window under its desktop entry's app id, and ends with exit code 0 on SIGTERM.  A screenshot of
the compositor's output goes to the artefact folder.

    wayland_e2e.py <path of quillon> <artefact folder>
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import e2e  # noqa: E402

EXE = None
ARTIFACTS = None


class Weston:
    """A private headless compositor; its socket lives in its own runtime folder."""

    def __init__(self, folder):
        self.runtime = os.path.join(folder, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        self.socket = "quillon-wayland"
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, WAYLAND_DISPLAY=self.socket)
        self.env.pop("DISPLAY", None)
        self.log = open(os.path.join(folder, "weston.log"), "wb")
        # --debug lets weston-debug and weston-screenshooter in.
        self.proc = subprocess.Popen(
            ["weston", "--backend=headless-backend.so", "--use-pixman", "--width=1280",
             "--height=1024", "--idle-time=0", "--debug", f"--socket={self.socket}"],
            env=self.env, stdout=self.log, stderr=subprocess.STDOUT)
        socket = os.path.join(self.runtime, self.socket)
        if not e2e.wait_for(lambda: os.path.exists(socket) or self.proc.poll() is not None, 20) \
                or self.proc.poll() is not None:
            raise RuntimeError("weston did not start")

    def run(self, *command, cwd=None):
        return subprocess.run(command, env=self.env, cwd=cwd, capture_output=True, text=True,
                              timeout=20)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()


def toplevel_of(scene, pid):
    """(title, app id, width, height) of the process's top-level view in a scene-graph dump."""
    pattern = re.compile(
        r"role xdg_toplevel, PID (\d+), surface ID \d+, top-level window '([^']*)' of "
        r"([^,]+),.*?\n\s*position: \((-?\d+), (-?\d+)\) -> \((-?\d+), (-?\d+)\)")
    for m in pattern.finditer(scene):
        if int(m.group(1)) == pid:
            x0, y0, x1, y1 = (int(v) for v in m.group(4, 5, 6, 7))
            return m.group(2), m.group(3), x1 - x0, y1 - y0
    return None


class UnderWayland(unittest.TestCase):
    def test_starts_paints_and_ends_on_sigterm(self):
        scratch = e2e.Scratch("quillon-wayland-")
        weston = Weston(scratch.dir)
        program = None
        try:
            exe = scratch.path("quillon")
            shutil.copy(EXE, exe)
            os.makedirs(scratch.path("dev"))
            os.makedirs(scratch.path("sys", "class", "tty"))
            env = e2e.base_env(QT_QPA_PLATFORM="wayland", QUILLON_REPORT_FIRST_PAINT="1",
                               QUILLON_DEV_DIR=scratch.path("dev"),
                               QUILLON_SYSFS_ROOT=scratch.path("sys"))
            env.update({k: weston.env[k] for k in ("XDG_RUNTIME_DIR", "WAYLAND_DISPLAY")})
            env.pop("DISPLAY", None)  # no way back to X11
            program = e2e.Program(exe, env, scratch.path("out.txt"), cwd=scratch.dir)
            self.assertTrue(e2e.wait_for(lambda: "first-paint " in program.text(), 30),
                            program.text())

            view = e2e.wait_for(lambda: toplevel_of(
                weston.run("weston-debug", "scene-graph").stdout, program.proc.pid), 10)
            self.assertEqual(view, ("QUILLON", "org.quillon.Quillon", 960, 700))

            shot = weston.run("weston-screenshooter", cwd=scratch.dir)
            for name in os.listdir(scratch.dir):
                if name.startswith("wayland-screenshot") and name.endswith(".png"):
                    shutil.move(scratch.path(name), os.path.join(ARTIFACTS, "main_window_wayland.png"))
            self.assertEqual(shot.returncode, 0, shot.stderr)

            self.assertTrue(program.alive())
            program.signal(signal.SIGTERM)
            self.assertEqual(program.wait(10), 0, program.text())
        finally:
            if program:
                program.kill()
            weston.stop()
            scratch.remove()


if __name__ == "__main__":
    EXE = sys.argv.pop(1)
    ARTIFACTS = sys.argv.pop(1)
    os.makedirs(ARTIFACTS, exist_ok=True)
    unittest.main(verbosity=2)
