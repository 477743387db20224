#!/usr/bin/env python3
"""Test update server: answers the check-upgrade script and serves image files over HTTP on
loopback, logs every request, and misbehaves on command.  See tools/README-update-server.md."""

import argparse
import gzip
import hashlib
import json
import os
import select
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse
import zlib

sys.dont_write_bytecode = True

CHECK_PATH = "/quillon/kv_checkupgrade.php"
IMAGE_PREFIX = "/quillon/images/"
CONTROL_PATH = "/__control"
MAGIC = b"md5_check-v1.0.0"
MAX_HEAD = 65536
HOLD_LIMIT = 60.0  # no connection is held open longer than this

FAULT_KINDS = {
    "status": "answer with status code=N (404, 500, ...)",
    "redirect": "hops=N redirects first; relative=0 absolute URL, 1 '/path', 2 'name' beside",
    "body": "text=... (percent-encoded) replaces the body",
    "no-length": "no Content-Length; the body ends when the connection closes",
    "gzip": "Content-Encoding: gzip, body compressed",
    "deflate": "Content-Encoding: deflate, zlib-wrapped (raw=1: raw deflate stream)",
    "bad-gzip": "Content-Encoding: gzip over a body that is not gzip",
    "long-head": "head of size=N bytes (default 1100) through padding fields",
    "not-http": "a head whose status line does not begin with HTTP",
    "silent": "read the request, then send nothing and hold the connection",
    "stall": "send the head and after=N body bytes, then hold the connection",
    "truncate": "announce the whole body, send after=N bytes, close",
    "wrong-size": "serve delta=N bytes more (or fewer, N < 0), announced honestly",
    "bad-digest": "append a trailer whose digest is wrong",
    "trickle": "send bytes=N every interval=S seconds",
    "reset": "send the head and after=N body bytes, then reset the connection",
    "hold": "answer normally, then keep the connection open",
}

HELP = """commands (one per line, answered with one line 'ok ...' or 'error ...'):
  offer key=TYPE/SUBTYPE rom=VERSION:FILE flash=VERSION:FILE   set the offer ('default' key too)
  set trailer=0|1           append the 48-byte MD5 trailer to served images (default 1)
  fault KIND [target=check|images|all|/path] [count=N] [param=value ...]
  clear                     drop every fault
  requests                  number of requests logged so far
  help | quit
fault kinds:
""" + "".join("  %-11s %s\n" % kv for kv in FAULT_KINDS.items())


def parse_args_line(words):
    params = {}
    for word in words:
        if "=" not in word:
            raise ValueError("expected key=value, got %r" % word)
        key, value = word.split("=", 1)
        params[key] = urllib.parse.unquote(value)
    return params


class Fault:
    def __init__(self, kind, params):
        if kind not in FAULT_KINDS:
            raise ValueError("unknown fault %r" % kind)
        self.kind = kind
        self.target = params.pop("target", "all")
        count = params.pop("count", "")
        self.remaining = int(count) if count else None
        self.params = params

    def matches(self, path):
        if self.target == "all":
            return True
        if self.target == "check":
            return path == CHECK_PATH
        if self.target == "images":
            return path.startswith(IMAGE_PREFIX)
        return path == self.target

    def num(self, key, default):
        return float(self.params[key]) if key in self.params else default

    def describe(self):
        extra = "".join(" %s=%s" % kv for kv in sorted(self.params.items()))
        return "%s target=%s%s" % (self.kind, self.target, extra)


class State:
    """What the server knows: images, offers, faults, the request log.  Shared by the threads."""

    def __init__(self, images, offers, log_path, trailer):
        self.lock = threading.Lock()
        self.images = images
        self.offers = offers
        self.trailer = trailer
        self.faults = []
        self.count = 0
        self.start = time.monotonic()
        self.log = open(log_path, "a", encoding="utf-8") if log_path else None
        self.digests = {}
        self.stopping = threading.Event()
        self.port = 0

    def take_faults(self, path):
        with self.lock:
            taken = [f for f in self.faults if f.matches(path)]
            for f in taken:
                if f.remaining is not None:
                    f.remaining -= 1
            self.faults = [f for f in self.faults if f.remaining is None or f.remaining > 0]
            return taken

    def record(self, method, target, raw, faults, client):
        entry = {
            "t": round(time.monotonic() - self.start, 4),
            "method": method,
            "path": target,
            "raw": raw.hex(),
            "faults": ",".join(f.kind for f in faults),
            "client": client,
        }
        with self.lock:
            self.count += 1
            if self.log:
                self.log.write(json.dumps(entry, separators=(",", ":")) + "\n")
                self.log.flush()
            else:
                sys.stderr.write("%s %s %s\n" % (method, target, entry["faults"]))

    def image_path(self, name):
        # Subfolders are allowed ("rom/fw.bin"), so that two images may share a file name.
        if not name or "\\" in name or any(p in ("", ".", "..") for p in name.split("/")):
            return None
        path = os.path.join(self.images, name)
        return path if os.path.isfile(path) else None

    def trailer_for(self, path):
        info = os.stat(path)
        key = (path, info.st_size, info.st_mtime_ns)
        with self.lock:
            cached = self.digests.get(key)
        if cached is None:
            md5 = hashlib.md5()
            with open(path, "rb") as f:
                for block in iter(lambda: f.read(1 << 20), b""):
                    md5.update(block)
            cached = MAGIC + md5.hexdigest().encode()
            with self.lock:
                self.digests[key] = cached
        return cached

    def served_size(self, name):
        path = self.image_path(name)
        if path is None:
            return 0
        return os.path.getsize(path) + (len(MAGIC) + 32 if self.trailer else 0)

    def offer_reply(self, body):
        form = urllib.parse.parse_qs(body.decode("latin-1"), keep_blank_values=True)
        key = "%s/%s" % (form.get("types", [""])[0], form.get("subtype", [""])[0])
        with self.lock:
            entry = self.offers.get(key) or self.offers.get("default")
        if not entry:
            return ("no offer for %s" % key).encode()
        parts = ["ok"]
        for kind in ("rom", "flash"):
            item = entry.get(kind, {})
            name = item.get("file", "")
            parts += [item.get("version", ""), IMAGE_PREFIX + name, str(self.served_size(name))]
        return "|".join(parts).encode()


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.request.settimeout(HOLD_LIMIT)

    def read_request(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.request.recv(4096)
            if not chunk:
                return None
            data += chunk
            if len(data) > MAX_HEAD:
                return None
        head, _, rest = data.partition(b"\r\n\r\n")
        lines = head.split(b"\r\n")
        parts = lines[0].decode("latin-1").split(" ")
        method, target = (parts + ["", ""])[:2]
        length = 0
        for line in lines[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value.strip() or b"0")
        while len(rest) < length:
            chunk = self.request.recv(4096)
            if not chunk:
                break
            rest += chunk
        if method == "POST":
            # The client sends four more bytes after the body; they belong to what it sent.
            deadline = time.monotonic() + 0.2
            while len(rest) < length + 4 and time.monotonic() < deadline:
                ready, _, _ = select.select([self.request], [], [], 0.02)
                if ready:
                    chunk = self.request.recv(4096)
                    if not chunk:
                        break
                    rest += chunk
        return method, target, head + b"\r\n\r\n" + rest, rest[:length]

    def handle(self):
        state = self.server.state
        try:
            request = self.read_request()
        except (OSError, ValueError):
            return
        if request is None:
            return
        method, target, raw, body = request
        path, _, query = target.partition("?")
        if path == CONTROL_PATH:
            command = urllib.parse.parse_qs(query).get("cmd", [""])[0]
            self.send_plain(200, run_command(state, command).encode() + b"\n")
            return
        query_args = urllib.parse.parse_qs(query)
        hop = int(query_args.get("hop", ["0"])[0] or 0)
        faults = [] if hop else state.take_faults(path)
        state.record(method, target, raw, faults, self.client_address[0])
        by_kind = {f.kind: f for f in faults}
        try:
            self.respond(state, method, path, query_args, hop, body, by_kind)
        except OSError:
            pass

    def send_plain(self, status, body):
        head = "HTTP/1.0 %d X\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n\r\n" % (
            status, len(body))
        self.request.sendall(head.encode() + body)

    def redirect(self, state, path, hop, hops, relative):
        query = "hop=%d&hops=%d&rel=%d" % (hop, hops, relative)
        if relative == 0:
            location = "http://127.0.0.1:%d%s?%s" % (state.port, path, query)
        elif relative == 1:
            location = "%s?%s" % (path, query)
        else:
            location = "%s?%s" % (path.rsplit("/", 1)[-1], query)
        head = "HTTP/1.0 302 Found\r\nLocation: %s\r\nContent-Length: 9\r\n\r\n" % location
        self.request.sendall(head.encode() + b"redirect\n")

    def respond(self, state, method, path, query, hop, body, faults):
        redirect = faults.get("redirect")
        if redirect:
            hops = int(redirect.num("hops", 1))
            return self.redirect(state, path, 1, hops, int(redirect.num("relative", 0)))
        if hop:
            hops = int(query.get("hops", ["1"])[0])
            if hop < hops:
                return self.redirect(state, path, hop + 1, hops, int(query.get("rel", ["0"])[0]))

        status, reason, content, file_path, trailer = 200, "OK", b"", None, b""
        if path == CHECK_PATH:
            content = state.offer_reply(body)
        elif path.startswith(IMAGE_PREFIX):
            file_path = state.image_path(path[len(IMAGE_PREFIX):])
            if file_path is None:
                status, reason, content = 404, "Not Found", b"not found\n"
            elif state.trailer or "bad-digest" in faults:
                trailer = state.trailer_for(file_path)
                if "bad-digest" in faults:
                    digit = trailer[len(MAGIC):len(MAGIC) + 1]
                    trailer = MAGIC + (b"1" if digit == b"0" else b"0") + trailer[len(MAGIC) + 1:]
        else:
            status, reason, content = 404, "Not Found", b"not found\n"
        if "status" in faults:
            status, reason = int(faults["status"].num("code", 500)), "Fault"
            content, file_path, trailer = b"fault\n", None, b""
        if "body" in faults:
            content, file_path, trailer = faults["body"].params.get("text", "").encode(
                "latin-1"), None, b""

        needs_bytes = any(k in faults for k in (
            "gzip", "deflate", "bad-gzip", "wrong-size", "trickle", "stall", "truncate", "reset"))
        if file_path is not None and needs_bytes:
            with open(file_path, "rb") as f:
                content = f.read()
            content += trailer
            file_path, trailer = None, b""
        if "wrong-size" in faults:
            delta = int(faults["wrong-size"].num("delta", 1))
            content = content + b"\xA5" * delta if delta >= 0 else content[:delta]

        fields = [("Content-Type", "text/plain" if path == CHECK_PATH else
                   "application/octet-stream")]
        if "gzip" in faults:
            content = gzip.compress(content)
            fields.append(("Content-Encoding", "gzip"))
        elif "deflate" in faults:
            if faults["deflate"].num("raw", 0):
                packer = zlib.compressobj(9, zlib.DEFLATED, -15)
                content = packer.compress(content) + packer.flush()
            else:
                content = zlib.compress(content)
            fields.append(("Content-Encoding", "deflate"))
        elif "bad-gzip" in faults:
            content = b"this is not gzip data at all"
            fields.append(("Content-Encoding", "gzip"))

        size = (os.path.getsize(file_path) + len(trailer)) if file_path else len(content)
        if "no-length" not in faults:
            fields.append(("Content-Length", str(size)))
        fields.append(("Connection", "close"))
        status_line = "HTTP/1.0 %d %s" % (status, reason)
        if "not-http" in faults:
            status_line = "JUNK/1.0 200 OK"
        head = status_line + "\r\n" + "".join("%s: %s\r\n" % f for f in fields)
        if "long-head" in faults:
            # One padding field brings the head, blank line included, to exactly size bytes.
            need = int(faults["long-head"].num("size", 1100)) - len(head) - 2
            if need >= 13:
                head += "X-Padding: %s\r\n" % ("p" * (need - 13))
        head = (head + "\r\n").encode("latin-1")

        sock = self.request
        if "silent" in faults:
            return self.hold()
        if "trickle" in faults:
            step = max(int(faults["trickle"].num("bytes", 1)), 1)
            interval = faults["trickle"].num("interval", 0.05)
            data = head + content
            for i in range(0, len(data), step):
                if state.stopping.is_set():
                    return
                sock.sendall(data[i:i + step])
                time.sleep(interval)
            return
        for kind in ("stall", "truncate", "reset"):
            if kind in faults:
                after = int(faults[kind].num("after", len(content) // 2))
                sock.sendall(head + content[:after])
                if kind == "stall":
                    return self.hold()
                if kind == "reset":
                    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                return
        sock.sendall(head)
        if method != "HEAD":
            if file_path:
                with open(file_path, "rb") as f:
                    sock.sendfile(f)
                sock.sendall(trailer)
            else:
                sock.sendall(content)
        if "hold" in faults:
            self.hold()

    def hold(self):
        """Keeps the connection open, sending nothing, until the client goes or we quit."""
        deadline = time.monotonic() + HOLD_LIMIT
        state = self.server.state
        while time.monotonic() < deadline and not state.stopping.is_set():
            ready, _, _ = select.select([self.request], [], [], 0.05)
            if ready:
                try:
                    if not self.request.recv(4096):
                        return
                except OSError:
                    return


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64


def run_command(state, line):
    words = line.split()
    if not words:
        return "error empty command"
    name, rest = words[0], words[1:]
    try:
        if name == "help":
            return "ok commands: offer set fault clear requests help quit; faults: " + " ".join(
                FAULT_KINDS)
        if name == "fault":
            if not rest:
                return "error fault needs a kind"
            fault = Fault(rest[0], parse_args_line(rest[1:]))
            with state.lock:
                state.faults.append(fault)
            return "ok fault " + fault.describe()
        if name == "clear":
            with state.lock:
                state.faults = []
            return "ok clear"
        if name == "set":
            params = parse_args_line(rest)
            if "trailer" in params:
                state.trailer = params["trailer"] not in ("0", "no", "off")
            return "ok set trailer=%d" % state.trailer
        if name == "offer":
            params = parse_args_line(rest)
            entry = {}
            for kind in ("rom", "flash"):
                version, _, name_ = params.get(kind, ":").partition(":")
                entry[kind] = {"version": version, "file": name_}
            with state.lock:
                state.offers[params.get("key", "default")] = entry
            return "ok offer " + params.get("key", "default")
        if name == "requests":
            with state.lock:
                return "ok %d" % state.count
    except (ValueError, KeyError) as error:
        return "error %s" % error
    return "error unknown command %r (try help)" % name


def main():
    parser = argparse.ArgumentParser(description=__doc__, epilog=HELP,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--images", required=True, help="folder of the image files")
    parser.add_argument("--offers", help="JSON: {\"TYPE/SUBTYPE\" or \"default\": "
                        "{\"rom\": {\"version\": V, \"file\": F}, \"flash\": {...}}}")
    parser.add_argument("--log", help="JSON-lines request log (default: one line on stderr)")
    parser.add_argument("--no-trailer", action="store_true",
                        help="serve images as stored, without the MD5 trailer")
    parser.add_argument("--no-stdin", action="store_true",
                        help="run detached: commands only through GET /__control?cmd=...")
    args = parser.parse_args()

    offers = {}
    if args.offers:
        with open(args.offers, encoding="utf-8") as f:
            offers = json.load(f)
    state = State(os.path.abspath(args.images), offers, args.log, not args.no_trailer)
    server = Server((args.host, args.port), Handler)
    server.state = state
    state.port = server.server_address[1]
    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.05},
                              daemon=True)
    thread.start()
    print("READY %d" % state.port, flush=True)
    try:
        if args.no_stdin:
            threading.Event().wait()
        for line in sys.stdin:
            line = line.strip()
            if line == "quit":
                break
            if line:
                print(run_command(state, line), flush=True)
    except KeyboardInterrupt:
        pass
    finally:
        state.stopping.set()
        server.shutdown()
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
