#!/usr/bin/env python3
"""Check Update end to end, the way a user does it: the real program under a virtual X server
(the caller provides DISPLAY), the simulated ScanTool and the test update server.

The program starts online (QUILLON_ONLINE=1); once the ScanTool is connected and the plate shows
"Internet Connected", each scenario clicks Check Update, reads every message box the program
shows (its text is selectable: a triple click puts it into the X primary selection), closes it
with Enter, and checks what the ScanTool and the server received:

  upgrade      both images newer: device information, version notice (count 2), ROM size, ROM
               blocks, FLASH size, FLASH blocks; the reassembled images equal the served files
               without their trailers; "Upgrade finished!"
  nothing      nothing newer: the version notice with count 0, then the message
  flash-404    the FLASH download fails after a good ROM download: nothing is burned
  bad-digest   the ROM's trailer carries a wrong digest: nothing is burned
  rom-notice   the ROM size notice fails: the FLASH image is still burned, then "Upgrade finished!"
  unplug       the ScanTool is pulled in the middle of the ROM burn: "Burn ROM fail!", the
               window idle again, and the ScanTool found again once it is plugged back
  close        a close request from the window system during a download: the run ends with its
               message, then the window closes and the program exits with 0
  close-button the skin's close button during a download ends the program at once, with 0

Screenshots go to the artefact folder.
  internet_upgrade_e2e.py <quillon> <scantool_sim.py> <update_server.py> <artefact folder>
"""
import ctypes
import ctypes.util
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "..", "tools")]
from scantool_sim import client  # noqa: E402
from xwindow import (Failure, click, dismiss, geometry, message_text, pixels,  # noqa: E402
                     wait_until, windows)

ROM_SIZE = 40 * 1024  # 80 blocks of 512
FLASH_SIZE = 20 * 1024 + 100  # 41 blocks
CHECK_BUTTON = (385, 610)  # the button's symbol, left of its caption
CHECK_CAPTION = (500, 610)  # the caption "Check Update" lying on the button
CLOSE_BUTTON = (932, 30)
PLATE = (616, 600)  # a point on the connectivity plate (red offline, blue online)
FINISHED = "Upgrade finished!"


class Simulator:
    def __init__(self, script, scratch):
        self.sock = os.path.join(scratch, "sim.sock")
        self.log = os.path.join(scratch, "frames.jsonl")
        self.images = os.path.join(scratch, "burned")
        self.dev = os.path.join(scratch, "dev")
        self.sys = os.path.join(scratch, "sys")
        out = open(os.path.join(scratch, "sim.txt"), "w")
        # Each reply leaves 10 ms late, so that a burn lasts long enough to be seen.
        self.process = subprocess.Popen(
            [sys.executable, script, "--dev-dir", self.dev, "--sysfs-root", self.sys,
             "--image-dir", self.images, "--log", self.log, "--control", self.sock,
             "--no-stdin", "--delay-ms", "10"], stdout=out, stderr=subprocess.STDOUT)
        wait_until("the simulator", lambda: "READY" in open(out.name).read(), 10)

    def command(self, line):
        answer = client.command(self.sock, line)
        if not answer.startswith("ok"):
            raise Failure("simulator: %s -> %s" % (line, answer))
        return answer

    def frames(self):
        self.command("sync")  # takes in everything sent so far and flushes the log
        with open(self.log) as f:
            return [json.loads(line) for line in f if line.strip()]

    def image(self, name):
        path = os.path.join(self.images, name)
        return open(path, "rb").read() if os.path.exists(path) else None

    def stop(self):
        self.process.terminate()
        self.process.wait()


class UpdateServer:
    def __init__(self, script, scratch, images):
        self.log = os.path.join(scratch, "requests.jsonl")
        out = open(os.path.join(scratch, "server.txt"), "w")
        self.process = subprocess.Popen(
            [sys.executable, script, "--images", images, "--log", self.log, "--no-stdin"],
            stdout=out, stderr=subprocess.STDOUT)
        line = wait_until("the update server", lambda: [
            l for l in open(out.name).read().splitlines() if l.startswith("READY")], 10)[0]
        self.port = int(line.split()[1])

    def command(self, line):
        url = "http://127.0.0.1:%d/__control?cmd=%s" % (self.port, urllib.parse.quote(line))
        answer = urllib.request.urlopen(url, timeout=5).read().decode().strip()
        if not answer.startswith("ok"):
            raise Failure("server: %s -> %s" % (line, answer))

    def requests(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return [json.loads(line) for line in f if line.strip()]

    def stop(self):
        self.process.terminate()
        self.process.wait()


def send_close_request(window):
    """What a window manager's close button sends: WM_DELETE_WINDOW in a WM_PROTOCOLS message."""
    x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(Event)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        raise Failure("cannot open the display")
    event = Event()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)


class Program:
    def __init__(self, exe, scratch, sim, server):
        env = dict(os.environ, QUILLON_DEV_DIR=sim.dev, QUILLON_SYSFS_ROOT=sim.sys,
                   QUILLON_ONLINE="1", QUILLON_UPDATE_HOST="127.0.0.1:%d" % server.port,
                   TMPDIR=os.path.join(scratch, "tmp"), HOME=os.path.join(scratch, "home"))
        self.out = open(os.path.join(scratch, "out.txt"), "a")
        self.process = subprocess.Popen([exe], cwd=scratch, env=env, stdout=self.out,
                                        stderr=subprocess.STDOUT)
        self.window = wait_until("the main window", lambda: windows("^QUILLON$"), 20)[0]
        time.sleep(0.5)
        self.x, self.y, _, _ = geometry(self.window)

    def click(self, point):
        click(self.x + point[0], self.y + point[1])

    def pixel(self, point):
        return pixels(self.x + point[0], self.y + point[1])[0]

    def online(self):
        r, g, b = self.pixel(PLATE)
        return b > r

    def boxes(self):
        return [w for w in windows("^QUILLON$") if w != self.window]

    def read_message(self, timeout, shot=None):
        """Waits for a message box, lets `shot` take a screenshot, reads the box's text."""
        box = wait_until("a message box", self.boxes, timeout)[0]
        time.sleep(0.3)
        if shot:
            shot()
        return box, message_text(box)

    def dismiss(self, box):
        dismiss(box, self.boxes)

    def messages(self, count, timeout, shots=None):
        """Reads and closes `count` messages in a row; `shots` holds a screenshot per message."""
        texts = []
        for i in range(count):
            box, text = self.read_message(timeout, shots[i] if shots and i < len(shots) else None)
            texts.append(text)
            self.dismiss(box)
        return texts

    def alive(self):
        return self.process.poll() is None


class Run:
    def __init__(self, args):
        self.exe, sim_script, server_script, self.artifacts = args
        self.artifacts = os.path.join(self.artifacts, "internet_upgrade")
        os.makedirs(self.artifacts, exist_ok=True)
        self.scratch = tempfile.mkdtemp(prefix="quillon-internet-")
        for folder in ("dev", "sys/class/tty", "served", "tmp", "home"):
            os.makedirs(os.path.join(self.scratch, folder), exist_ok=True)
        shutil.copy(self.exe, os.path.join(self.scratch, "quillon"))
        self.exe = os.path.join(self.scratch, "quillon")
        rng = random.Random(7)
        self.rom = bytes(rng.getrandbits(8) for _ in range(ROM_SIZE))
        self.flash = bytes(rng.getrandbits(8) for _ in range(FLASH_SIZE))
        open(os.path.join(self.scratch, "served", "a.rom"), "wb").write(self.rom)
        open(os.path.join(self.scratch, "served", "b.fls"), "wb").write(self.flash)
        self.sim = Simulator(sim_script, self.scratch)
        self.server = UpdateServer(server_script, self.scratch,
                                   os.path.join(self.scratch, "served"))
        self.offer("1.0.2", "2.0.1")
        self.program = None
        self.failures = []

    def offer(self, rom, flash):
        self.server.command("offer key=default rom=%s:a.rom flash=%s:b.fls" % (rom, flash))

    def shot(self, name):
        path = os.path.join(self.artifacts, name + ".png")
        subprocess.run(["import", "-window", "root", path], capture_output=True)
        return path

    def start_program(self):
        self.program = Program(self.exe, self.scratch, self.sim, self.server)
        # Connected: the upload recorder of the first page polls the open port.
        wait_until("the connection", lambda: self.device_since(0, uploads=True), 10)
        # The first connectivity check comes about five seconds after the start.
        wait_until("Internet Connected", self.program.online, 15, interval=0.2)

    def mark(self):
        return len(self.sim.frames()), len(self.server.requests())

    def device_since(self, start, uploads=False):
        """Valid requests the ScanTool received since frame `start`, as (code, payload)."""
        out = []
        for r in self.sim.frames()[start:]:
            if r.get("dir") != "rx" or r.get("error"):
                continue
            if (r["code"] == 0x0104) != uploads:
                continue
            out.append((r["code"], bytes.fromhex(r.get("payload", ""))))
        return out

    def trace(self, start):
        """The device requests since `start`, repeats folded: info, version, size ROM, ..."""
        names = {0x0103: "info", 0x0203: "version", 0x0303: "size", 0x0403: "blocks"}
        steps = []
        for code, payload in self.device_since(start):
            step = names.get(code, hex(code))
            if code in (0x0303, 0x0403):
                step += " ROM" if payload[0] == 1 else " FLASH"
            if not steps or steps[-1] != step:
                steps.append(step)
        return steps

    def server_since(self, start):
        return [r["path"].split("?")[0].rsplit("/", 1)[1] if "/images/" in r["path"] else "check"
                for r in self.server.requests()[start:]]

    def expect(self, scenario, what, got, wanted):
        if got != wanted:
            self.failures.append("%s: %s: got %r, wanted %r" % (scenario, what, got, wanted))

    def scenario(self, name, messages, device, server, click=CHECK_CAPTION, timeout=30,
                 shots=None, during=None):
        frames, requests = self.mark()
        self.program.click(click)
        if during:
            during(frames, requests)
        got = self.program.messages(len(messages), timeout, shots)
        self.expect(name, "messages", got, messages)
        self.expect(name, "device", self.trace(frames), device)
        self.expect(name, "server", self.server_since(requests), server)
        return frames

    def run(self):
        self.start_program()
        self.shot("page_online")
        burning = {}

        def shoot_burn(frames, requests):
            # The page while the ROM blocks go out.
            wait_until("the ROM burn", lambda: len([
                c for c, p in self.device_since(frames) if c == 0x0403]) >= 20, 20)
            burning["shot"] = self.shot("during_burn")

        everything = ["info", "version", "size ROM", "blocks ROM", "size FLASH", "blocks FLASH"]
        start = self.scenario("upgrade", [FINISHED], everything, ["check", "a.rom", "b.fls"],
                              click=CHECK_BUTTON, during=shoot_burn,
                              shots=[lambda: self.shot("finished")])
        self.shot("idle_after_upgrade")
        notices = [p for c, p in self.device_since(start) if c == 0x0203]
        sizes = [(p[0], int.from_bytes(p[1:5], "little"))
                 for c, p in self.device_since(start) if c == 0x0303]
        self.expect("upgrade", "version notice",
                    notices and (notices[0][0], notices[0][21:26], notices[0][31:36]),
                    (2, b"1.0.2", b"2.0.1"))
        self.expect("upgrade", "size notices", sizes, [(1, ROM_SIZE), (2, FLASH_SIZE)])
        self.expect("upgrade", "ROM as burned", self.sim.image("rom.bin") == self.rom, True)
        self.expect("upgrade", "FLASH as burned", self.sim.image("flash.bin") == self.flash, True)

        self.offer("1.0.0", "1.0")
        start = self.scenario(
            "nothing", ["Nothing to be upgrade, The local device is alread the latest!"],
            ["info", "version"], ["check"])
        notices = [p for c, p in self.device_since(start) if c == 0x0203]
        self.expect("nothing", "image count", notices and notices[0][0], 0)
        self.offer("1.0.2", "2.0.1")

        self.server.command("fault status code=404 target=/quillon/images/b.fls count=1")
        self.scenario("flash-404", ["Fail to download flash DTC files!"], ["info", "version"],
                      ["check", "a.rom", "b.fls"])

        self.server.command("fault bad-digest target=/quillon/images/a.rom count=1")
        self.scenario("bad-digest", ["check rom file MD5 failure, please update again!"],
                      ["info", "version"], ["check", "a.rom"])

        self.sim.command("fault status cmd=0x0303 count=3")
        self.scenario("rom-notice", ["Fail to nofity firmware size to device!", FINISHED],
                      ["info", "version", "size ROM", "size FLASH", "blocks FLASH"],
                      ["check", "a.rom", "b.fls"])
        self.expect("rom-notice", "FLASH as burned", self.sim.image("flash.bin") == self.flash,
                    True)

        # Pulled while block 30 of the ROM is on its way; five unanswered sends later the burn
        # gives up.
        self.sim.command("fault unplug cmd=0x0403 block=30")
        self.scenario("unplug", ["Burn ROM fail!"],
                      ["info", "version", "size ROM", "blocks ROM"], ["check", "a.rom", "b.fls"],
                      shots=[lambda: self.shot("unplugged_message")])
        time.sleep(0.5)
        self.shot("unplugged_idle")
        self.expect("unplug", "alive", self.program.alive(), True)
        frames = len(self.sim.frames())
        self.sim.command("plug")
        # Found again: the device-change notification reopens the port and the recorder polls.
        wait_until("the ScanTool found again", lambda: self.device_since(frames, uploads=True),
                   10)
        self.shot("found_again")

        # A close request while the ROM image trickles in.
        self.server.command("fault trickle bytes=2048 interval=0.05 target=/quillon/images/a.rom")

        def close_during_download(frames, requests):
            wait_until("the ROM download", lambda: "a.rom" in self.server_since(requests), 10)
            time.sleep(0.3)
            self.shot("downloading")
            send_close_request(self.program.window)

        self.scenario("close", ["Fail to download rom upgrade files!"], ["info", "version"],
                      ["check", "a.rom"], during=close_during_download)
        try:
            code = self.program.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            code = "still running"
        self.expect("close", "exit code", code, 0)

        # The skin's close button during a download: the process ends at once.
        self.start_program()
        frames, requests = self.mark()
        self.program.click(CHECK_CAPTION)
        wait_until("the ROM download", lambda: "a.rom" in self.server_since(requests), 10)
        time.sleep(0.3)
        self.program.click(CLOSE_BUTTON)
        try:
            code = self.program.process.wait(timeout=3)
        except subprocess.TimeoutExpired:
            code = "still running"
        self.expect("close-button", "exit code", code, 0)
        self.expect("close-button", "device", self.trace(frames), ["info", "version"])
        # Ended without unwinding, the download still removed its temporary file.
        parts = [name for _, _, names in os.walk(os.path.join(self.scratch, "tmp"))
                 for name in names if ".part-" in name]
        self.expect("close-button", "temporary files", parts, [])

    def finish(self):
        if self.program and self.program.alive():
            self.program.process.kill()
            self.program.process.wait()
        self.server.stop()
        self.sim.stop()


def main():
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    for tool in ("xdotool", "xclip", "import"):
        if not shutil.which(tool):
            print("skipped: %s is missing" % tool)
            return 77
    run_ = Run(sys.argv[1:])
    try:
        run_.run()
    except Failure as error:
        run_.failures.append(str(error))
    finally:
        run_.finish()
    for failure in run_.failures:
        print("FAIL:", failure)
    print("screenshots:", run_.artifacts)
    if run_.failures:
        for name in ("out.txt", "sim.txt", "server.txt"):
            path = os.path.join(run_.scratch, name)
            if os.path.exists(path):
                print("---", name)
                print(open(path).read()[-3000:])
    else:
        shutil.rmtree(run_.scratch, ignore_errors=True)
    return 1 if run_.failures else 0


if __name__ == "__main__":
    sys.exit(main())
