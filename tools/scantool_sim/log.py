"""The frame log: one JSON object per line for every frame received and sent and for notable
events.  Fields: t (seconds since start), dir (rx, tx, junk, event), marker, code, len, payload
(hex), error."""

import json
import time


class FrameLog:
    def __init__(self, path):
        self.file = open(path, "a", buffering=1 << 16) if path else None
        self.start = time.monotonic()
        self.dirty = False

    def _write(self, entry):
        if self.file is None:
            return
        entry["t"] = round(time.monotonic() - self.start, 6)
        self.file.write(json.dumps(entry, separators=(",", ":")) + "\n")
        self.dirty = True

    def request(self, frame):
        entry = {"dir": "rx", "marker": frame.marker.decode("latin-1"), "code": frame.code,
                 "len": len(frame.raw), "payload": frame.payload.hex()}
        if frame.error:
            entry["error"] = frame.error
        self._write(entry)

    def frame(self, direction, raw):
        self._write({"dir": direction, "marker": raw[0:2].decode("latin-1"),
                     "code": raw[4] | (raw[5] << 8), "len": len(raw),
                     "payload": bytes(raw[6:-4]).hex()})

    def raw(self, direction, data):
        self._write({"dir": direction, "raw": bytes(data).hex(), "len": len(data)})

    def junk(self, data):
        self._write({"dir": "junk", "raw": bytes(data).hex(), "len": len(data)})

    def event(self, what, **details):
        entry = {"dir": "event", "event": what}
        entry.update(details)
        self._write(entry)

    def flush(self):
        if self.file is not None and self.dirty:
            self.file.flush()
            self.dirty = False

    def close(self):
        if self.file is not None:
            self.file.close()
            self.file = None
