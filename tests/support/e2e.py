"""Helpers for end-to-end tests that run the real program from Python: a scratch folder, the
simulated ScanTool as a child process steered by its line commands, the program itself, and
waiting for things to happen.  Standard library only."""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SIMULATOR = os.path.join(ROOT, "tools", "scantool_sim.py")

UPLOAD_START = 0x0104


def wait_for(condition, timeout, step=0.05):
    """Polls `condition` until it returns something true or `timeout` seconds passed."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= end:
            return value
        time.sleep(step)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def upload_bytes(blocks, size):
    """The data of an upload armed with "upload blocks=N size=S": byte i of block b is b+i."""
    return bytes((b + i) & 0xFF for b in range(blocks) for i in range(size))


class Scratch:
    """A scratch folder, removed by remove()."""

    def __init__(self, prefix, base=None):
        self.dir = tempfile.mkdtemp(prefix=prefix, dir=base)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def remove(self):
        shutil.rmtree(self.dir, ignore_errors=True)


class Simulator:
    """tools/scantool_sim.py with its fake /dev and /sys under `folder`."""

    def __init__(self, folder, *args):
        self.dev = os.path.join(folder, "dev")
        self.sys = os.path.join(folder, "sys")
        self.log = os.path.join(folder, "frames.jsonl")
        os.makedirs(os.path.join(self.sys, "class", "tty"), exist_ok=True)
        os.makedirs(self.dev, exist_ok=True)
        self.proc = subprocess.Popen(
            [sys.executable, "-B", SIMULATOR, "--dev-dir", self.dev, "--sysfs-root", self.sys,
             "--image-dir", os.path.join(folder, "images"), "--log", self.log, *args],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        ready = self.proc.stdout.readline().split()
        if not ready or ready[0] != "READY":
            raise RuntimeError(f"the simulator did not start: {ready}")
        self.device = os.path.join(self.dev, "ttyACM0")

    def env(self):
        return {"QUILLON_DEV_DIR": self.dev, "QUILLON_SYSFS_ROOT": self.sys}

    def command(self, line):
        self.proc.stdin.write(line + "\n")
        answer = self.proc.stdout.readline().strip()
        if not answer.startswith("ok"):
            raise RuntimeError(f"{line}: {answer}")
        return answer

    def received(self, code):
        """Valid requests with this code received so far."""
        self.command("sync")
        count = 0
        with open(self.log, encoding="utf-8") as log:
            for line in log:
                record = json.loads(line)
                if record.get("dir") == "rx" and record.get("code") == code and \
                        not record.get("error"):
                    count += 1
        return count

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write("quit\n")
                self.proc.stdin.flush()
                self.proc.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait()
        for stream in (self.proc.stdin, self.proc.stdout):
            try:
                stream.close()
            except OSError:
                pass


class Program:
    """The program started with extra environment; its output goes to a file."""

    def __init__(self, exe, env, output, cwd=None, args=()):
        self.output = output
        with open(output, "wb") as out:
            self.proc = subprocess.Popen([exe, *args], env=env, cwd=cwd, stdout=out,
                                         stderr=subprocess.STDOUT)

    def alive(self):
        return self.proc.poll() is None

    def signal(self, number):
        self.proc.send_signal(number)

    def wait(self, timeout):
        """The exit code, or None when still running after `timeout` seconds."""
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.alive():
            self.proc.kill()
            self.proc.wait()

    def text(self):
        with open(self.output, encoding="utf-8", errors="replace") as out:
            return out.read()


def base_env(**extra):
    """The environment of this process with the program's seams for a quiet, offline run."""
    env = dict(os.environ)
    env.update({"QUILLON_ONLINE": "0"})
    env.update({k: v for k, v in extra.items() if v is not None})
    return env


def signal_name(number):
    return signal.Signals(number).name
