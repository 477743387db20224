"""Line commands that steer a running simulator; each is answered with one line, "ok ..." or
"error ...".  `help` lists them."""

import os
import shlex
import time

from . import codec, printing
from .faults import Fault
from .reader_probe import ReaderProbe
from .upload import UploadPlan

HELP = """commands (one per line, answered with "ok ..." or "error ..."):
  ping | sync                        answer ok (sync also flushes the frame log)
  plug | unplug [ms=N]               create / remove the device node link and sysfs entry
                                     (unplug ms=N plugs back after N ms)
  set key=value ...                  change a setting (see `get`); e.g. set info_form=short
  get [key]                          show settings
  fault KIND [cmd=0x0403] [count=N] [block=n] [value=v] [ms=N]
                                     KIND: ignore wrong_group wrong_sub bad_crc short long
                                     status (value=v) delay (ms=N) unplug (instead of the
                                     reply; ms=N plugs back after N ms); applies to the
                                     next N matching requests (block= only to firmware
                                     blocks of that number)
  fault clear                        forget all faults
  print HEX [split=N] [gap_ms=M]     send raw bytes unasked (print text with its escapes),
                                     in writes of N bytes M ms apart when split= is given
  text WORDS...                      send the words as 8-bit text with CR LF
  report [codepage=N] [split=N] [gap_ms=M]
                                     a coloured battery report with fixed Persian phrases,
                                     the ohm sign as 0x7F and one line in code page N
                                     (default 28605; 936, 950, 932, 949, 125x, 866, ...)
  wave S1 S2 ...                     send one waveform sample frame (unsigned 16-bit samples)
  wave_end                           send the waveform end frame
  wave_sweep [count=N] [low=V] [high=V] [frame=K] [gap_ms=M] [end=0]
                                     a whole capture: N samples (default 1500) rising and
                                     falling between low and high (in 0.1 V), in frames of K
                                     samples (default 200) M ms apart, then the end frame
                                     (none with end=0)
  bad_frame crc | length=N | cut=N   a damaged sample frame: wrong checksum, declared length
                                     N, or only its first N bytes
  print_file PATH                    send a file's bytes unasked
  frame CODE [HEX]                   send any frame from the device
  upload blocks=N size=S [data=HEX | file=PATH] [repeat=k,..] [skip=k,..] [accept=0]
         [accept_delay_ms=N] [first_block_ms=N] [gap_ms=N] [ack_timeout_ms=N] [retries=N]
         [end=0] [now=1]
                                     arm an upload for the next start request (now=1: send
                                     the blocks at once, without a start exchange; file=:
                                     the file's bytes in blocks of S, as many as it takes)
  upload cancel
  status                             plugged, upload state, counts
  count code=0x0103                  how many valid requests with that code arrived
  wait code=0x0103 [count=N] [timeout_ms=N]
                                     answer once N such requests arrived (or error timeout)
  wait upload=done [timeout_ms=N]    answer once the upload is done or failed
  wait reader=print|other [probe=0] [timeout_ms=N]
                                     answer once the program polls the port as its Print
                                     page does (every few ms, writing nothing), or once it
                                     does not; found with probe bytes (NUL "A") that the
                                     report drops (probe=0: other only once it writes)
  notices                            the last latest-version notice (hex) and size notices
  stats                              own processing time per firmware block
  image KIND                         path and size of the reassembled image of a FirmwareKind
  quit                               remove everything and exit"""


def _int(text):
    return int(text, 0)


def _options(words):
    out = {}
    for w in words:
        if "=" not in w:
            raise ValueError(f"expected key=value, got {w!r}")
        k, v = w.split("=", 1)
        out[k] = v
    return out


def _numbers(text):
    return [int(x, 0) for x in text.split(",") if x]


class Waiter:
    def __init__(self, reply, condition, deadline, wakeup=None):
        self.reply = reply
        self.condition = condition  # returns the reply line once settled, else None
        self.deadline = deadline
        self.wakeup = wakeup  # when the condition wants to be asked again, if sooner


class Control:
    def __init__(self, sim):
        self.sim = sim
        self.waiters = []

    def run(self, line, reply):
        """Runs one command line; `reply` is called once with the answer text."""
        try:
            words = shlex.split(line)
        except ValueError as e:
            reply(f"error {e}")
            return
        if not words:
            return
        name, args = words[0], words[1:]
        handler = getattr(self, "cmd_" + name, None)
        if handler is None:
            reply(f"error unknown command {name!r} (try help)")
            return
        try:
            answer = handler(args, reply)
        except Exception as e:  # a mistyped command must not stop the device
            reply(f"error {type(e).__name__}: {e}")
            return
        if answer is not None:
            reply(answer)

    def check_waiters(self, now):
        still = []
        for w in self.waiters:
            text = w.condition()
            if text is not None:
                w.reply(text)
            elif now >= w.deadline:
                w.reply("error timeout")
            else:
                still.append(w)
        self.waiters = still

    def drop_waiters(self, reply):
        """Forgets the waits of a client that has gone."""
        self.waiters = [w for w in self.waiters if w.reply is not reply]

    def next_deadline(self):
        now = time.monotonic()
        times = [w.deadline for w in self.waiters]
        times += [w.wakeup(now) for w in self.waiters if w.wakeup]
        return min(times, default=None)

    # Commands ---------------------------------------------------------------------------

    def cmd_help(self, args, reply):
        for line in HELP.splitlines():
            reply("# " + line)
        return "ok"

    def cmd_ping(self, args, reply):
        return "ok"

    def cmd_sync(self, args, reply):
        return "ok"

    def cmd_plug(self, args, reply):
        self.sim.plug()
        return f"ok {self.sim.link.slave_path}"

    def cmd_unplug(self, args, reply):
        ms = _int(_options(args).get("ms", "0"))
        self.sim.unplug()
        self.sim.replug_at = time.monotonic() + ms / 1000.0 if ms > 0 else None
        return "ok"

    def cmd_set(self, args, reply):
        for key, value in _options(args).items():
            if key == "pace":
                self.sim.link.pace = value.lower() in ("1", "true", "yes", "on")
            else:
                self.sim.device.settings.set(key, value)
        return "ok"

    def cmd_get(self, args, reply):
        s = self.sim.device.settings
        values = dict(vars(s))
        values["pace"] = self.sim.link.pace
        if args:
            return "ok " + str(values[args[0]])
        return "ok " + " ".join(f"{k}={v}" for k, v in values.items())

    def cmd_fault(self, args, reply):
        if args == ["clear"]:
            self.sim.device.faults.clear()
            return "ok"
        o = _options(args[1:])
        fault = Fault(args[0], cmd=_int(o["cmd"]) if "cmd" in o else None,
                      count=_int(o.get("count", "1")),
                      block=_int(o["block"]) if "block" in o else None,
                      value=_int(o.get("value", "1")), ms=_int(o.get("ms", "0")))
        self.sim.device.faults.add(fault)
        return "ok"

    def _send_split(self, data, options):
        split = _int(options.get("split", "0"))
        gap_ms = _int(options.get("gap_ms", "20"))
        if split < 0 or gap_ms < 0:
            raise ValueError("split and gap_ms must not be negative")
        self.sim.device.send_raw(data, split=split, gap_ms=gap_ms)

    def cmd_print(self, args, reply):
        data = bytes.fromhex("".join(a for a in args if "=" not in a))
        self._send_split(data, _options(a for a in args if "=" in a))
        return "ok"

    def cmd_report(self, args, reply):
        o = _options(args)
        data = printing.report(_int(o.get("codepage", "28605")))
        self._send_split(data, o)
        return f"ok {len(data)}"

    def cmd_bad_frame(self, args, reply):
        if not args:
            raise ValueError("bad_frame crc | length=N | cut=N")
        if args[0] == "crc":
            frame = printing.damaged("crc")
        else:
            kind, value = args[0].split("=", 1)
            frame = printing.damaged(kind, _int(value))
        self.sim.device.send_raw(frame)
        return "ok"

    def cmd_text(self, args, reply):
        self.sim.device.send_raw((" ".join(args) + "\r\n").encode("latin-1", "replace"))
        return "ok"

    def cmd_wave(self, args, reply):
        payload = b"".join(_int(a).to_bytes(2, "little") for a in args)
        self.sim.device.send_frame(codec.build(0x01FF, payload))
        return "ok"

    def cmd_wave_end(self, args, reply):
        self.sim.device.send_frame(codec.build(0x02FF))
        return "ok"

    def cmd_wave_sweep(self, args, reply):
        o = _options(args)
        count, low, high, per_frame, gap_ms = (_int(o.get(k, d)) for k, d in (
            ("count", "1500"), ("low", "118"), ("high", "144"), ("frame", "200"),
            ("gap_ms", "0")))
        frames = printing.wave_frames(printing.sweep(count, low, high), per_frame)
        if o.get("end", "1") not in ("0", "false", "no", "off"):
            frames.append(codec.build(printing.WAVE_END))
        for i, frame in enumerate(frames):
            self.sim.device.send_frame(frame, delay_ms=i * gap_ms)
        return f"ok {len(frames)}"

    def cmd_print_file(self, args, reply):
        with open(args[0], "rb") as f:
            self.sim.device.send_raw(f.read())
        return "ok"

    def cmd_frame(self, args, reply):
        payload = bytes.fromhex("".join(args[1:]))
        self.sim.device.send_frame(codec.build(_int(args[0]), payload))
        return "ok"

    def cmd_upload(self, args, reply):
        up = self.sim.device.upload
        if args == ["cancel"]:
            up.cancel()
            return "ok"
        o = _options(args)
        flag = lambda k, d: o.get(k, d) not in ("0", "false", "no", "off")
        blocks, size = _int(o.get("blocks", "1")), _int(o.get("size", "16"))
        data = bytes.fromhex(o["data"]) if "data" in o else None
        if "file" in o:
            # A file's bytes, cut into blocks of `size` (the last one shorter).
            with open(o["file"], "rb") as f:
                content = f.read()
            if size < 1 or not content:
                raise ValueError("file= needs size >= 1 and a file that is not empty")
            data = [content[i:i + size] for i in range(0, len(content), size)]
            blocks = len(data)
        plan = UploadPlan(
            blocks=blocks, size=size, data=data,
            repeat=_numbers(o.get("repeat", "")), skip=_numbers(o.get("skip", "")),
            accept=flag("accept", "1"), accept_delay_ms=_int(o.get("accept_delay_ms", "0")),
            first_block_ms=_int(o.get("first_block_ms", "100")),
            gap_ms=_int(o.get("gap_ms", "0")), ack_timeout_ms=_int(o.get("ack_timeout_ms", "2500")),
            retries=_int(o.get("retries", "5")), end=flag("end", "1"), now=flag("now", "0"))
        up.arm(plan, time.monotonic())
        return "ok"

    def cmd_status(self, args, reply):
        up = self.sim.device.upload
        return (f"ok plugged={int(self.sim.plugged)} upload={up.state} "
                f"upload_acked={up.acked} device_id={self.sim.device.settings.device_id}")

    def cmd_count(self, args, reply):
        code = _int(_options(args)["code"])
        return f"ok {self.sim.device.counts.get(code, 0)}"

    def cmd_wait(self, args, reply):
        o = _options(args)
        deadline = time.monotonic() + _int(o.get("timeout_ms", "5000")) / 1000.0
        device = self.sim.device
        wakeup = None
        if "reader" in o:
            if o["reader"] not in ("print", "other"):
                raise ValueError("reader=print or reader=other")
            probe = ReaderProbe(self.sim, o["reader"], o.get("probe", "1") != "0")
            wakeup = probe.next_wakeup

            def condition():
                found = probe.step(time.monotonic())
                return "ok " + found if found else None
        elif "upload" in o:
            want = o["upload"]

            def condition():
                state = device.upload.state
                if state == want:
                    return "ok " + state
                return "error upload failed" if state == "failed" else None
        else:
            code, count = _int(o["code"]), _int(o.get("count", "1"))

            def condition():
                n = device.counts.get(code, 0)
                return f"ok {n}" if n >= count else None

        self.waiters.append(Waiter(reply, condition, deadline, wakeup))
        self.check_waiters(time.monotonic())
        return None

    def cmd_notices(self, args, reply):
        d = self.sim.device
        latest = d.latest_notice.hex() if d.latest_notice is not None else "-"
        sizes = " ".join(f"size{kind}={size}" for kind, size in sorted(d.size_notices.items()))
        return f"ok latest={latest} {sizes}".rstrip()

    def cmd_stats(self, args, reply):
        times = sorted(self.sim.device.block_times)
        if not times:
            return "ok blocks=0"
        us = lambda q: times[min(len(times) - 1, int(q * len(times)))] * 1e6
        avg = sum(times) / len(times) * 1e6
        return (f"ok blocks={len(times)} block_us_avg={avg:.1f} block_us_median={us(0.5):.1f} "
                f"block_us_p99={us(0.99):.1f} block_us_max={times[-1] * 1e6:.1f}")

    def cmd_image(self, args, reply):
        path = self.sim.device.images.path(_int(args[0]))
        size = os.path.getsize(path) if os.path.exists(path) else -1
        return f"ok {path} {size}"

    def cmd_quit(self, args, reply):
        self.sim.running = False
        return "ok"
