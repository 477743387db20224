#!/usr/bin/env python3
"""Checks the files that the Print page's end-to-end run left behind; prints one FAIL line per
problem and exits non-zero when there was one.

  print_e2e_check.py <scratch folder>

Expected there: clip.txt and clip.html (the clipboard after Copy), clip_after_clear.txt,
report.txt (saved by Edit) and opened.txt (what the desktop was asked to open),
curve.bmp, curve.png, samples.csv (the chart saved three ways), shot_chart.bmp (a screenshot of
the window with the chart) and window.txt (the window's left and top on the screen)."""

import os
import struct
import sys
import zlib

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def read(path, mode="rb"):
    try:
        with open(path, mode) as f:
            return f.read()
    except OSError as e:
        failures.append(f"{os.path.basename(path)}: {e.strerror}")
        return b"" if "b" in mode else ""


def bmp_pixels(data):
    """Width, height and a pixel function of an uncompressed 24- or 32-bit BMP."""
    if data[:2] != b"BM":
        return 0, 0, None
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bpp = struct.unpack_from("<H", data, 28)[0]
    step = bpp // 8
    stride = (width * step + 3) & ~3
    bottom_up = height > 0
    height = abs(height)

    def pixel(x, y):
        row = height - 1 - y if bottom_up else y
        i = offset + row * stride + x * step
        b, g, r = data[i], data[i + 1], data[i + 2]
        return r, g, b

    return width, height, pixel


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return 0, 0
    return struct.unpack(">II", data[16:24])


def png_red_rows(data):
    """How many rows of an 8-bit RGB(A) PNG hold a curve-red pixel (no interlace)."""
    width, height = png_size(data)
    pos, idat, colour_type = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            colour_type = body[9]
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = {2: 3, 6: 4}.get(colour_type)
    if channels is None:
        return -1
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    rows, i = 0, 0
    for _ in range(height):
        kind, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - channels] if x >= channels else 0
            b = previous[x]
            c = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + a) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + b) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[x] = (line[x] + pred) & 0xFF
        previous = line
        if any(line[x] > 200 and line[x + 1] < 60 and line[x + 2] < 60
               for x in range(0, stride, channels)):
            rows += 1
    return rows


def is_red(p):
    return p[0] > 200 and p[1] < 60 and p[2] < 60


def is_yellow(p):
    return p[0] > 200 and p[1] > 200 and p[2] < 60


def count(pixel, x0, y0, x1, y1, test):
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if test(pixel(x, y)))


def main(scratch):
    path = lambda name: os.path.join(scratch, name)

    # Copy: the whole report as plain text and as rich text with its colours.
    text = read(path("clip.txt"), "r")
    for line in ("==== Battery test report ====", "蓄电池测试结果：良好", "4.2 mΩ",
                 "باترى سالم است", "Tester: ScanTool"):
        check(line in text, f"clipboard text lacks {line!r}")
    html = read(path("clip.html"), "r")
    for colour in ("#0066ff", "#ff0000", "#9933bb"):
        check(f"color:{colour}" in html, f"clipboard rich text lacks the colour {colour}")
    check(read(path("clip_after_clear.txt"), "r").strip() == "",
          "the clipboard after Clear and Copy is not empty")

    # Edit: UTF-16 with a byte-order mark and CR LF, handed to the desktop to open.
    report = read(path("report.txt"))
    check(report[:2] == b"\xff\xfe", "report.txt has no UTF-16 byte-order mark")
    lines = report[2:].decode("utf-16-le", "replace").split("\r\n")
    check("==== Battery test report ====" in lines, "report.txt lacks the report's title line")
    check(lines[-1] == "", "report.txt does not end with CR LF")
    opened = read(path("opened.txt"), "r")
    check(path("report.txt") in opened, f"report.txt was not opened (asked: {opened.strip()!r})")

    # The chart saved as BMP: the page's chart with its curve and marker lines.
    width, height, pixel = bmp_pixels(read(path("curve.bmp")))
    check((width, height) == (913, 417), f"curve.bmp is {width} x {height}, not 913 x 417")
    if pixel and (width, height) == (913, 417):
        check(pixel(2, 2) == (2, 33, 81), f"curve.bmp background is {pixel(2, 2)}")
        check(count(pixel, 60, 20, 900, 360, is_red) > 2000, "curve.bmp shows no red curve")
        check(count(pixel, 60, 20, 900, 360, is_yellow) > 500, "curve.bmp shows no yellow lines")
    png = read(path("curve.png"))
    check(png_size(png) == (913, 417), f"curve.png is {png_size(png)}, not 913 x 417")
    if png_size(png) == (913, 417):
        check(png_red_rows(png) > 100, "curve.png shows no red curve")
    samples = read(path("samples.csv"), "r").splitlines()
    check(len(samples) == 3000, f"samples.csv has {len(samples)} lines, not 3000")
    if samples:
        check(samples[0] == "0,11.8", f"samples.csv starts with {samples[0]!r}")

    # The screenshot: the chart stands where the pane was, with its caption under the curve.
    left, top = (int(v) for v in read(path("window.txt"), "r").split())
    width, height, shot = bmp_pixels(read(path("shot_chart.bmp")))
    if shot:
        cx, cy = left + 24, top + 220
        check(count(shot, cx + 60, cy + 20, cx + 900, cy + 360, is_red) > 2000,
              "the screenshot shows no curve on the chart")
        white = count(shot, left + 44, top + 606, left + 330, top + 624,
                      lambda p: min(p) > 200)
        check(white > 40, "the screenshot shows no statistics caption")
    else:
        failures.append("shot_chart.bmp is no bitmap")

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
