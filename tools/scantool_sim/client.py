"""One line command to a running simulator through its control socket (`--control PATH`), on
a connection of its own, so that a `wait` may take as long as it likes."""

import socket


def command(socket_path, line):
    """Sends `line` and returns the simulator's one-line answer ("ok ..." or "error ..."), or
    "" when the simulator went away before answering."""
    with socket.socket(socket.AF_UNIX) as s:
        s.connect(socket_path)
        s.sendall(line.encode() + b"\n")
        answer = b""
        while not answer.endswith(b"\n"):
            part = s.recv(4096)
            if not part:
                break
            answer += part
    return answer.decode().strip()
