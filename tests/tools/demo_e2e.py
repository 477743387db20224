#!/usr/bin/env python3
"""The README's first command on a fresh clone: `tools/run.sh --demo`, run in a `git clone` of
the source folder under a virtual X server (the caller provides DISPLAY).  Building in the clone
would take many minutes, so QUILLON_EXE hands it the executable built already; everything else
(the script, the demo, the simulated ScanTool, the update server) comes from the clone.

- The window's title says that it is a demo.  The ScanTool's upload (offered at once here)
  lands in the upload file.  Check Update burns the newer ROM and FLASH: "Upgrade finished!",
  and the simulated ScanTool holds exactly the served images.  The Print page receives a report
  (Copy puts it, Persian phrases included, on the clipboard) and then a waveform.  The DTC,
  Manual, Local Upgrade pages and the language dialog are visited for screenshots; choosing
  German restarts the program, and the demo follows the fresh copy.
- The demo ends by the window's close button, by Ctrl+C (SIGINT to the terminal's process
  group) and by SIGTERM to run.sh: each time no process of it is left, its update server's
  port is closed and its temporary folder is gone.
- Without an option run.sh starts the program directly when a ScanTool is plugged in and the
  demo otherwise; --demo and --device choose (checked with a stand-in executable).

Screenshots go to <artefacts>/demo; those cropped to the window, for the README, to
<artefacts>/demo/docs (tools/docs/screenshots.sh copies them into docs/).

  demo_e2e.py <path of quillon> <source folder> <artefact folder>
"""

import glob
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "..", "tools")]
from scantool_sim import client  # noqa: E402
from xwindow import (Failure, click, dismiss, geometry, message_text, pixels, run,  # noqa: E402
                     wait_until, windows)

CHECK_BUTTON = (385, 610)
PLATE = (616, 600)  # a point on the connectivity plate (red offline, blue online)
TABS = {"upgrade": (168, 116), "print": (478, 116), "dtc": (792, 116)}
COPY = (421, 178)
SEARCH = (235, 180)  # the DTC page's search field
SETTINGS = (852, 30)
DEUTSCH, CONFIRM = (199, 378), (316, 449)  # in the language dialog
CLOSE = (932, 30)
WINDOW = (960, 700)  # with the language dialog, which stands at a fixed place on the screen, it
# needs a screen of 1920 x 1080 to be seen whole
REPORT_PIECES = ["==== Battery test report ====", "مقدار ولتاژ: 12.64 V",
                 "باترى سالم است"]


def leftovers(marker):
    """Processes whose command line, executable or working folder mentions `marker`."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                cmdline = f.read().replace(b"\0", b" ").decode(errors="replace")
            exe = os.readlink("/proc/%s/exe" % entry)
            cwd = os.readlink("/proc/%s/cwd" % entry)
        except OSError:
            continue
        if marker in cmdline or marker in exe or cwd.startswith(marker):
            found.append("%s: %s" % (entry, cmdline.strip()))
    return found


def port_open(port):
    with socket.socket() as s:
        s.settimeout(1)
        return s.connect_ex(("127.0.0.1", port)) == 0


class DemoRun:
    """`tools/run.sh <args>` in the clone, in a session of its own like a terminal's job."""

    def __init__(self, test, args=("--demo",), env=None, name="demo"):
        self.test = test
        self.output = os.path.join(test.scratch, name + ".txt")
        self.earlier = set(self.folders())
        self.found = None
        with open(self.output, "w") as out:
            self.process = subprocess.Popen(
                ["tools/run.sh", *args], cwd=test.clone, env=env or test.env,
                stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        self.window = None

    def text(self):
        with open(self.output, encoding="utf-8", errors="replace") as f:
            return f.read()

    def line(self, pattern, timeout):
        return wait_until(repr(pattern), lambda: re.search(pattern, self.text()), timeout)

    def folders(self):
        return glob.glob(os.path.join(self.test.tmp, "quillon-demo-*"))

    def folder(self):
        """This run's temporary folder while it exists, else None."""
        if self.found is None:
            new = [f for f in self.folders() if f not in self.earlier]
            self.found = new[0] if new else None
        return self.found if self.found and os.path.exists(self.found) else None

    def port(self):
        return int(self.line(r"http://127\.0\.0\.1:(\d+)", 30).group(1))

    def sim(self, line):
        return client.command(os.path.join(self.folder(), "sim.sock"), line)

    def sim_count(self, code):
        return int(self.sim("count code=%#06x" % code).split()[1])

    def wait_window(self):
        self.window = wait_until("the demo's window",
                                 lambda: windows(r"^QUILLON \(demo\)$"), 60)[0]
        time.sleep(0.5)
        self.x, self.y, _, _ = geometry(self.window)
        if self.folder() is None:
            raise Failure("the demo's window is up but not its temporary folder")

    def click(self, point, pause=0.5):
        click(self.x + point[0], self.y + point[1])
        time.sleep(pause)

    def key(self, keys, pause=0.8):
        run("xdotool", "windowfocus", "--sync", str(self.window))
        run("xdotool", "key", keys)
        time.sleep(pause)

    def pixels(self, left, top, width=1, height=1):
        """The colours (r, g, b) in a rectangle of the window."""
        return pixels(self.x + left, self.y + top, width, height)

    def pixel(self, point):
        return self.pixels(*point)[0]

    def shot(self, name, docs=False, window=None):
        """The screen for the artefacts; with `docs`, the window alone (the main window, or
        the one given) for the README."""
        subprocess.run(["import", "-window", "root", os.path.join(self.test.artifacts,
                                                                  name + ".png")])
        if docs:
            x, y, width, height = geometry(window) if window else (self.x, self.y) + WINDOW
            subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
                width, height, x, y), "+repage", os.path.join(self.test.docs, name + ".png")])

    def boxes(self):
        """The program's message boxes: titled with its name, unlike the demo's window."""
        return windows("^QUILLON$")

    def read_message(self, timeout, shot):
        box = wait_until("a message box", self.boxes, timeout)[0]
        time.sleep(0.3)
        self.shot(shot)
        return box, message_text(box)

    def dismiss(self, box):
        dismiss(box, self.boxes)

    def ended(self, timeout):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        """Ends a run that a failed check left going, so that the next one starts clean."""
        if self.process.poll() is None:
            self.process.terminate()
            if self.ended(30) is None:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()
        if self.found:
            for line in leftovers(self.found):
                os.kill(int(line.split(":")[0]), signal.SIGKILL)


class Test:
    def __init__(self, exe, source, artifacts):
        self.artifacts = os.path.join(artifacts, "demo")
        self.docs = os.path.join(self.artifacts, "docs")
        os.makedirs(self.docs, exist_ok=True)
        self.scratch = os.path.realpath(tempfile.mkdtemp(prefix="quillon-demo-e2e-"))
        self.clone = os.path.join(self.scratch, "clone")
        self.tmp = os.path.join(self.scratch, "tmp")
        os.makedirs(self.tmp)
        os.makedirs(os.path.join(self.scratch, "home"))
        subprocess.run(["git", "clone", "-q", source, self.clone], check=True)
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("QUILLON_")}
        self.env.update(HOME=os.path.join(self.scratch, "home"), TMPDIR=self.tmp,
                        QUILLON_EXE=os.path.abspath(exe), QUILLON_DEMO_UPLOAD_AFTER="0")
        self.failures = []
        self.runs = []

    def expect(self, what, got, wanted):
        if got != wanted:
            self.failures.append("%s: got %r, wanted %r" % (what, got, wanted))

    def start(self, *args, **kw):
        demo = DemoRun(self, *args, **kw)
        self.runs.append(demo)
        return demo

    def check_ended(self, how, demo, code):
        """Nothing of the demo left: processes, the server's port, the temporary folder."""
        port = demo.port()
        self.expect(how + ": exit code", code, 0)
        self.expect(how + ": last words", "[demo] Demo ended." in demo.text(), True)
        self.expect(how + ": processes left", leftovers(demo.found or "(no folder)"), [])
        self.expect(how + ": update server's port open", port_open(port), False)
        self.expect(how + ": temporary folder left", demo.folder(), None)

    def whole_demo(self):
        demo = self.start()
        demo.wait_window()
        self.expect("title", run("xdotool", "getwindowname", str(demo.window)),
                    "QUILLON (demo)")
        folder = demo.folder()
        stored = demo.line(r"\[demo\] Upload stored: (\d+) bytes in (\S+)(.*)", 30)
        self.expect("upload file", (stored.group(2), stored.group(3)),
                    (os.path.join(folder, "app", "quillon.dat"), ""))
        wait_until("Internet Connected", lambda: demo.pixel(PLATE)[2] > demo.pixel(PLATE)[0],
                   20, interval=0.3)
        demo.shot("idle")

        demo.click(CHECK_BUTTON, pause=0)
        wait_until("the ROM burn", lambda: demo.sim_count(0x0403) >= 120, 30)
        demo.shot("internet-upgrade", docs=True)
        box, text = demo.read_message(60, "upgrade-finished")
        self.expect("upgrade message", text, "Upgrade finished!")
        demo.dismiss(box)
        served = sorted(glob.glob(os.path.join(folder, "served", "*")))
        for kind, path in ((1, next(p for p in served if "-rom-" in p)),
                           (2, next(p for p in served if "-flash-" in p))):
            burned = demo.sim("image %d" % kind).split()[1]
            with open(path, "rb") as a, open(burned, "rb") as b:
                self.expect("image %d as burned" % kind, a.read() == b.read(), True)

        demo.click(TABS["print"])
        demo.line(r"Print page open", 20)
        time.sleep(1.5)
        demo.shot("print", docs=True)
        subprocess.run(["xclip", "-selection", "clipboard", "-l", "1"], input="", text=True)
        demo.click(COPY)
        copied = run("xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING")
        for piece in REPORT_PIECES:
            self.expect("report holds " + piece, piece in copied, True)
        # The waveform follows the report after 4 s and takes about 1.5 s; the chart then
        # shows its red curve where the alternator charges at 14.2 V, right of the report's
        # short lines.
        time.sleep(6.5)
        demo.shot("print-waveform", docs=True)
        self.expect("waveform drawn", any(r > 180 and g < 80 and b < 80 for r, g, b in
                                          demo.pixels(600, 260, 300, 40)), True)

        demo.click(TABS["dtc"])
        demo.click(SEARCH)
        run("xdotool", "type", "--delay", "60", "P030")
        time.sleep(0.8)
        demo.shot("dtc-lookup", docs=True)
        demo.key("F1")
        demo.shot("manual", docs=True)
        demo.key("ctrl+l")
        demo.shot("local-upgrade", docs=True)
        demo.key("ctrl+1")
        demo.click(SETTINGS, pause=1)
        dialog = wait_until("the language dialog",
                            lambda: [w for w in windows(".") if w != demo.window], 5)[0]
        demo.shot("language", docs=True, window=dialog)
        # German: the program starts a fresh copy of itself, which the demo follows.
        # The fresh copy's window may well get the same id: told apart by its process.
        first = run("xdotool", "getwindowpid", str(demo.window))
        x, y, _, _ = geometry(dialog)
        for point in (DEUTSCH, CONFIRM):
            run("xdotool", "mousemove", str(x + point[0]), str(y + point[1]), "click", "1")
            time.sleep(0.4)
        wait_until("the fresh copy's window", lambda: [
            w for w in windows(r"^QUILLON \(demo\)$")
            if run("xdotool", "getwindowpid", str(w)) not in ("", first)], 30)
        demo.wait_window()
        demo.shot("restarted")

        demo.click(CLOSE, pause=0)
        self.check_ended("close button", demo, demo.ended(30))

    def stopped_by_signal(self):
        # Ctrl+C reaches every process of the terminal's foreground group; SIGTERM only run.sh.
        for how, stop in (("Ctrl+C", lambda p: os.killpg(p.pid, signal.SIGINT)),
                          ("SIGTERM", lambda p: os.kill(p.pid, signal.SIGTERM))):
            demo = self.start(name="demo-" + how)
            demo.wait_window()
            demo.line(r"Close the window", 10)
            stop(demo.process)
            self.check_ended(how, demo, demo.ended(30))

    def mode_choice(self):
        """Which way run.sh starts, with a stand-in executable that notes how it was started."""
        stub = os.path.join(self.scratch, "stub")
        note = os.path.join(self.scratch, "stub.txt")
        with open(stub, "w") as f:
            f.write('#!/bin/sh\necho "demo=${QUILLON_DEMO:-0}" >>"%s"\n' % note)
        os.chmod(stub, 0o755)
        trees = {}
        for name, vendor in (("scantool", "0483"), ("other", "1234")):
            root = os.path.join(self.scratch, "sys-" + name)
            usb = os.path.join(root, "devices", "pci0000:00", "usb1", "1-1")
            tty = os.path.join(usb, "1-1:1.0", "tty", "ttyACM0")
            os.makedirs(tty)
            os.makedirs(os.path.join(root, "class", "tty"))
            for field, value in (("idVendor", vendor), ("idProduct", "5740")):
                with open(os.path.join(usb, field), "w") as f:
                    f.write(value + "\n")
            os.symlink("../..", os.path.join(tty, "device"))
            os.symlink(os.path.relpath(tty, os.path.join(root, "class", "tty")),
                       os.path.join(root, "class", "tty", "ttyACM0"))
            trees[name] = root
        cases = [("scantool", (), "demo=0"), ("other", (), "demo=1"),
                 ("scantool", ("--demo",), "demo=1"), ("other", ("--device",), "demo=0")]
        for tree, args, wanted in cases:
            if os.path.exists(note):
                os.remove(note)
            env = dict(self.env, QUILLON_EXE=stub, QUILLON_SYSFS_ROOT=trees[tree])
            demo = self.start(args, env=env, name="mode")
            self.expect("run.sh %s with %s: exit code" % (" ".join(args), tree),
                        demo.ended(30), 0)
            got = open(note).read().strip() if os.path.exists(note) else "not started"
            self.expect("run.sh %s with %s" % (" ".join(args), tree), got, wanted)

    def finish(self):
        for demo in self.runs:
            demo.stop()
        self.expect("processes left at the end", leftovers(self.scratch), [])
        for name in sorted(os.listdir(self.scratch)):
            if name.endswith(".txt") and self.failures:
                with open(os.path.join(self.scratch, name), errors="replace") as f:
                    print("---", name)
                    print(f.read()[-3000:])
        shutil.rmtree(self.scratch, ignore_errors=True)


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    exe, source, artifacts = sys.argv[1:]
    for tool in ("git", "xdotool", "xclip", "import"):
        if not shutil.which(tool):
            print("skipped: %s is missing" % tool)
            return 77
    if subprocess.run(["git", "-C", source, "rev-parse", "HEAD"],
                      capture_output=True).returncode != 0:
        print("skipped: %s is not a git checkout to clone" % source)
        return 77
    test = Test(exe, source, artifacts)
    try:
        for part in (test.mode_choice, test.whole_demo, test.stopped_by_signal):
            try:
                part()
            except Failure as error:
                test.failures.append("%s: %s" % (part.__name__, error))
            for demo in test.runs:
                demo.stop()
    finally:
        test.finish()
    for failure in test.failures:
        print("FAIL:", failure)
    print("screenshots:", test.artifacts)
    return 1 if test.failures else 0


if __name__ == "__main__":
    sys.exit(main())
