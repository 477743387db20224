"""What the ScanTool prints to the PC unasked: report text with colour, code-page and
fixed-phrase escapes, waveform captures, and damaged frames for the program to survive."""

from . import codec

WAVE_SAMPLES = 0x01FF
WAVE_END = 0x02FF

# Windows code page -> Python codec, and a line that shows the code page's own letters.
CODE_PAGES = {
    28605: ("iso8859_15", "Température 25 °C, coût 12 €"),
    28591: ("latin-1", "Température 25 °C, Größe"),
    936: ("gbk", "蓄电池测试结果：良好"),
    950: ("big5", "電池測試結果：良好"),
    932: ("cp932", "バッテリー試験：良好"),
    949: ("cp949", "배터리 시험: 양호"),
    1250: ("cp1250", "Zkouška baterie: dobrá"),
    1251: ("cp1251", "Проверка аккумулятора: норма"),
    1252: ("cp1252", "Prüfung der Batterie – gut"),
    1253: ("cp1253", "Έλεγχος μπαταρίας: καλή"),
    1254: ("cp1254", "Akü testi: iyi"),
    1256: ("cp1256", "فحص البطارية: جيد"),
    874: ("cp874", "ทดสอบแบตเตอรี่: ดี"),
    866: ("cp866", "Проверка аккумулятора: норма"),
    20866: ("koi8_r", "Проверка аккумулятора: норма"),
    65001: ("utf-8", "UTF-8: ✓ 12.6 V"),
}


def colour(selector):
    """Escape that makes the following text the colour of selector 1..9."""
    if not 1 <= selector <= 9:
        raise ValueError("colour selector 1..9")
    return bytes((0, 0x24, 0x24, selector, 0x48 + selector))


def code_page(number):
    return bytes((0, 0x24, 0x24, 0xFF, 0xFE, number & 0xFF, number >> 8))


def phrase(code):
    """Escape for the fixed phrase with this 16-bit code."""
    return bytes((0, 0x24, 0x24, 0x25, 0x24, code >> 8, code & 0xFF))


def report(page=28605):
    """A battery test report: a title, a line in `page`, values with fixed Persian phrases,
    the ohm sign sent as 0x7F, then back to ISO 8859-15."""
    if page not in CODE_PAGES:
        raise ValueError(f"no sample text for code page {page}; known: {sorted(CODE_PAGES)}")
    name, line = CODE_PAGES[page]
    out = bytearray()
    out += colour(2) + b"==== Battery test report ====\r\n"
    out += colour(7) + b"Battery type: flooded 12 V / 60 Ah\r\n"
    out += code_page(page) + colour(3) + line.encode(name) + b"\r\n"
    out += code_page(28605)
    out += colour(8) + phrase(0xF101) + b": 12.64 V\r\n"
    out += colour(8) + phrase(0xF102) + b": 4.2 m\x7f\r\n"
    out += colour(5) + b"CCA measured 540 A, rated 600 A\r\n"
    out += colour(1) + phrase(0xF103)
    out += colour(9) + phrase(0x0F05)
    out += colour(4) + b"Tester: ScanTool\r\n"
    return bytes(out)


def sweep(count, low, high):
    """`count` samples rising and falling between low and high (in 0.1 V)."""
    if not 0 <= low <= high <= 0xFFFF:
        raise ValueError("need 0 <= low <= high <= 65535")
    span = high - low
    period = max(2, 2 * span)
    samples = []
    for i in range(count):
        phase = i % period
        samples.append(low + (phase if phase <= span else period - phase))
    return samples


def wave_frames(samples, per_frame=200):
    """Sample frames of at most `per_frame` samples each."""
    if per_frame < 1:
        raise ValueError("per_frame >= 1")
    frames = []
    for start in range(0, len(samples), per_frame):
        chunk = samples[start:start + per_frame]
        frames.append(codec.build(WAVE_SAMPLES, b"".join(v.to_bytes(2, "little") for v in chunk)))
    return frames


def damaged(kind, length=None):
    """A waveform sample frame spoilt in one way: "crc" (wrong checksum, plausible length),
    "length" (declared length replaced by `length`), "cut" (only the first `length` bytes)."""
    frame = bytearray(codec.build(WAVE_SAMPLES, bytes(range(2, 22))))
    if kind == "crc":
        frame[-4] ^= 0xFF
    elif kind == "length":
        if length is None or not 0 <= length <= 0xFFFF:
            raise ValueError("length=N (0..65535)")
        frame[2], frame[3] = length & 0xFF, length >> 8
    elif kind == "cut":
        if length is None or not 1 <= length < len(frame):
            raise ValueError(f"length=N (1..{len(frame) - 1})")
        del frame[length:]
    else:
        raise ValueError("kind is crc, length or cut")
    return bytes(frame)
