#!/usr/bin/env python3
"""SIGTERM, SIGINT and SIGHUP end the program the way its close button does: exit code 0, the
serial port released, and the upload file either the last whole upload or nothing new, even
when the signal arrives in the middle of an upload.  Runs a copy of the program from a scratch
folder on the offscreen platform against the simulated ScanTool.

    signal_end_e2e.py <path of quillon>
"""

import fcntl
import os
import shutil
import signal
import sys
import termios
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import e2e  # noqa: E402

EXE = None
TIOCGEXCL = 0x80045440
BLOCK_ACK = 0x0242


def held_exclusively(device):
    """Whether the port still carries somebody's exclusive claim."""
    fd = os.open(device, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        value = bytearray(4)
        fcntl.ioctl(fd, TIOCGEXCL, value)
        return int.from_bytes(value, "little") != 0
    finally:
        os.close(fd)


class SignalEnd(unittest.TestCase):
    def setUp(self):
        self.scratch = e2e.Scratch("quillon-signal-")
        self.exe = self.scratch.path("quillon")
        shutil.copy(EXE, self.exe)
        self.sim = e2e.Simulator(self.scratch.path("sim"))
        self.program = None

    def tearDown(self):
        if self.program:
            self.program.kill()
        self.sim.stop()
        self.scratch.remove()

    def start(self):
        offers = self.sim.received(e2e.UPLOAD_START)
        env = e2e.base_env(QT_QPA_PLATFORM="offscreen", **self.sim.env())
        self.program = e2e.Program(self.exe, env, self.scratch.path("out.txt"),
                                   cwd=self.scratch.dir)
        # Connected: the upload channel is offered on the first page.
        self.assertTrue(
            e2e.wait_for(lambda: self.sim.received(e2e.UPLOAD_START) > offers, 20),
            self.program.text())

    def end_with(self, number):
        self.program.signal(number)
        self.assertEqual(self.program.wait(10), 0, self.program.text())
        self.assertFalse(held_exclusively(self.sim.device))

    def test_each_signal_ends_the_program_and_frees_the_port(self):
        for number in (signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=e2e.signal_name(number)):
                self.start()
                self.end_with(number)

    def test_a_signal_during_an_upload_leaves_the_last_whole_upload(self):
        self.start()
        upload = self.scratch.path("quillon.dat")
        self.sim.command("upload blocks=3 size=32")
        self.assertTrue(e2e.wait_for(lambda: os.path.exists(upload), 20), self.program.text())
        first = e2e.upload_bytes(3, 32)
        self.assertTrue(e2e.wait_for(lambda: e2e.read_bytes(upload) == first, 5))

        # A second upload (one block a second), cut short by the signal.
        acks = self.sim.received(BLOCK_ACK)
        self.sim.command("upload blocks=30 size=64 now=1")
        self.assertTrue(e2e.wait_for(lambda: self.sim.received(BLOCK_ACK) >= acks + 2, 20))
        self.end_with(signal.SIGTERM)
        self.assertEqual(e2e.read_bytes(upload), first)
        leftovers = sorted(set(os.listdir(self.scratch.dir)) -
                           {"quillon", "quillon.dat", "lang.ini", "out.txt", "sim"})
        self.assertEqual(leftovers, [])


if __name__ == "__main__":
    EXE = sys.argv.pop(1)
    unittest.main(verbosity=2)
