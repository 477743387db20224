"""Command line and main loop of the simulated ScanTool."""

import argparse
import errno
import os
import select
import signal
import socket
import sys
import time

from .codec import Splitter
from .control import HELP, Control
from .device import Device, Settings
from .link import Link
from .log import FrameLog
from .sysfs import Identity, SysfsEntry, link_device_node, unlink_device_node

STALE_PARTIAL_S = 1.0  # an incomplete frame older than this is dropped as junk
SETTLE_QUIET_S = 0.005  # before a command: the line counts as quiet after this long
SETTLE_MAX_S = 0.1  # ... and is read for at most this long

EPILOG = """example: plug a simulated ScanTool into a running program

  mkdir -p /tmp/sim/dev /tmp/sim/sys
  QUILLON_DEV_DIR=/tmp/sim/dev QUILLON_SYSFS_ROOT=/tmp/sim/sys quillon &
  tools/scantool_sim.py --dev-dir /tmp/sim/dev --sysfs-root /tmp/sim/sys \\
      --image-dir /tmp/sim/images --log /tmp/sim/frames.jsonl
  # then type commands such as: unplug, plug, text Hello, wave 120 125 131, wave_end, quit

""" + HELP


def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="scantool_sim.py", description="Simulated ScanTool on a pseudo-terminal.",
        epilog=EPILOG, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--dev-dir", required=True, help="folder that stands for /dev")
    p.add_argument("--sysfs-root", help="folder that stands for /sys")
    p.add_argument("--index", type=int, default=0, help="k of ttyACM<k> (COM k+1)")
    p.add_argument("--image-dir", help="where burned images are reassembled")
    p.add_argument("--log", help="JSON-lines frame log")
    p.add_argument("--control", help="Unix socket path for line commands")
    p.add_argument("--no-stdin", action="store_true", help="do not read commands from stdin")
    p.add_argument("--unplugged", action="store_true", help="start unplugged")
    ident = p.add_argument_group("USB identity")
    ident.add_argument("--vid", default="0483")
    ident.add_argument("--pid", default="5740")
    ident.add_argument("--serial", default="SIM0001")
    ident.add_argument("--product", default="ScanTool")
    ident.add_argument("--manufacturer", default="ScanTool Maker")
    ident.add_argument("--usb-name", help="USB device folder name (default 1-<index+1>)")
    dev = p.add_argument_group("device answers")
    dev.add_argument("--type", default="KV100")
    dev.add_argument("--subtype", default="STD")
    dev.add_argument("--rom-version", default="1.0.0")
    dev.add_argument("--flash-version", default="1.0.0")
    dev.add_argument("--rom-block", type=int, default=512)
    dev.add_argument("--flash-block", type=int, default=512)
    dev.add_argument("--short-info", action="store_true", help="50-byte device information")
    dev.add_argument("--device-id", default="SIM000000001")
    dev.add_argument("--delay-ms", type=int, default=0, help="delay before every reply")
    dev.add_argument("--split", type=int, default=0, help="send replies in pieces of N bytes")
    dev.add_argument("--pace", action="store_true", help="pace bytes like a 115200-baud UART")
    dev.add_argument("--silent", action="store_true", help="answer nothing")
    dev.add_argument("--adopt-versions", action="store_true",
                     help="after a whole image is burned, report the version the last "
                          "latest-version notice gave for it")
    return p.parse_args(argv)


class LineSource:
    """A stream of command lines (stdin or one control-socket client) and where answers go."""

    def __init__(self, fd, write):
        self.fd = fd
        self.closed = False
        self.buf = b""

        def guarded(text):
            # A `wait` may answer after its client has gone; its fd number may be reused.
            if not self.closed:
                write(text)

        self.write = guarded


class Simulator:
    def __init__(self, args):
        self.args = args
        self.link = Link()
        self.link.pace = args.pace
        self.log = FrameLog(args.log)
        settings = Settings()
        for key in ("type", "subtype", "rom_version", "flash_version", "rom_block",
                    "flash_block", "device_id", "delay_ms", "split", "silent",
                    "adopt_versions"):
            settings.set(key, str(getattr(args, key)))
        settings.info_form = "short" if args.short_info else "long"
        self.device = Device(self.link, self.log, settings, args.image_dir)
        self.control = Control(self)
        self.splitter = Splitter()
        self.last_rx = 0.0
        self.name = f"ttyACM{args.index}"
        self.sysfs = None
        if args.sysfs_root:
            identity = Identity(args.vid, args.pid, args.serial, args.product,
                                args.manufacturer, args.usb_name)
            self.sysfs = SysfsEntry(args.sysfs_root, args.index, identity)
        self.plugged = False
        self.replug_at = None
        self.running = True
        self.sources = []
        self.server = None

    def plug(self):
        self.replug_at = None
        if self.plugged:
            return
        self.link.open()
        link_device_node(self.args.dev_dir, self.name, self.link.slave_path)
        if self.sysfs:
            self.sysfs.create()
        self.splitter = Splitter()
        self.plugged = True
        self.log.event("plug", path=self.link.slave_path)

    def unplug(self):
        if not self.plugged:
            return
        if self.sysfs:
            self.sysfs.remove()
        unlink_device_node(self.args.dev_dir, self.name)
        self.link.close()
        self.plugged = False
        self.device.upload.cancel()
        self.log.event("unplug")

    # Loop -------------------------------------------------------------------------------

    def _receive(self):
        data = self.link.read()
        if not data:
            return
        self.last_rx = time.monotonic()
        self.splitter.feed(data)
        while True:
            junk, frame = self.splitter.next()
            if junk:
                self.log.junk(junk)
            if frame is None:
                break
            self.device.handle(frame)
            if self.device.unplug_request is not None:
                replug_ms = self.device.unplug_request
                self.device.unplug_request = None
                self.unplug()
                if replug_ms > 0:
                    self.replug_at = time.monotonic() + replug_ms / 1000.0
                return

    def settle(self):
        """Takes in what the program has written before a command is run, so that the command
        sees it: a pty hands bytes over a moment after they were written, so read until the
        line has been quiet for a little while."""
        if not self.plugged:
            return
        self.link.openers.service()
        deadline = time.monotonic() + SETTLE_MAX_S
        while self.plugged and time.monotonic() < deadline:
            if not select.select([self.link.master], [], [], SETTLE_QUIET_S)[0]:
                return
            self._receive()

    def _drop_stale_partial(self, now):
        if self.splitter.pending() and now - self.last_rx > STALE_PARTIAL_S:
            self.log.junk(self.splitter.drop_pending())

    def _read_lines(self, src):
        try:
            data = os.read(src.fd, 4096)
        except OSError:
            data = b""
        if not data:
            self._close_source(src)
            return
        src.buf += data
        while b"\n" in src.buf:
            line, src.buf = src.buf.split(b"\n", 1)
            self.settle()
            self.log.flush()
            self.control.run(line.decode("utf-8", "replace").strip(), src.write)

    def _close_source(self, src):
        self.sources.remove(src)
        src.closed = True
        self.control.drop_waiters(src.write)
        if src.fd == 0:
            # Whoever started us has gone: do not linger as an orphan.
            self.running = False
        else:
            os.close(src.fd)

    def _accept(self):
        conn, _ = self.server.accept()
        fd = conn.detach()

        def write(text, fd=fd):
            try:
                os.write(fd, (text + "\n").encode())
            except OSError:
                pass

        self.sources.append(LineSource(fd, write))

    def run(self):
        args = self.args
        if not args.no_stdin:
            self.sources.append(LineSource(0, _stdout_line))
        if args.control:
            if os.path.lexists(args.control):
                os.unlink(args.control)
            self.server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            self.server.bind(args.control)
            self.server.listen(4)
        if not args.unplugged:
            self.plug()
        self.log.flush()
        _stdout_line(f"READY {self.link.slave_path or '-'}")
        blocked = False
        while self.running:
            now = time.monotonic()
            blocked = self.link.service(now) if self.plugged else False
            if self.replug_at is not None and now >= self.replug_at:
                self.replug_at = None
                self.plug()
            self.device.upload.on_tick(now)
            self.control.check_waiters(now)
            self._drop_stale_partial(now)
            wakeups = [t for t in (self.link.next_wakeup(), self.control.next_deadline(),
                                   self.device.upload.deadline, self.replug_at)
                       if t is not None]
            if self.splitter.pending():
                wakeups.append(self.last_rx + STALE_PARTIAL_S)
            timeout = max(0.0, min(wakeups) - time.monotonic()) if wakeups else None
            if timeout is None or timeout > 0:
                self.log.flush()
            readers = [s.fd for s in self.sources]
            if self.server:
                readers.append(self.server.fileno())
            if self.plugged:
                readers.append(self.link.master)
                if self.link.openers.fd >= 0:
                    readers.append(self.link.openers.fd)
            writers = [self.link.master] if self.plugged and blocked else []
            try:
                readable, _, _ = select.select(readers, writers, [], timeout)
            except InterruptedError:
                continue
            for fd in readable:
                if self.plugged and fd == self.link.master:
                    self._receive()
                elif self.plugged and fd == self.link.openers.fd:
                    self.link.openers.service()
                elif self.server and fd == self.server.fileno():
                    self._accept()
                else:
                    src = next((s for s in self.sources if s.fd == fd), None)
                    if src:
                        self._read_lines(src)

    def shutdown(self):
        self.unplug()
        self.device.close()
        self.log.close()
        if self.server:
            self.server.close()
            if os.path.lexists(self.args.control):
                os.unlink(self.args.control)


def _stdout_line(text):
    try:
        sys.stdout.write(text + "\n")
        sys.stdout.flush()
    except (BrokenPipeError, OSError):
        pass


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    sim = Simulator(args)

    def stop(signum, frame):
        raise SystemExit(0)  # leaves select at once; shutdown still runs

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    try:
        sim.run()
    finally:
        sim.shutdown()
    return 0
