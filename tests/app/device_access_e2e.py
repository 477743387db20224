#!/usr/bin/env python3
"""A ScanTool whose port cannot be opened, with the real program under a virtual X server:
the user is told why in one message box, the status line keeps its "connecting" text, and the
program connects by itself once the port can be opened, without a new plug-in.

- Permission: the pty behind the fake /dev gets mode 000 and the program runs as the
  unprivileged user "nobody" (root opens anything); then the mode is relaxed.
- Busy: another process ("ModemManager") holds the port exclusively; then it lets go.  The
  program then ends on SIGTERM while its message box is still open.

Needs root (to change the pty's mode and to start the program as "nobody"), setpriv, xdotool,
xprop and import; exits with 77 (skipped) otherwise.  Run it under a virtual X server that
lets any user connect (Xvfb -ac).

    device_access_e2e.py <path of quillon> <artefact folder>
"""

import os
import shutil
import signal
import subprocess
import sys
import time
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import e2e  # noqa: E402

EXE = None
ARTIFACTS = None


def windows(name="^QUILLON$"):
    """Ids of the visible windows with this name."""
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                         capture_output=True, text=True).stdout
    return out.split()


def is_dialog(window):
    out = subprocess.run(["xprop", "-id", window, "_NET_WM_WINDOW_TYPE"], capture_output=True,
                         text=True).stdout
    return "_NET_WM_WINDOW_TYPE_DIALOG" in out


def message_boxes():
    """The program's message boxes: its visible windows of the dialog type."""
    return [w for w in windows() if is_dialog(w)]


def screenshot(name):
    subprocess.run(["import", "-window", "root", os.path.join(ARTIFACTS, name)],
                   capture_output=True)


def hold_port(path, name):
    """A child that holds `path` exclusively under the command name `name`, as a modem-probing
    service does.  Returns its Popen."""
    code = (
        "import ctypes, fcntl, os, sys, termios, time\n"
        f"ctypes.CDLL(None).prctl(15, {name!r}.encode(), 0, 0, 0)\n"
        f"fd = os.open({path!r}, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)\n"
        "fcntl.ioctl(fd, termios.TIOCEXCL)\n"
        "print('held', flush=True)\n"
        "time.sleep(600)\n")
    holder = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE, text=True)
    if holder.stdout.readline().strip() != "held":
        raise RuntimeError("the holder could not take the port")
    return holder


class DeviceAccess(unittest.TestCase):
    def setUp(self):
        # Under /tmp with mode 755: "nobody" must reach the program and the fake trees.
        self.scratch = e2e.Scratch("quillon-access-", base="/tmp")
        os.chmod(self.scratch.dir, 0o755)
        self.exe = self.scratch.path("quillon")
        shutil.copy(EXE, self.exe)
        os.chmod(self.exe, 0o755)
        self.sim = e2e.Simulator(self.scratch.path("sim"))
        for folder, _, _ in os.walk(self.scratch.path("sim")):
            os.chmod(folder, 0o755)
        self.program = None
        self.holder = None

    def tearDown(self):
        if self.program:
            self.program.kill()
        if self.holder:
            self.holder.kill()
            self.holder.wait()
        self.sim.stop()
        self.scratch.remove()

    def start(self, as_nobody):
        home = self.scratch.path("home")
        os.makedirs(home, exist_ok=True)
        env = e2e.base_env(HOME=home, XDG_RUNTIME_DIR=home, **self.sim.env())
        output = self.scratch.path("out.txt")
        if not as_nobody:
            self.program = e2e.Program(self.exe, env, output, cwd=self.scratch.dir)
            return
        # lang.ini and the upload file go beside the program.
        shutil.chown(self.scratch.dir, "nobody")
        shutil.chown(home, "nobody")
        # The sanitizer build reads its suppressions as "nobody", who may not reach the
        # checkout: hand it a copy.
        options = env.get("LSAN_OPTIONS", "")
        if "suppressions=" in options:
            source = options.split("suppressions=", 1)[1].split(":", 1)[0]
            copy = self.scratch.path("lsan.supp")
            shutil.copy(source, copy)
            os.chmod(copy, 0o644)
            env["LSAN_OPTIONS"] = options.replace(source, copy)
        self.program = e2e.Program(
            shutil.which("setpriv"), env, output, cwd=self.scratch.dir,
            args=["--reuid=nobody", "--regid=nogroup", "--clear-groups", self.exe])

    def connected(self):
        return self.sim.received(e2e.UPLOAD_START) > 0

    def test_permission_denied_then_granted(self):
        pty = os.path.realpath(self.sim.device)
        os.chmod(pty, 0)
        self.start(as_nobody=True)
        self.assertTrue(e2e.wait_for(lambda: len(message_boxes()) == 1, 20), self.program.text())
        time.sleep(0.5)
        screenshot("port_permission_denied.png")
        # The modal box has the keyboard focus.  (A key sent to a window by id can fail half-way
        # and leave the key held down on a server that never resets.)
        subprocess.run(["xdotool", "key", "Return"])
        self.assertTrue(e2e.wait_for(lambda: not message_boxes(), 5))

        # Still denied for a few retries: told only once.
        time.sleep(5)
        self.assertEqual(message_boxes(), [])
        self.assertFalse(self.connected())

        # Access granted (as the device rule would): connected by the next retry.
        os.chmod(pty, 0o666)
        self.assertTrue(e2e.wait_for(self.connected, 6), self.program.text())
        self.assertEqual(message_boxes(), [])
        self.program.signal(signal.SIGTERM)
        self.assertEqual(self.program.wait(10), 0, self.program.text())

    def test_port_busy_then_free(self):
        self.holder = hold_port(self.sim.device, "ModemManager")
        self.start(as_nobody=False)
        # A busy port is told only once it stays busy for a while.
        self.assertTrue(e2e.wait_for(lambda: windows(), 20), self.program.text())
        time.sleep(2)
        self.assertEqual(message_boxes(), [])
        self.assertTrue(e2e.wait_for(lambda: len(message_boxes()) == 1, 10))
        time.sleep(0.5)
        screenshot("port_busy.png")

        # The holder lets go: connected by itself while the box is still open.
        self.holder.kill()
        self.holder.wait()
        self.holder = None
        self.assertTrue(e2e.wait_for(self.connected, 6), self.program.text())
        self.assertEqual(len(message_boxes()), 1)

        # A termination signal also ends a program that shows a modal box.
        self.program.signal(signal.SIGTERM)
        self.assertEqual(self.program.wait(10), 0, self.program.text())


if __name__ == "__main__":
    needed = ["setpriv", "xdotool", "xprop", "import"]
    if os.geteuid() != 0 or not all(shutil.which(tool) for tool in needed):
        print("skipped: needs root, " + ", ".join(needed))
        sys.exit(77)
    EXE = sys.argv.pop(1)
    ARTIFACTS = sys.argv.pop(1)
    os.makedirs(ARTIFACTS, exist_ok=True)
    unittest.main(verbosity=2)
