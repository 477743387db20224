#!/usr/bin/env python3
"""Start-up figures of the program: the time from starting the executable to its first painted
frame, and its resident memory (VmRSS) once it has been idle for a few seconds.

    tools/startup_metrics.py [path of quillon] [--runs N] [--idle SECONDS]

Each run starts a copy of the executable in a scratch folder (so that it creates its own
lang.ini there) with no ScanTool visible, under a virtual X server when no display is set.
The program prints "first-paint <monotonic ns>" on its first paint when
QUILLON_REPORT_FIRST_PAINT=1 is set.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def one_run(exe, idle):
    scratch = tempfile.mkdtemp(prefix="quillon-metrics-")
    try:
        os.makedirs(os.path.join(scratch, "dev"))
        os.makedirs(os.path.join(scratch, "sys", "class", "tty"))
        copy = os.path.join(scratch, "quillon")
        shutil.copy2(exe, copy)
        env = dict(os.environ, QUILLON_REPORT_FIRST_PAINT="1", QUILLON_ONLINE="0",
                   QUILLON_DEV_DIR=os.path.join(scratch, "dev"),
                   QUILLON_SYSFS_ROOT=os.path.join(scratch, "sys"))
        start = time.monotonic_ns()
        proc = subprocess.Popen([copy], cwd=scratch, env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True)
        first_paint_ms = None
        try:
            for line in proc.stderr:
                if line.startswith("first-paint "):
                    first_paint_ms = (int(line.split()[1]) - start) / 1e6
                    break
            time.sleep(idle)
            rss_kib = None
            with open(f"/proc/{proc.pid}/status") as status:
                for line in status:
                    if line.startswith("VmRSS:"):
                        rss_kib = int(line.split()[1])
        finally:
            proc.terminate()
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        return first_paint_ms, rss_kib
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe", nargs="?", default=os.path.join(here, "..", "build", "app", "quillon"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--idle", type=float, default=3.0)
    args = parser.parse_args()
    exe = os.path.abspath(args.exe)
    if not os.access(exe, os.X_OK):
        sys.exit(f"no executable at {exe}; build first (tools/build.sh)")
    if not os.environ.get("DISPLAY") and not os.environ.get("QUILLON_METRICS_UNDER_XVFB"):
        env = dict(os.environ, QUILLON_METRICS_UNDER_XVFB="1")
        xvfb = os.path.join(here, "..", "tests", "support", "xvfb.sh")
        cmd = ["bash", xvfb, sys.executable, os.path.abspath(__file__), exe,
               "--runs", str(args.runs), "--idle", str(args.idle)]
        sys.exit(subprocess.call(cmd, env=env))

    paints, rss = [], []
    for n in range(args.runs):
        ms, kib = one_run(exe, args.idle)
        print(f"run {n + 1}: first paint {ms:.1f} ms, idle VmRSS {kib / 1024:.1f} MiB"
              if ms is not None and kib is not None else f"run {n + 1}: no figures")
        if ms is not None:
            paints.append(ms)
        if kib is not None:
            rss.append(kib / 1024)
    if paints:
        print(f"first paint: median {statistics.median(paints):.1f} ms "
              f"(min {min(paints):.1f}, max {max(paints):.1f}) over {len(paints)} runs")
    if rss:
        print(f"idle VmRSS after {args.idle:g} s: median {statistics.median(rss):.1f} MiB "
              f"(min {min(rss):.1f}, max {max(rss):.1f})")


if __name__ == "__main__":
    main()
