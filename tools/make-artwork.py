#!/usr/bin/env python3
"""Draws the manager's icon and bitmaps (a loudspeaker with sound waves) into manager/res/.
The files are committed; run this again only to change the artwork."""

import math
import os
import struct

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "manager", "res")

NAVY = (0x1F, 0x3A, 0x6B)
BLUE = (0x2E, 0x6C, 0xC4)
WHITE = (0xFF, 0xFF, 0xFF)
RED = (0xD0, 0x30, 0x30)
GREY = (0xE8, 0xEC, 0xF2)


def mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def speaker_pixel(x, y, w, h, background):
    """A loudspeaker at the left with three sound waves, scaled to a w x h picture."""
    s = min(w, h)
    cx, cy = w * 0.30, h / 2
    u, v = (x - cx) / s, (y - cy) / s
    # the speaker's box and cone
    if -0.22 <= u <= -0.10 and abs(v) <= 0.10:
        return WHITE
    if -0.10 <= u <= 0.08 and abs(v) <= 0.10 + (u + 0.10) * 1.3:
        return WHITE
    # waves: rings around the cone's mouth, only to its right
    if u > 0.10:
        r = math.hypot(u - 0.02, v)
        for ring in (0.18, 0.28, 0.38):
            if abs(r - ring) < 0.025 and abs(v) < r * 0.75:
                return RED if ring == 0.38 else WHITE
    return background


def draw(w, h, pixel):
    return [[pixel(x, y) for x in range(w)] for y in range(h)]


def write_bmp(path, rows):
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        data += line + b"\0" * (stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def icon_image(size):
    rows = draw(size, size, lambda x, y: speaker_pixel(x, y, size, size, mix(BLUE, NAVY, y / size)))
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b in row:
            xor += bytes((b, g, r, 0xFF))
    mask_stride = ((size + 31) // 32) * 4
    and_mask = b"\0" * (mask_stride * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return info + bytes(xor) + and_mask


def write_ico(path, sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def banner_pixel(w, h):
    def pixel(x, y):
        base = mix(NAVY, BLUE, x / w)
        wave = h / 2 + math.sin(x / w * 6 * math.pi) * h * 0.18 * math.sin(x / w * math.pi)
        if abs(y - wave) < 2:
            return WHITE
        return speaker_pixel(x, y, h, h, base) if x < h else base
    return pixel


def main():
    os.makedirs(RES, exist_ok=True)
    write_ico(os.path.join(RES, "qax.ico"), [32, 16])
    write_bmp(os.path.join(RES, "credentials.bmp"),
              draw(64, 63, lambda x, y: speaker_pixel(x, y, 64, 63, mix(BLUE, NAVY, y / 63))))
    write_bmp(os.path.join(RES, "about_banner.bmp"), draw(322, 120, banner_pixel(322, 120)))
    write_bmp(os.path.join(RES, "about_picture.bmp"),
              draw(294, 107, lambda x, y: speaker_pixel(x, y, 294, 107, mix(GREY, WHITE, y / 107))
                   if speaker_pixel(x, y, 294, 107, None) is not None else mix(GREY, WHITE, y / 107)))


if __name__ == "__main__":
    main()
