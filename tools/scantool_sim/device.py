"""What the ScanTool answers to each request of the command table, and what it keeps: the
notices it was given, its device ID, and the firmware images burned into it."""

import os
import time

from . import codec
from .faults import FaultList, apply
from .upload import BLOCK_ACK, END_ACK, Upload

DEVICE_INFO = 0x0103
LATEST_VERSION = 0x0203
FIRMWARE_SIZE = 0x0303
FIRMWARE_BLOCK = 0x0403
DEVICE_ID_QUERY = 0x0102
DEVICE_ID_SET = 0x0202
UPLOAD_START = 0x0104

# Payload length each request must carry; a firmware block carries at least its 3-byte head.
REQUEST_PAYLOAD = {
    DEVICE_INFO: 0,
    LATEST_VERSION: 41,
    FIRMWARE_SIZE: 5,
    DEVICE_ID_QUERY: 0,
    DEVICE_ID_SET: 12,
    UPLOAD_START: 0,
    BLOCK_ACK: 1,
    END_ACK: 0,
}
WITH_STATUS = {LATEST_VERSION, FIRMWARE_SIZE, FIRMWARE_BLOCK, DEVICE_ID_SET}
KIND_FILES = {1: "rom.bin", 2: "flash.bin", 3: "logo.bin"}


def text_field(text):
    raw = text.encode("latin-1")[:10]
    return raw + bytes(10 - len(raw))


def reply_code(code):
    return ((code & 0xFF) + 0x40) & 0xFF | (code & 0xFF00)


class Settings:
    """Everything `set key=value` may change, with the command-line defaults."""

    def __init__(self):
        self.type = "KV100"
        self.subtype = "STD"
        self.rom_version = "1.0.0"
        self.flash_version = "1.0.0"
        self.rom_block = 512
        self.flash_block = 512
        self.info_form = "long"  # or "short" (50 bytes, no block sizes)
        self.device_id = "SIM000000001"
        self.silent = False
        self.delay_ms = 0
        self.split = 0  # reply piece size in bytes, 0 = whole
        self.split_gap_ms = 5
        self.adopt_versions = False  # a finished burn makes the notified version the device's

    def set(self, key, value):
        if key not in vars(self):
            raise ValueError(f"unknown setting {key}")
        current = getattr(self, key)
        if isinstance(current, bool):
            value = value.lower() in ("1", "true", "yes", "on")
        elif isinstance(current, int):
            value = int(value, 0)
            if value < 0 or (key.endswith("_block") and value > 0xFFFF):
                raise ValueError(f"{key} out of range")
        else:
            value.encode("latin-1")  # sent as 8-bit text; refuse what cannot be
        if key == "info_form" and value not in ("long", "short"):
            raise ValueError("info_form is long or short")
        elif key == "device_id" and len(value.encode("latin-1")) != 12:
            raise ValueError("device_id has 12 characters")
        setattr(self, key, value)


class Images:
    """Firmware images reassembled from the blocks, one file per FirmwareKind."""

    def __init__(self, folder):
        self.folder = folder
        self.fds = {}
        self.announced = {}  # kind -> size from the last size notice, for the next transfer
        self.fresh = {}  # kind -> a size notice came and its transfer has not begun
        self.last_block = {}

    def path(self, kind):
        return os.path.join(self.folder, KIND_FILES.get(kind, f"kind{kind}.bin"))

    def _fd(self, kind):
        fd = self.fds.get(kind)
        if fd is None:
            os.makedirs(self.folder, exist_ok=True)
            fd = os.open(self.path(kind), os.O_RDWR | os.O_CREAT, 0o644)
            self.fds[kind] = fd
        return fd

    def announce(self, kind, size):
        self.announced[kind] = size
        self.fresh[kind] = True
        os.ftruncate(self._fd(kind), 0)

    def write_block(self, kind, number, data):
        """Returns True when this block completes the image announced by the size notice."""
        if not self.folder:
            return False
        fd = self._fd(kind)
        if number == 0 and self.last_block.get(kind) != 0:
            # A new transfer.  Without a size notice just before it, no size applies.
            if not self.fresh.get(kind):
                self.announced.pop(kind, None)
            self.fresh[kind] = False
            os.ftruncate(fd, 0)
        self.last_block[kind] = number
        offset = number * len(data)
        os.pwrite(fd, data, offset)
        size = self.announced.get(kind)
        if size is not None and offset + len(data) > size:
            os.ftruncate(fd, size)  # the padding of the last block is not image
        return size is not None and offset + len(data) >= size

    def close(self):
        for fd in self.fds.values():
            os.close(fd)
        self.fds.clear()


class Device:
    def __init__(self, link, log, settings, image_dir):
        self.link = link
        self.log = log
        self.settings = settings
        self.images = Images(image_dir)
        self.faults = FaultList()
        self.upload = Upload(self._send_unasked)
        self.latest_notice = None
        self.size_notices = {}
        self.counts = {}
        self.block_times = []  # seconds of own work per firmware block
        self.unplug_request = None  # replug delay in ms (0: stay unplugged) once asked
        self.sent_replies = []

    # Sending ----------------------------------------------------------------------------

    def _send_unasked(self, frame, delay_ms=0):
        now = time.monotonic()
        self.log.frame("tx", frame)
        self.link.send(frame, now + delay_ms / 1000.0)

    def send_frame(self, frame, delay_ms=0):
        self._send_unasked(frame, delay_ms)

    def send_raw(self, data, split=0, gap_ms=0):
        """Unasked bytes, whole or in writes of `split` bytes `gap_ms` apart (so that the
        program reads them in pieces)."""
        self.log.raw("tx", data)
        now = time.monotonic()
        if split <= 0:
            self.link.send(data, now)
            return
        for i, start in enumerate(range(0, len(data), split)):
            self.link.send(data[start:start + split], now + i * gap_ms / 1000.0)

    def _reply(self, request_code, payload, faults):
        s = self.settings
        for f in faults:
            if f.kind == "unplug":
                # The cable is pulled instead of answering; the main loop does it.
                self.unplug_request = f.ms
                self.log.event("unplug instead of reply", code=request_code)
                return
        frame = codec.build(reply_code(request_code), payload)
        frame, extra_ms = apply(frame, faults, request_code in WITH_STATUS)
        if frame is None or s.silent:
            self.log.event("no reply", code=request_code)
            return
        due = self.link.earliest_reply(time.monotonic()) + (s.delay_ms + extra_ms) / 1000.0
        if s.split > 0:
            for i in range(0, len(frame), s.split):
                self.link.send(frame[i : i + s.split], due)
                due += s.split_gap_ms / 1000.0
        else:
            self.link.send(frame, due)
        self.sent_replies.append(frame)  # logged after the request, once the reply is out

    # Receiving --------------------------------------------------------------------------

    def handle(self, frame):
        started = time.perf_counter()
        self.log.request(frame)
        self._dispatch(frame)
        for reply in self.sent_replies:
            self.log.frame("tx", reply)
        self.sent_replies.clear()
        if frame.code == FIRMWARE_BLOCK and not frame.error:
            self.block_times.append(time.perf_counter() - started)

    def _dispatch(self, frame):
        if frame.error:
            return
        code = frame.code
        self.counts[code] = self.counts.get(code, 0) + 1
        expected = REQUEST_PAYLOAD.get(code)
        if frame.marker != codec.request_marker(code):
            self.log.event("wrong marker", code=code)
            return
        if expected is not None and len(frame.payload) != expected:
            self.log.event("unexpected payload length", code=code)
            return
        p = frame.payload
        if code == FIRMWARE_BLOCK:
            if len(p) < 3:
                self.log.event("block without head", code=code)
                return
            self._firmware_block(p)
            return
        faults = self.faults.take(code, None)
        if self._dropped(faults):
            self._reply(code, b"", faults)  # logs why nothing is answered
            return
        # A refused request (non-zero status) changes nothing in the device.
        accepted = not any(f.kind == "status" for f in faults)
        s = self.settings
        if code == DEVICE_INFO:
            payload = b"".join(
                text_field(t) for t in (s.type, s.subtype, s.rom_version, s.flash_version))
            if s.info_form == "long":
                payload += s.rom_block.to_bytes(2, "little") + s.flash_block.to_bytes(2, "little")
            self._reply(code, payload, faults)
        elif code == LATEST_VERSION:
            if accepted:
                self.latest_notice = p
            self._reply(code, b"\x00", faults)
        elif code == FIRMWARE_SIZE:
            if accepted:
                kind, size = p[0], int.from_bytes(p[1:5], "little")
                self.size_notices[kind] = size
                if self.images.folder:
                    try:
                        self.images.announce(kind, size)
                    except OSError as e:
                        self.log.event("image write failed", error=str(e), kind=kind)
            self._reply(code, b"\x00", faults)
        elif code == DEVICE_ID_QUERY:
            self._reply(code, s.device_id.encode("latin-1"), faults)
        elif code == DEVICE_ID_SET:
            if accepted:
                s.device_id = p.decode("latin-1")
            self._reply(code, b"\x00", faults)
        elif code == UPLOAD_START:
            # Answered by the upload plan (0x0144 and the blocks); faults other than those
            # that drop the request do not apply to it.
            if not self.upload.on_start_request(time.monotonic()):
                self.log.event("no upload armed", code=code)
        elif code == BLOCK_ACK:
            self.upload.on_block_ack(p[0], time.monotonic())
        elif code == END_ACK:
            self.upload.on_end_ack()
        else:
            self.log.event("unknown command", code=code)

    def _dropped(self, faults):
        """The request goes unanswered and has no effect (ignored, silent, cable pulled)."""
        return self.settings.silent or any(f.kind in ("ignore", "unplug") for f in faults)

    def _firmware_block(self, p):
        kind, number = p[0], p[1] | (p[2] << 8)
        faults = self.faults.take(FIRMWARE_BLOCK, number)
        if not self._dropped(faults) and not any(f.kind == "status" for f in faults):
            try:
                if self.images.write_block(kind, number, p[3:]):
                    self._burn_finished(kind)
            except OSError as e:
                # The device still answers; the test sees the failure in the log.
                self.log.event("image write failed", error=str(e), kind=kind, block=number)
        self._reply(FIRMWARE_BLOCK, bytes((0, p[1], p[2])), faults)

    def _burn_finished(self, kind):
        """Like the handheld after an upgrade, it reports the version it was told is coming:
        the ROM version lies at bytes 21-30 of the latest-version notice, FLASH at 31-40."""
        field = {1: ("rom_version", 21), 2: ("flash_version", 31)}.get(kind)
        if not self.settings.adopt_versions or field is None or self.latest_notice is None:
            return
        name, start = field
        version = self.latest_notice[start:start + 10].split(b"\0", 1)[0].decode("latin-1")
        if version:
            setattr(self.settings, name, version)
            self.log.event("version adopted", kind=kind, version=version)

    def close(self):
        self.images.close()
