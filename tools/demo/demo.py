#!/usr/bin/env python3
"""QUILLON without a ScanTool: the program against the simulated ScanTool and the test update
server, set up so that every page has something to show.

  demo.py <path of quillon>

- Check Update finds a newer ROM and FLASH on the local server, downloads them (slowly enough
  to watch) and burns them into the simulated ScanTool; it then reports the new versions, so a
  second check finds nothing newer.
- Opening the Print page makes the ScanTool print a coloured battery report, then a voltage
  waveform.
- After a minute (QUILLON_DEMO_UPLOAD_AFTER seconds) the ScanTool offers an upload, which the
  program stores once the Internet Upgrade page is shown.

Everything lives in a private temporary folder, removed at the end.  The demo ends when the
window closes, on Ctrl+C, SIGTERM or SIGHUP; it stops every process it started."""

import ctypes
import json
import math
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.dirname(HERE)
SIMULATOR = os.path.join(TOOLS, "scantool_sim.py")
UPDATE_SERVER = os.path.join(TOOLS, "update_server.py")
sys.dont_write_bytecode = True
sys.path.insert(0, TOOLS)
from scantool_sim import client  # noqa: E402

DEVICE = {"type": "KV100", "subtype": "STD", "rom": "2.3.1", "flash": "2.3.0"}
OFFER = {"rom": ("2.4.0", "kv100-rom-2.4.0.bin", 128 * 1024),
         "flash": ("2.3.4", "kv100-flash-2.3.4.bin", 64 * 1024)}
REPLY_DELAY_MS = 15  # the simulated ScanTool's answer time: the burns last about 6 s
TRICKLE = "bytes=4096 interval=0.03"  # downloads at about 130 KB/s
FOREVER_MS = 10 * 24 * 3600 * 1000
PR_SET_PDEATHSIG = 1

UPLOAD_TEXT = """ScanTool session log
Vehicle: VIN DEMO0000000000001, 1.6 l petrol, 152340 km
Stored trouble codes:
  P0301 Cylinder 1 misfire detected
  P0171 System too lean (bank 1)
Freeze frame (P0301): engine speed 820 rpm, coolant 88 C, load 23 %, fuel trim +14 %
Battery: 12.64 V at rest, 14.1 V charging, cranking minimum 10.2 V
Readiness: catalyst ready, evaporative system not ready, oxygen sensor ready
"""


def cranking_waveform(count=1000):
    """A battery's voltage through an engine start, in 0.1 V: at rest, the starter's inrush,
    cranking with a dip at each compression, then the alternator charging."""
    rng = random.Random(3)
    samples = []
    for i in range(count):
        if i < 150:
            volts = 12.6
        elif i < 160:
            volts = 12.6 - (i - 149) * 0.3
        elif i < 420:
            volts = 10.4 + 0.4 * math.sin((i - 160) * 2 * math.pi / 26)
        elif i < 520:
            volts = 10.4 + (i - 420) * 0.038
        else:
            volts = 14.2 + 0.1 * math.sin(i * 2 * math.pi / 9)
        samples.append(int(round(volts * 10 + rng.choice((-0.4, 0, 0, 0.4)))))
    return samples


def say(text):
    print("[demo] " + text, flush=True)


def _child_setup():
    """Each child in its own process group, so that Ctrl+C reaches only the demo, which then
    ends them in order; and each ends with the demo even when the demo is killed outright."""
    os.setpgid(0, 0)
    libc = ctypes.CDLL(None)
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def demo_image(title, size, seed):
    """A recognisable head, then bytes that look like firmware."""
    rng = random.Random(seed)
    head = ("QUILLON demo %s\0" % title).encode()
    return head + bytes(rng.getrandbits(8) for _ in range(size - len(head)))


class Demo:
    def __init__(self, exe):
        self.source_exe = os.path.abspath(exe)
        self.dir = os.path.realpath(tempfile.mkdtemp(prefix="quillon-demo-"))
        self.children = []
        self.exe = self.path("app", "quillon")
        self.program = None
        self.stop_requested = None
        self.upload_after = float(os.environ.get("QUILLON_DEMO_UPLOAD_AFTER", "60"))

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    # Setting up --------------------------------------------------------------------------

    def prepare(self):
        for folder in ("app", "dev", "sys/class/tty", "served", "burned", "tmp"):
            os.makedirs(self.path(folder))
        # The program runs from a folder of its own: its language choice and the upload file
        # stay in the demo's folder, and every process of it is known by its executable's path.
        try:
            os.link(self.source_exe, self.exe)
        except OSError:
            shutil.copy2(self.source_exe, self.exe)
        beside = os.path.dirname(self.source_exe)
        if os.path.exists(os.path.join(beside, "lang.ini")):
            shutil.copy(os.path.join(beside, "lang.ini"), self.path("app", "lang.ini"))
        for name in ("DtcLookup", "manual"):
            if os.path.isdir(os.path.join(beside, name)):
                os.symlink(os.path.join(beside, name), self.path("app", name))
        offers = {}
        for seed, kind in enumerate(("rom", "flash")):
            version, name, size = OFFER[kind]
            with open(self.path("served", name), "wb") as f:
                f.write(demo_image("%s %s" % (kind.upper(), version), size, seed))
            offers[kind] = {"version": version, "file": name}
        with open(self.path("offers.json"), "w") as f:
            json.dump({"default": offers}, f)
        with open(self.path("upload.txt"), "w") as f:
            f.write(UPLOAD_TEXT)

    def start_server(self):
        self.server = subprocess.Popen(
            [sys.executable, "-B", UPDATE_SERVER, "--images", self.path("served"), "--offers",
             self.path("offers.json"), "--log", self.path("requests.jsonl")],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=open(self.path("server.txt"), "w"),
            text=True, bufsize=1, preexec_fn=_child_setup)
        self.children.append(self.server)
        ready = self.server.stdout.readline().split()
        if len(ready) != 2 or ready[0] != "READY":
            raise RuntimeError("the update server did not start")
        self.port = int(ready[1])
        # Slow enough that the gauge shows each download.
        self.server.stdin.write("fault trickle target=images %s\n" % TRICKLE)
        if not self.server.stdout.readline().startswith("ok"):
            raise RuntimeError("the update server refused the download pace")

    def start_simulator(self):
        self.sim_socket = self.path("sim.sock")
        self.sim = subprocess.Popen(
            [sys.executable, "-B", SIMULATOR, "--dev-dir", self.path("dev"), "--sysfs-root",
             self.path("sys"), "--image-dir", self.path("burned"), "--control", self.sim_socket,
             "--type", DEVICE["type"], "--subtype", DEVICE["subtype"], "--rom-version",
             DEVICE["rom"], "--flash-version", DEVICE["flash"], "--adopt-versions",
             "--delay-ms", str(REPLY_DELAY_MS), "--product", "ScanTool (simulated)"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=open(self.path("sim.txt"), "w"),
            text=True, bufsize=1, preexec_fn=_child_setup)
        self.children.append(self.sim)
        ready = self.sim.stdout.readline().split()
        if not ready or ready[0] != "READY":
            raise RuntimeError("the simulated ScanTool did not start")

    def start_program(self):
        env = dict(os.environ, QUILLON_DEV_DIR=self.path("dev"),
                   QUILLON_SYSFS_ROOT=self.path("sys"),
                   QUILLON_UPDATE_HOST="127.0.0.1:%d" % self.port, QUILLON_ONLINE="1",
                   QUILLON_DEMO="1", TMPDIR=self.path("tmp"))
        self.program = subprocess.Popen([self.exe], cwd=self.path("app"), env=env,
                                        stdin=subprocess.DEVNULL, preexec_fn=_child_setup)

    # Talking to the simulated ScanTool ----------------------------------------------------

    def sim_command(self, line):
        return client.command(self.sim_socket, line)

    def print_when_asked(self):
        """A visit of the Print page: a report, then a waveform a few seconds later.  The next
        visit after the program has talked to the ScanTool again brings new ones."""
        while True:
            if self.sim_command("wait reader=print timeout_ms=%d" % FOREVER_MS) != "ok print":
                return
            say("Print page open: the ScanTool prints a battery report, then a voltage "
                "waveform.")
            self.sim_command("report codepage=28605 split=64 gap_ms=30")
            time.sleep(4)
            samples = cranking_waveform()
            for start in range(0, len(samples), 100):
                self.sim_command("wave " + " ".join(map(str, samples[start:start + 100])))
                time.sleep(0.09)
            self.sim_command("wave_end")
            # Bytes of any kind would bring the report back over the chart: no probing now,
            # but again once the program talks to the ScanTool from another page.
            if self.sim_command("wait reader=other probe=0 timeout_ms=%d" % FOREVER_MS) != \
                    "ok other":
                return

    def upload_later(self):
        time.sleep(self.upload_after)
        say("The ScanTool has an upload for the PC; it goes while the Internet Upgrade page is "
            "shown.")
        plan = "upload file=%s size=128" % self.path("upload.txt")
        while True:
            # The recorder of that page asks every 3 s: arm the upload just after a request,
            # and take it back when the next does not come (the page was left).
            seen = int(self.sim_command("count code=0x0104").split()[1])
            if self.sim_command("wait code=0x0104 count=%d timeout_ms=%d" % (
                    seen + 1, FOREVER_MS)).split()[0] != "ok":
                return
            self.sim_command(plan)
            if self.sim_command("wait upload=done timeout_ms=4500") == "ok done":
                break
            if "upload=sending" in self.sim_command("status") and \
                    self.sim_command("wait upload=done timeout_ms=30000") == "ok done":
                break
            self.sim_command("upload cancel")
        stored = self.path("app", "quillon.dat")
        expected = UPLOAD_TEXT.encode()
        for _ in range(50):
            if os.path.exists(stored) and os.path.getsize(stored) == len(expected):
                break
            time.sleep(0.1)
        same = os.path.exists(stored) and open(stored, "rb").read() == expected
        say("Upload stored: %d bytes in %s%s" % (
            len(expected), stored, "" if same else " (NOT what the ScanTool sent)"))

    # Running and ending --------------------------------------------------------------------

    @staticmethod
    def quietly(work):
        try:
            work()
        except (OSError, ValueError, IndexError):
            pass  # the simulated ScanTool has gone: the demo is ending

    def program_processes(self):
        """Every running process of the demo's executable: the one started, and a fresh copy
        that it started when the language was changed."""
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                if os.readlink("/proc/%s/exe" % entry) == self.exe:
                    found.append(int(entry))
            except OSError:
                pass
        return found

    def run(self):
        self.prepare()
        self.start_server()
        self.start_simulator()
        self.start_program()
        say("QUILLON runs against a simulated ScanTool (COM1) and a local update server "
            "(http://127.0.0.1:%d)." % self.port)
        say("Try: Check Update (ScanTool %s %s, ROM %s, FLASH %s; the server offers ROM %s, "
            "FLASH %s)," % (DEVICE["type"], DEVICE["subtype"], DEVICE["rom"], DEVICE["flash"],
                            OFFER["rom"][0], OFFER["flash"][0]))
        say("the Print tab, DTC Lookup, the Manual (F1), Local Upgrade (Ctrl+L). An upload "
            "follows in %g s." % self.upload_after)
        say("Close the window or press Ctrl+C to end the demo.")
        for work in (self.print_when_asked, self.upload_later):
            threading.Thread(target=self.quietly, args=(work,), daemon=True).start()
        while self.stop_requested is None:
            if self.program.poll() is not None and not self.program_processes():
                break
            time.sleep(0.2)

    def stop(self):
        """The program first (it closes the port as its close button does), then the rest."""
        pids = self.program_processes() if self.program else []
        for pid in pids:
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        deadline = time.monotonic() + 10
        while self.program_processes() and time.monotonic() < deadline:
            if self.program:
                self.program.poll()
            time.sleep(0.05)
        for pid in self.program_processes():
            os.kill(pid, signal.SIGKILL)
        if self.program:
            try:
                self.program.wait(5)
            except subprocess.TimeoutExpired:
                pass
        for child in reversed(self.children):
            try:
                child.stdin.write("quit\n")
                child.stdin.close()
            except OSError:
                pass
            try:
                child.wait(5)
            except subprocess.TimeoutExpired:
                child.kill()
                child.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def main():
    if len(sys.argv) != 2 or sys.argv[1].startswith("-"):
        print(__doc__)
        return 2
    demo = Demo(sys.argv[1])

    def on_signal(number, frame):
        demo.stop_requested = number

    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, on_signal)
    try:
        demo.run()
    finally:
        # The window's close button, Ctrl+C and a termination signal all end up here.
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        demo.stop()
    say("Demo ended.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
