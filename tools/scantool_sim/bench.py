"""Times the simulator's own work per firmware block.

    cd tools && python3 -m scantool_sim.bench [--blocks N] [--sizes 512,4096]

Starts the simulator as a process, burns N blocks of each size through its pseudo-terminal as
fast as the acknowledgements come back, and prints the simulator's own processing time per
block (from a whole frame in hand to its acknowledgement queued, logging included) and the
round trip that the sending side sees."""

import argparse
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time
import tty

from . import codec

SIMULATOR = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                         "scantool_sim.py")


def run(blocks, size, log):
    folder = tempfile.mkdtemp(prefix="quillon-simbench-")
    args = [sys.executable, SIMULATOR, "--dev-dir", os.path.join(folder, "dev"),
            "--image-dir", os.path.join(folder, "img")]
    if log:
        args += ["--log", os.path.join(folder, "log")]
    proc = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                            bufsize=1)
    try:
        proc.stdout.readline()
        fd = os.open(os.path.join(folder, "dev", "ttyACM0"), os.O_RDWR | os.O_NOCTTY)
        tty.setraw(fd)
        data = bytes(i & 0xFF for i in range(size))
        started = time.perf_counter()
        for n in range(blocks):
            frame = codec.build(0x0403, bytes((1, n & 0xFF, n >> 8 & 0xFF)) + data, b"@@")
            os.write(fd, frame)
            got = b""
            while len(got) < 13:
                select.select([fd], [], [], 1.0)
                got += os.read(fd, 64)
        elapsed = time.perf_counter() - started
        os.close(fd)
        proc.stdin.write("stats\n")
        stats = proc.stdout.readline().strip()
        proc.stdin.write("quit\n")
        proc.wait(5)
        return stats, elapsed / blocks
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        shutil.rmtree(folder, ignore_errors=True)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--blocks", type=int, default=2000)
    p.add_argument("--sizes", default="512,4096")
    p.add_argument("--no-log", action="store_true", help="run without the frame log")
    args = p.parse_args()
    for size in (int(s) for s in args.sizes.split(",")):
        stats, round_trip = run(args.blocks, size, not args.no_log)
        print(f"block size {size:5d}: simulator {stats[3:]}; "
              f"round trip per block {round_trip * 1e6:.0f} us")


if __name__ == "__main__":
    main()
