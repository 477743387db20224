#!/usr/bin/env python3
"""Simulated ScanTool for tests and demos: run with --help for usage."""

import os
import sys

sys.dont_write_bytecode = True  # leave the source tree as it is (it may be read-only)
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from scantool_sim.main import main  # noqa: E402

if __name__ == "__main__":
    sys.exit(main())
