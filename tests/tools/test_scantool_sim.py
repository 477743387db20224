"""Self-tests of the simulated ScanTool: its own codec against known values, and the simulator
run as a process on a real pseudo-terminal."""

import os
import select
import shutil
import subprocess
import sys
import tempfile
import fcntl
import struct
import termios
import threading
import time
import tty
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
SIMULATOR = os.environ.get("QUILLON_SIMULATOR", os.path.join(TOOLS, "scantool_sim.py"))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(SIMULATOR))

from scantool_sim import codec  # noqa: E402


class CodecTest(unittest.TestCase):
    def test_check_values(self):
        self.assertEqual(codec.crc16_x25(b"123456789"), 0x906E)
        self.assertEqual(codec.crc16_x25(b""), 0x0000)
        # The fast path for long data agrees with the table.
        data = bytes((i * 37 + 11) & 0xFF for i in range(4099))
        self.assertEqual(codec.crc16_x25(data), codec.crc16_x25_table(data))

    def test_worked_frames(self):
        cases = [
            (0x0103, b"", codec.REQUEST_MARKER, "40 40 0A 00 03 01 33 D3 0D 0A"),
            (0x0104, b"", codec.UPLOAD_START_MARKER, "5E 5E 0A 00 04 01 D1 30 0D 0A"),
            (0x0303, bytes.fromhex("0140E20100"), codec.REQUEST_MARKER,
             "40 40 0F 00 03 03 01 40 E2 01 00 A3 19 0D 0A"),
            (0x0343, b"\x00", codec.DEVICE_MARKER, "24 24 0B 00 43 03 00 DF 91 0D 0A"),
        ]
        for code, payload, marker, wire in cases:
            with self.subTest(code=hex(code)):
                self.assertEqual(codec.build(code, payload, marker), bytes.fromhex(wire))
                self.assertIs(codec.request_marker(code), marker if marker != b"$$" else
                              codec.REQUEST_MARKER)

    def test_splitter_resynchronises(self):
        good = codec.build(0x0103, b"", b"@@")
        damaged = bytearray(codec.build(0x0303, b"\x01\x00\x00\x00\x00", b"@@"))
        damaged[7] ^= 0x01
        s = codec.Splitter()
        s.feed(b"xy" + bytes(damaged) + good[:4])
        junk, first = s.next()
        self.assertEqual((junk, first.error), (b"xy", "bad checksum"))
        s.feed(good[4:])
        frames = []
        while True:
            _, f = s.next()
            if f is None:
                break
            frames.append(f)
        self.assertEqual([f.code for f in frames if not f.error], [0x0103])


class Sim:
    """The simulator as a child process with a raw pty opened like the program opens it."""

    def __init__(self, *args):
        self.dir = tempfile.mkdtemp(prefix="quillon-simtest-")
        self.proc = subprocess.Popen(
            [sys.executable, SIMULATOR, "--dev-dir", self.path("dev"), "--sysfs-root",
             self.path("sys"), "--image-dir", self.path("img"), "--log", self.path("log"),
             *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        self.ready = self.proc.stdout.readline().strip()
        self.fd = os.open(self.path("dev", "ttyACM0"), os.O_RDWR | os.O_NOCTTY)
        tty.setraw(self.fd)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def command(self, line):
        self.proc.stdin.write(line + "\n")
        return self.proc.stdout.readline().strip()

    def request(self, code, payload=b"", want=64, timeout=1.0):
        os.write(self.fd, codec.build(code, payload, codec.request_marker(code)))
        return self.read(want, timeout)

    def read(self, want, timeout):
        out = b""
        deadline = time.monotonic() + timeout
        while len(out) < want and time.monotonic() < deadline:
            if select.select([self.fd], [], [], 0.02)[0]:
                out += os.read(self.fd, 65536)
        return out

    def close(self):
        os.close(self.fd)
        self.command("quit")
        self.proc.wait(5)
        self.proc.stdin.close()
        self.proc.stdout.close()
        shutil.rmtree(self.dir)


class SimulatorTest(unittest.TestCase):
    def sim(self, *args):
        s = Sim(*args)
        self.addCleanup(s.close)
        self.assertTrue(s.ready.startswith("READY /dev/pts/"), s.ready)
        return s

    def test_device_info_long_and_short(self):
        s = self.sim("--type", "KV100", "--rom-version", "2.1.3", "--rom-block", "1024",
                     "--flash-block", "128")
        reply = s.request(0x0103, want=54)
        self.assertEqual(len(reply), 54)
        self.assertEqual(reply[:6], bytes.fromhex("2424 3600 4301"))
        self.assertEqual(reply[6:16], b"KV100\0\0\0\0\0")
        self.assertEqual(reply[26:31], b"2.1.3")
        self.assertEqual(reply[46:50], bytes.fromhex("0004 8000"))
        self.assertEqual(codec.crc16_x25(reply[:-4]), reply[-4] | reply[-3] << 8)
        self.assertEqual(s.command("set info_form=short"), "ok")
        reply = s.request(0x0103, want=54, timeout=0.3)
        self.assertEqual((len(reply), reply[2]), (50, 50))

    def test_block_burn_reassembles_image(self):
        s = self.sim()
        image = bytes((i * 7) & 0xFF for i in range(1000))
        self.assertEqual(s.request(0x0303, b"\x02" + (1000).to_bytes(4, "little"), want=11),
                         bytes.fromhex("2424 0B00 4303 00 DF91 0D0A"))
        self.assertEqual(s.command("fault status cmd=0x0403 block=1 count=1"), "ok")
        acks = []
        for number in (0, 1, 1):
            block = image[number * 512:(number + 1) * 512].ljust(512, b"\0")
            acks.append(s.request(0x0403, bytes((2, number, 0)) + block, want=13))
        self.assertEqual([(len(a), a[4], a[5], a[6]) for a in acks],
                         [(13, 0x43, 4, 0), (13, 0x43, 4, 1), (13, 0x43, 4, 0)])
        s.command("sync")
        with open(s.path("img", "flash.bin"), "rb") as f:
            self.assertEqual(f.read(), image)

    def test_faults_distort_replies(self):
        s = self.sim()
        cases = [("wrong_group", lambda r: r[4] == 0x43 and len(r) == 22),
                 ("bad_crc", lambda r: codec.crc16_x25(r[:-4]) != (r[-4] | r[-3] << 8)),
                 ("short", lambda r: len(r) == 21),
                 ("ignore", lambda r: r == b"")]
        for kind, check in cases:
            with self.subTest(kind=kind):
                self.assertEqual(s.command(f"fault {kind} cmd=0x0102"), "ok")
                self.assertTrue(check(s.request(0x0102, want=22, timeout=0.3)))
        # Faults are used up: the next answer is sound again.
        self.assertEqual(s.request(0x0102, want=22)[6:18], b"SIM000000001")

    def test_late_replies_are_not_early(self):
        # Lower bounds only: a loaded machine may be slower, never faster.
        s = self.sim()
        block = bytes((1, 0, 0)) + bytes(512)
        cases = [("set pace=1", 0x0403, block, 13, (525 + 13) / 11520),
                 ("set pace=0 delay_ms=50", 0x0102, b"", 22, 0.050),
                 ("set delay_ms=0 split=4 split_gap_ms=10", 0x0102, b"", 22, 0.050)]
        for setting, code, payload, want, at_least in cases:
            with self.subTest(setting=setting):
                self.assertEqual(s.command(setting), "ok")
                started = time.monotonic()
                reply = s.request(code, payload, want=want)
                self.assertEqual(len(reply), want)
                self.assertGreaterEqual(time.monotonic() - started, at_least)

    def test_upload_exchange(self):
        s = self.sim()
        self.assertEqual(s.command("upload blocks=3 size=4 repeat=0 skip=2"), "ok")
        accepted = s.request(0x0104, want=10 + 16)
        self.assertEqual(accepted[:10], codec.build(0x0144))
        sent = [accepted[10:]]
        for _ in range(5):  # acknowledgements for 0, its repeat, 1, the early 3, then 2
            sent.append(s.request(0x0242, b"\x00", want=16))
        numbers = [f[6] if f[4:6] == b"\x04\x02" else "end" for f in sent]
        self.assertEqual(numbers, [0, 0, 1, 3, 2, "end"])
        self.assertEqual(sent[1][8:12], bytes((0, 1, 2, 3)))
        os.write(s.fd, codec.build(0x0344, b"", b"@@"))
        self.assertEqual(s.command("wait upload=done timeout_ms=2000"), "ok done")

    def test_upload_of_a_file_in_blocks(self):
        s = self.sim()
        with open(s.path("upload.txt"), "wb") as f:
            f.write(b"0123456789")
        self.assertEqual(s.command(f"upload file={s.path('upload.txt')} size=4"), "ok")
        frames = [s.request(0x0104, want=10 + 14)[10:]]
        for _ in range(3):
            frames.append(s.request(0x0242, b"\x00", want=14))
        self.assertEqual([f[8:-4] for f in frames[:3]], [b"0123", b"4567", b"89"])
        self.assertEqual(frames[3][4:6], b"\x04\x03")  # then the end

    def test_finished_burn_adopts_the_notified_version(self):
        s = self.sim("--adopt-versions", "--rom-version", "1.0.0", "--flash-version", "1.0.0")
        notice = b"\x01" + b"KV100".ljust(10, b"\0") + b"STD".ljust(10, b"\0") + \
            b"2.4.0".ljust(10, b"\0") + b"2.0.9".ljust(10, b"\0")
        s.request(0x0203, notice, want=11)
        s.request(0x0303, b"\x01" + (600).to_bytes(4, "little"), want=11)
        versions = lambda: s.request(0x0103, want=54)[26:46]
        s.request(0x0403, bytes((1, 0, 0)) + bytes(512), want=13)
        self.assertEqual(versions()[:5], b"1.0.0")  # half an image changes nothing
        s.request(0x0403, bytes((1, 1, 0)) + bytes(512), want=13)
        self.assertEqual(versions(), b"2.4.0".ljust(10, b"\0") + b"1.0.0".ljust(10, b"\0"))

    def test_reader_probe_tells_a_fast_poll_from_none_and_from_a_slow_one(self):
        s = self.sim()
        polling = {"interval": None, "taken": b""}
        done = threading.Event()

        def reader():  # the program's side: the Print page polls every 15 ms
            while not done.is_set():
                interval = polling["interval"]
                if interval is None:
                    time.sleep(0.01)
                    continue
                if select.select([s.fd], [], [], 0)[0]:
                    polling["taken"] += os.read(s.fd, 1024)
                time.sleep(interval)

        thread = threading.Thread(target=reader)
        thread.start()
        self.addCleanup(lambda: (done.set(), thread.join()))
        cases = [(None, "reader=other", "ok other"), (0.015, "reader=print", "ok print"),
                 (0.015, "reader=other", "error timeout"), (1.0, "reader=print", "error timeout"),
                 (1.0, "reader=other", "ok other")]
        for interval, want, answer in cases:
            with self.subTest(interval=interval, want=want):
                polling["interval"] = interval
                time.sleep(0.3)
                self.assertEqual(s.command(f"wait {want} timeout_ms=4000"), answer)
        # The program saw nothing but the probes: NUL "A", which its print text path drops.
        self.assertTrue(polling["taken"])
        self.assertEqual(polling["taken"].replace(b"\x00A", b""), b"")
        # Without probes (a chart on the Print page would give way to the report), only a
        # request from the program tells that another page is shown.
        polling["interval"] = 0.015
        time.sleep(1.2)  # the slow reader wakes and takes the last probe
        before = len(polling["taken"])
        self.assertEqual(s.command("wait reader=other probe=0 timeout_ms=800"), "error timeout")
        self.assertEqual(len(polling["taken"]), before)
        request = threading.Timer(0.3, os.write, (s.fd, codec.build(0x0102, b"", b"@@")))
        request.start()
        self.assertEqual(s.command("wait reader=other probe=0 timeout_ms=3000"), "ok other")
        request.join()
        # An armed upload stops the probing: the recorder would keep them ahead of a frame.
        polling["interval"] = 0.015
        self.assertEqual(s.command("upload blocks=1 size=4"), "ok")
        self.assertEqual(s.command("wait reader=print timeout_ms=2500"), "error timeout")

    def test_exclusive_claim_ends_with_last_close(self):
        # As on a real USB serial port; otherwise a program (not root) could not reopen it.
        tiocgexcl = 0x80045440
        s = self.sim()
        fcntl.ioctl(s.fd, termios.TIOCEXCL)
        os.close(s.fd)
        s.command("sync")
        s.fd = os.open(s.path("dev", "ttyACM0"), os.O_RDWR | os.O_NOCTTY)
        flag = struct.unpack("i", fcntl.ioctl(s.fd, tiocgexcl, b"\0" * 4))[0]
        self.assertEqual(flag, 0)

    def test_unplug_removes_entry_and_replug_restores_it(self):
        s = self.sim("--vid", "1234", "--serial", "XYZ")
        link = s.path("sys", "class", "tty", "ttyACM0")
        with open(os.path.join(link, "device", "..", "idVendor")) as f:
            self.assertEqual(f.read().strip(), "1234")
        self.assertEqual(s.command("unplug"), "ok")
        self.assertFalse(os.path.lexists(link))
        self.assertFalse(os.path.lexists(s.path("dev", "ttyACM0")))
        self.assertEqual(os.listdir(s.path("sys", "devices", "pci0000:00", "0000:00:14.0",
                                           "usb1")), [])
        with self.assertRaises(OSError):  # the old port is gone for good
            os.write(s.fd, codec.build(0x0103, b"", b"@@"))
            os.read(s.fd, 1)
        self.assertTrue(s.command("plug").startswith("ok /dev/pts/"))
        with open(os.path.join(link, "device", "..", "serial")) as f:
            self.assertEqual(f.read().strip(), "XYZ")


if __name__ == "__main__":
    unittest.main()
