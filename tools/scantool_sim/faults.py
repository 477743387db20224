"""Misbehaviour on request: each fault applies to the next `count` requests that match it."""

from .codec import crc16_x25

KINDS = ("ignore", "wrong_group", "wrong_sub", "bad_crc", "short", "long", "status", "delay",
         "unplug")


class Fault:
    def __init__(self, kind, cmd=None, count=1, block=None, value=1, ms=0):
        if kind not in KINDS:
            raise ValueError(f"unknown fault {kind!r} (one of {', '.join(KINDS)})")
        self.kind = kind
        self.cmd = cmd
        self.count = count
        self.block = block
        self.value = value
        self.ms = ms

    def matches(self, code, block):
        if self.count <= 0:
            return False
        if self.cmd is not None and self.cmd != code:
            return False
        return self.block is None or self.block == block


class FaultList:
    def __init__(self):
        self.faults = []

    def add(self, fault):
        self.faults.append(fault)

    def clear(self):
        self.faults.clear()

    def take(self, code, block):
        """The faults that apply to this request, each used up by one."""
        taken = []
        for f in self.faults:
            if f.matches(code, block) and all(t.kind != f.kind for t in taken):
                f.count -= 1
                taken.append(f)
        self.faults = [f for f in self.faults if f.count > 0]
        return taken


def apply(frame, faults, has_status):
    """Returns the reply bytes as the faults distort them (None when the request is ignored)
    and the extra delay in milliseconds."""
    delay = 0
    out = bytearray(frame)
    for f in faults:
        if f.kind in ("ignore", "unplug"):
            return None, 0
        if f.kind == "delay":
            delay += f.ms
        elif f.kind == "status" and has_status:
            out[6] = f.value & 0xFF
            _reseal(out)
    for f in faults:
        if f.kind == "wrong_group":
            out[4] ^= 0x01  # 0x43 becomes 0x42 and back: a real group, just not the right one
            _reseal(out)
        elif f.kind == "wrong_sub":
            out[5] ^= 0x01
            _reseal(out)
    for f in faults:
        if f.kind == "bad_crc":
            out[-4] ^= 0xFF
        elif f.kind == "short":
            del out[-1]
        elif f.kind == "long":
            out += b"\x00"
    return bytes(out), delay


def _reseal(out):
    crc = crc16_x25(bytes(out[:-4]))
    out[-4] = crc & 0xFF
    out[-3] = crc >> 8
