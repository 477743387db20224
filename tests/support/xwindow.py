"""The real program's windows under a virtual X server, for end-to-end tests in Python: found
and measured with xdotool, clicked, read pixel by pixel with ImageMagick's import, and message
boxes read through the X primary selection (their text is selectable).  Standard library only;
the caller provides DISPLAY."""

import subprocess
import time


class Failure(Exception):
    pass


def wait_until(what, predicate, timeout, interval=0.05):
    """Polls `predicate` until it returns something true, which is returned; raises Failure
    after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


def run(*args):
    """A command's standard output, stripped."""
    return subprocess.run(args, capture_output=True, text=True).stdout.strip()


def windows(name):
    """Ids of the visible windows whose name matches the regular expression `name`."""
    return [int(w) for w in run("xdotool", "search", "--onlyvisible", "--name", name).split()]


def geometry(window):
    """(x, y, width, height) of a window on the screen."""
    values = dict(line.split("=") for line in run(
        "xdotool", "getwindowgeometry", "--shell", str(window)).splitlines())
    return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def click(x, y):
    run("xdotool", "mousemove", str(x), str(y), "click", "1")


def pixels(x, y, width=1, height=1):
    """The colours (r, g, b) of a rectangle of the screen, row by row."""
    text = run("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y),
               "-depth", "8", "txt:-")
    # A header line, then "x,y: (r,g,b)  #RRGGBB  srgb(...)" per pixel.
    colours = [line.split("#")[1][:6] for line in text.splitlines()[1:] if "#" in line]
    return [tuple(int(c[i:i + 2], 16) for i in (0, 2, 4)) for c in colours]


def message_text(box):
    """The text of a message box: a triple click selects it into the primary selection."""
    x, y, _, _ = geometry(box)
    subprocess.run(["xclip", "-selection", "primary", "-l", "1"], input="", text=True)
    run("xdotool", "mousemove", str(x + 36), str(y + 19), "click", "--repeat", "3", "--delay",
        "40", "1")
    time.sleep(0.2)
    return run("xclip", "-o", "-selection", "primary")


def dismiss(box, shown):
    """Clicks the box's OK (right-aligned at the bottom) and waits until `shown()` no longer
    lists it.  A key sent to a window that closes on its press can leave the key held down in
    the X server, which then repeats it into every later box."""
    x, y, width, height = geometry(box)
    click(x + width - 52, y + height - 24)
    wait_until("the message box to close", lambda: box not in shown(), 5)
