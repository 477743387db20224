"""Finds out how the program reads the port without asking it anything, so that a demo can
print a report when the Print page opens: that page polls the port every 15 ms and writes
nothing, the upload recorder of the first page reads once a second, the other pages do not
read at all.

The probe is the two bytes NUL "A": the print text path drops a NUL and the byte after it, the
frame reassembler ignores a chunk that does not begin with "$", the upload recorder drops what
is not a frame, and a device command discards unread input before each attempt.  A probe is
written only while nothing else is on its way to the program and the line is otherwise idle,
and the next one only once the last is taken, so probes never pile up.  None is written while
an upload is armed or running: the recorder keeps bytes that are not a frame until a read
brings nothing, and a frame read behind them would be lost.  A probe is not invisible everywhere:
any bytes switch the Print page from its waveform chart back to the report, so while the chart
is to stay, `probe=0` watches only for bytes from the program."""

import fcntl
import os
import struct
import termios

PROBE = b"\x00A"
FAST_S = 0.08  # a probe gone after this long was taken by a poll of a few milliseconds; looked
# at only then, since bytes written to a pseudo-terminal reach its reader a moment later
SLOW_S = 0.25  # a probe still unread after this long: nobody polls that fast
QUIET_S = 1.5  # no probing within this long of the program's last bytes (it is busy talking)
PROBES_IN_A_ROW = 3  # a reader that reads once a second cannot take three in a row quickly
WATCH_GAP_S = 0.3  # while the Print page is known to poll, one probe this often is enough


class ReaderProbe:
    """One question at a time: `step(now)` returns "print" (the port is polled as the Print
    page polls it) or "other" (it is not), or None while the answer is not known yet."""

    def __init__(self, sim, want, probing=True):
        self.sim = sim
        self.want = want
        self.probing = probing  # False: "other" only once the program writes or is unplugged
        self.sent_at = None  # when the probe on its way was written
        self.looked = False  # whether it was looked at after FAST_S
        self.next_at = 0.0  # no new probe before this
        self.fast = 0  # probes taken quickly in a row
        self.started_rx = sim.last_rx

    def _unread(self):
        """Bytes written to the program that it has not read yet."""
        raw = fcntl.ioctl(self.sim.link.slave, termios.FIONREAD, b"\0\0\0\0")
        return struct.unpack("i", raw)[0]

    def next_wakeup(self, now):
        if not self.probing:
            return now + 0.2
        if self.sent_at is not None and not self.looked:
            return max(now, self.sent_at + FAST_S)
        if self.sent_at is not None:
            return now + 0.05  # until the probe is taken, or found slow
        return max(now + 0.01, min(now + 0.2, self.next_at))

    def step(self, now):
        sim = self.sim
        if not sim.plugged:
            self.sent_at, self.fast = None, 0
            return "other" if self.want == "other" else None
        if self.want == "other" and sim.last_rx != self.started_rx:
            return "other"  # the Print page never writes to the port
        if not self.probing:
            return None
        if sim.link.pending() or sim.device.upload.state in ("armed", "sending"):
            return None  # our own bytes are on their way; ask again once they are out
        unread = self._unread()
        if self.sent_at is None and unread > 0:
            # A probe that reached the program only after it was looked at: a slow one.
            self.sent_at, self.looked, self.fast = now - FAST_S, True, 0
        if self.sent_at is not None:
            age = now - self.sent_at
            if not self.looked:
                if age < FAST_S:
                    return None
                self.looked = True
                if unread == 0:
                    quick = now - sim.last_rx >= QUIET_S
                    self.fast = self.fast + 1 if quick else 0
                    return self._taken(now)
                self.fast = 0
                return None
            if unread > 0:
                return "other" if self.want == "other" and age >= SLOW_S else None
            return self._taken(now)  # taken, but slowly
        if now < self.next_at:
            return None
        if self.want == "print" and now - sim.last_rx < QUIET_S:
            return None
        try:
            os.write(sim.link.master, PROBE)
        except OSError:
            return None
        sim.log.event("reader probe")
        self.sent_at, self.looked = now, False
        return None

    def _taken(self, now):
        self.sent_at = None
        if self.want == "print" and self.fast >= PROBES_IN_A_ROW:
            return "print"
        if self.want == "other":
            self.next_at = now + WATCH_GAP_S
        return None
