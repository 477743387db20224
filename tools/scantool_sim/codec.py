"""Frame format and CRC-16/X.25, written independently of the program's own codec so that a
bug shared by both cannot hide."""

import binascii

POLY_REFLECTED = 0x8408


def _make_table():
    table = []
    for byte in range(256):
        crc = byte
        for _ in range(8):
            crc = (crc >> 1) ^ POLY_REFLECTED if crc & 1 else crc >> 1
        table.append(crc)
    return tuple(table)


CRC_TABLE = _make_table()

# Bit-reversal of every byte value; lets the C-coded binascii.crc_hqx (the non-reflected
# CCITT polynomial) compute the reflected X.25 checksum at C speed for long firmware blocks.
_REVERSE_BYTE = bytes(int(f"{b:08b}"[::-1], 2) for b in range(256))


def crc16_x25_table(data):
    """Table-driven reference form: slow in Python, used for short frames and self-checks."""
    crc = 0xFFFF
    for b in data:
        crc = (crc >> 8) ^ CRC_TABLE[(crc ^ b) & 0xFF]
    return crc ^ 0xFFFF


def _reverse16(value):
    return (_REVERSE_BYTE[value & 0xFF] << 8) | _REVERSE_BYTE[value >> 8]


def crc16_x25(data):
    """CRC-16/X.25 of `data` (bytes-like)."""
    if len(data) < 24:
        return crc16_x25_table(data)
    mirrored = bytes(data).translate(_REVERSE_BYTE)
    return _reverse16(binascii.crc_hqx(mirrored, 0xFFFF)) ^ 0xFFFF


DEVICE_MARKER = b"$$"
REQUEST_MARKER = b"@@"
UPLOAD_START_MARKER = b"^^"
UPLOAD_START = 0x0104


def build(code, payload=b"", marker=DEVICE_MARKER):
    """One whole frame: marker, length, code, payload, CRC (low byte first), CR LF."""
    length = len(payload) + 10
    if length > 0xFFFF:
        raise ValueError("payload too long for one frame")
    head = marker + bytes((length & 0xFF, length >> 8, code & 0xFF, code >> 8)) + bytes(payload)
    crc = crc16_x25(head)
    return head + bytes((crc & 0xFF, crc >> 8)) + b"\r\n"


def request_marker(code):
    return UPLOAD_START_MARKER if code == UPLOAD_START else REQUEST_MARKER


class Frame:
    """A frame found in the byte stream from the program."""

    __slots__ = ("marker", "length", "code", "payload", "error", "raw")

    def __init__(self, raw, error=None):
        self.raw = raw
        self.marker = bytes(raw[0:2])
        self.length = raw[2] | (raw[3] << 8)
        self.code = raw[4] | (raw[5] << 8)
        self.payload = bytes(raw[6 : len(raw) - 4])
        self.error = error


MARKERS = (REQUEST_MARKER, UPLOAD_START_MARKER)


class Splitter:
    """Cuts the program's byte stream into frames.  Bytes before a marker are junk; a frame whose
    length, line end or CRC is wrong is reported and skipped by one byte so that the next marker
    is found again."""

    def __init__(self):
        self.buf = bytearray()

    def feed(self, data):
        self.buf += data

    def pending(self):
        return len(self.buf)

    def drop_pending(self):
        junk = bytes(self.buf)
        self.buf.clear()
        return junk

    def _next_marker(self, start):
        positions = [p for p in (self.buf.find(m, start) for m in MARKERS) if p >= 0]
        return min(positions) if positions else -1

    def next(self):
        """Returns (junk bytes, Frame or None).  None means: wait for more bytes."""
        buf = self.buf
        start = self._next_marker(0)
        if start < 0:
            # Keep a trailing half marker; everything else is junk.
            keep = 1 if buf[-1:] in (b"@", b"^") else 0
            junk = bytes(buf[: len(buf) - keep])
            del buf[: len(buf) - keep]
            return junk, None
        junk = bytes(buf[:start])
        del buf[:start]
        if len(buf) < 10:
            return junk, None
        length = buf[2] | (buf[3] << 8)
        if length < 10:
            bad = Frame(bytes(buf[:10]), "length below 10")
            del buf[:1]
            return junk, bad
        if len(buf) < length:
            return junk, None
        raw = bytes(buf[:length])
        error = None
        if raw[-2:] != b"\r\n":
            error = "no CR LF"
        elif crc16_x25(raw[:-4]) != (raw[-4] | (raw[-3] << 8)):
            error = "bad checksum"
        if error:
            del buf[:1]
            return junk, Frame(raw, error)
        del buf[:length]
        return junk, Frame(raw)
