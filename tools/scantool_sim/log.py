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

    def _frame_line(self, direction, marker, code, length, payload, error=None):
        # Formatted by hand: json.dumps costs more than the rest of a firmware block's work.
        # The marker is escaped as JSON in case a damaged frame carries odd bytes there.
        if self.file is None:
            return
        t = time.monotonic() - self.start
        extra = f',"error":"{error}"' if error else ""
        self.file.write(f'{{"dir":"{direction}","marker":{json.dumps(marker.decode("latin-1"))},'
                        f'"code":{code},"len":{length},"payload":"{payload.hex()}"{extra},'
                        f'"t":{t:.6f}}}\n')
        self.dirty = True

    def request(self, frame):
        self._frame_line("rx", frame.marker, frame.code, len(frame.raw), frame.payload,
                         frame.error)

    def frame(self, direction, raw):
        self._frame_line(direction, bytes(raw[0:2]), raw[4] | (raw[5] << 8), len(raw),
                         bytes(raw[6:-4]))

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
