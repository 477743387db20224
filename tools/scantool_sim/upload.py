"""The ScanTool's side of the upload exchange: after the program's start request it accepts,
sends numbered blocks one at a time, each after the previous one was acknowledged, and ends with
the end frame, which the program acknowledges too."""

from . import codec

ACCEPTED = 0x0144
BLOCK = 0x0204
END = 0x0304
BLOCK_ACK = 0x0242
END_ACK = 0x0344


def block_data(number, size, data=None):
    """Block contents: the given bytes (the same in every block, or a list with one entry per
    block), or byte i of block b = (b + i) mod 256."""
    if isinstance(data, list):
        return data[number]
    if data is not None:
        return data
    return bytes((number + i) & 0xFF for i in range(size))


class UploadPlan:
    def __init__(self, blocks=1, size=16, data=None, repeat=(), skip=(), accept=True,
                 accept_delay_ms=0, first_block_ms=100, gap_ms=0, ack_timeout_ms=2500, retries=5,
                 end=True, now=False):
        self.blocks = blocks
        self.size = size
        self.data = data
        self.repeat = set(repeat)
        self.skip = set(skip)
        self.accept = accept
        self.accept_delay_ms = accept_delay_ms
        # Block 0 follows the acceptance after a pause, so that a reader that takes one frame
        # per poll and drops what is left when a poll finds nothing new does not lose it.
        self.first_block_ms = first_block_ms
        self.gap_ms = gap_ms
        self.ack_timeout_ms = ack_timeout_ms
        self.retries = retries
        self.end = end
        self.now = now


class Upload:
    """States: idle (no plan), armed (plan waits for a start request), sending (a block or the
    end frame waits for its acknowledgement), done, failed."""

    def __init__(self, send):
        self.send = send  # send(frame bytes, delay ms)
        self.plan = None
        self.state = "idle"
        self.acked = 0
        self.next_block = 0
        self.outstanding = None  # block number sent, or "end"
        self.deadline = None
        self.attempts = 0
        self.repeated = set()
        self.skipped = set()
        self.statuses = []

    def arm(self, plan, now):
        self.plan = plan
        self.acked = 0
        self.next_block = 0
        self.repeated.clear()
        self.skipped.clear()
        self.statuses = []
        self.outstanding = None
        self.deadline = None
        self.state = "armed"
        if plan.now:
            self.state = "sending"
            self._send_next(now, 0)

    def cancel(self):
        self.plan = None
        self.state = "idle"
        self.deadline = None

    def on_start_request(self, now):
        """Returns True when the request was answered."""
        if self.state != "armed" or not self.plan.accept:
            return False
        self.send(codec.build(ACCEPTED), self.plan.accept_delay_ms)
        self.state = "sending"
        self._send_next(now, self.plan.accept_delay_ms + self.plan.first_block_ms)
        return True

    def on_block_ack(self, status, now):
        if self.state != "sending" or self.outstanding in (None, "end"):
            return
        self.statuses.append(status)
        sent = self.outstanding
        if status == 0 and sent == self.next_block:
            self.acked += 1
            self.next_block += 1
            if sent in self.plan.repeat and sent not in self.repeated:
                # Send the same block again: the program must acknowledge it and store it once.
                self.repeated.add(sent)
                self._send_block(sent, now, self.plan.gap_ms)
                return
        # A repeat's acknowledgement, a refusal (status 2 for a block out of sequence) or any
        # other answer: go on with the block the program expects.
        self._send_next(now, self.plan.gap_ms)

    def on_end_ack(self):
        if self.state == "sending" and self.outstanding == "end":
            self.state = "done"
            self.deadline = None
            self.outstanding = None

    def on_tick(self, now):
        if self.deadline is None or now < self.deadline:
            return
        if self.outstanding == "end":
            self._send_end(now, 0)
        else:
            self._send_block(self.outstanding, now, 0)

    def _send_next(self, now, delay_ms):
        n = self.next_block
        if n >= self.plan.blocks:
            if self.plan.end:
                self._send_end(now, delay_ms)
            else:
                self.state = "done"
                self.deadline = None
            return
        if n in self.plan.skip and n not in self.skipped:
            # Jump ahead once: the program must refuse the block with status 2.
            self.skipped.add(n)
            self._send_block(n + 1, now, delay_ms)
            return
        self._send_block(n, now, delay_ms)

    def _count_attempt(self, what):
        """False (and the upload failed) when `what` was sent too often in a row."""
        if what != self.outstanding:
            self.attempts = 0
        if self.attempts >= self.plan.retries:
            self.state = "failed"
            self.deadline = None
            return False
        self.attempts += 1
        self.outstanding = what
        return True

    def _send_block(self, number, now, delay_ms):
        if not self._count_attempt(number):
            return
        self.outstanding = number
        payload = bytes((number & 0xFF, (number >> 8) & 0xFF))
        payload += block_data(number, self.plan.size, self.plan.data)
        self.send(codec.build(BLOCK, payload), delay_ms)
        self.deadline = now + (delay_ms + self.plan.ack_timeout_ms) / 1000.0

    def _send_end(self, now, delay_ms):
        if not self._count_attempt("end"):
            return
        self.send(codec.build(END), delay_ms)
        self.deadline = now + (delay_ms + self.plan.ack_timeout_ms) / 1000.0
