#!/usr/bin/python3
"""What KWin shows, read through its ScreenShot2 D-Bus interface (KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1
lets any client ask). Areas are in the desktop's layout (logical pixels).
  screen.py pixel X Y             prints the colour there as #RRGGBB
  screen.py png X Y W H FILE      writes the area as a PNG picture (to look at, or to find a button in)
  screen.py find X Y W H RRGGBB   prints "X Y W H" of the box holding every pixel of that colour in the
                                  area (layout pixels), or exits 1 when there is none
"""
import os
import struct
import sys
import zlib

import dbus

# QImage formats KWin hands out: 32 bits a pixel, blue first in memory on a little-endian machine.
FOUR_BYTE_FORMATS = {4, 5, 6}  # Format_RGB32, Format_ARGB32, Format_ARGB32_Premultiplied


def capture(x, y, w, h):
    """The area's pixels as rows of (r, g, b) bytes: (width, height, rows)."""
    bus = dbus.SessionBus()
    shot = dbus.Interface(bus.get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2"), "org.kde.KWin.ScreenShot2")
    read_end, write_end = os.pipe()
    try:
        results = shot.CaptureArea(dbus.Int32(x), dbus.Int32(y), dbus.UInt32(w), dbus.UInt32(h),
                                   dbus.Dictionary({"native-resolution": True}, signature="sv"),
                                   dbus.types.UnixFd(write_end), timeout=20)
    finally:
        os.close(write_end)
    data = bytearray()
    with os.fdopen(read_end, "rb") as f:
        while chunk := f.read(1 << 16):
            data += chunk
    width, height, stride = int(results["width"]), int(results["height"]), int(results["stride"])
    if int(results["format"]) not in FOUR_BYTE_FORMATS:
        raise SystemExit(f"screen.py: unexpected picture format {int(results['format'])}")
    rows = []
    for row in range(height):
        line = data[row * stride: row * stride + width * 4]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
        rows.append(bytes(rgb))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + r for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def main(argv):
    command = argv[1]
    if command == "pixel":
        _, _, rows = capture(int(argv[2]), int(argv[3]), 1, 1)
        print("#%02X%02X%02X" % tuple(rows[0][0:3]))
    elif command == "png":
        x, y, w, h = (int(v) for v in argv[2:6])
        write_png(argv[6], *capture(x, y, w, h))
    elif command == "find":
        x, y, w, h = (int(v) for v in argv[2:6])
        want = bytes.fromhex(argv[6])
        width, height, rows = capture(x, y, w, h)
        scale_x, scale_y = w / width, h / height
        xs, ys = [], []
        for row_index, row in enumerate(rows):
            at = row.find(want)
            while at >= 0:
                if at % 3 == 0:
                    xs.append(at // 3)
                    ys.append(row_index)
                at = row.find(want, at + 1)
        if not xs:
            return 1
        left, top = min(xs), min(ys)
        print(int(x + left * scale_x), int(y + top * scale_y),
              int((max(xs) - left + 1) * scale_x), int((max(ys) - top + 1) * scale_y))
    else:
        raise SystemExit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
