#!/usr/bin/env python3
"""Draws Kalvero's own images and end-of-run sound.

Writes icons/kalvero.png (64x64), images/joblist.png (the eight job-list
images, 24x16 each, side by side) and sounds/ende.wav. Plain Python only:
shapes are rasterised with 4x4 supersampling and written as PNG with zlib.
Run it again after changing a drawing; the outputs are committed.
"""
import math
import os
import struct
import wave
import zlib

SS = 4  # supersampling factor per axis


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[(0.0, 0.0, 0.0, 0.0) for _ in range(w)] for _ in range(h)]

    def _blend(self, x, y, color, cover):
        if cover <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        r, g, b, a = color
        a = a * cover
        dr, dg, db, da = self.px[y][x]
        oa = a + da * (1 - a)
        if oa == 0:
            return
        self.px[y][x] = ((r * a + dr * da * (1 - a)) / oa, (g * a + dg * da * (1 - a)) / oa,
                         (b * a + db * da * (1 - a)) / oa, oa)

    def shape(self, inside, color, box=None):
        """Fills every pixel part for which inside(x, y) holds (x, y in pixels)."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        for py in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)))):
            for px in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)))):
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS):
                            hits += 1
                self._blend(px, py, color, hits / (SS * SS))

    def rect(self, x0, y0, x1, y1, color, radius=0.0):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            if radius <= 0:
                return True
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
        self.shape(inside, color, (x0 - 1, y0 - 1, x1 + 1, y1 + 1))

    def circle(self, cx, cy, r, color):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, color,
                   (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1))

    def ring(self, cx, cy, r, width, color):
        self.shape(lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r, color,
                   (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1))

    def polygon(self, pts, color):
        def inside(x, y):
            c = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self.shape(inside, color, (min(xs) - 1, min(ys) - 1, max(xs) + 1, max(ys) + 1))

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                r, g, b, a = other.px[y][x]
                self._blend(ox + x, oy + y, (r, g, b, 1.0), a)

    def png(self, path):
        raw = bytearray()
        for row in self.px:
            raw.append(0)
            for r, g, b, a in row:
                raw += bytes([round(r * 255), round(g * 255), round(b * 255), round(a * 255)])

        def chunk(kind, data):
            c = struct.pack(">I", len(data)) + kind + data
            return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
        data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
        data += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(data)


def rgb(h, a=1.0):
    return (int(h[1:3], 16) / 255, int(h[3:5], 16) / 255, int(h[5:7], 16) / 255, a)


FOLDER = rgb("#e8b030")
FOLDER_DARK = rgb("#a87810")
GREEN = rgb("#2e9e3e")
GREY = rgb("#9a9a9a")
RED = rgb("#d02020")
WHITE = rgb("#ffffff")
BLUE = rgb("#1f4e96")


def folder(c, x, y, w, h):
    c.rect(x, y, x + w * 0.45, y + 2, FOLDER_DARK, 0.8)
    c.rect(x, y + 1.2, x + w, y + h, FOLDER_DARK, 1.0)
    c.rect(x + 0.8, y + 2.0, x + w - 0.8, y + h - 0.8, FOLDER, 0.6)


def joblist_image(index):
    """index = active + 2 * withSubdirs + 4 * hasExcludedDirs."""
    c = Canvas(24, 16)
    active, subdirs, excluded = index & 1, (index >> 1) & 1, (index >> 2) & 1
    # State lamp: green when the pair is active, grey otherwise.
    c.circle(4, 8, 3.4, rgb("#303030"))
    c.circle(4, 8, 2.6, GREEN if active else GREY)
    c.circle(3.2, 7.2, 0.9, rgb("#ffffff", 0.6))
    # Folder; a second, smaller one behind it when subdirectories are included.
    if subdirs:
        folder(c, 12, 2, 9, 7)
    folder(c, 9, 5, 10, 9)
    # Red bar across the lower right corner when directories are left out.
    if excluded:
        c.circle(19.5, 12, 4.2, WHITE)
        c.circle(19.5, 12, 3.6, RED)
        c.rect(17.2, 11.2, 21.8, 12.8, WHITE)
    return c


def icon():
    c = Canvas(64, 64)
    c.rect(3, 3, 61, 61, BLUE, 12)
    c.rect(5, 5, 59, 32, rgb("#ffffff", 0.08), 10)
    folder(c, 11, 10, 26, 20)
    # Drive below, with a lamp.
    c.rect(12, 42, 52, 55, rgb("#d8dde6"), 3)
    c.rect(12, 50, 52, 55, rgb("#aeb6c4"), 2)
    c.circle(46, 46.5, 2.2, GREEN)
    # Arrow from the folder into the drive.
    c.polygon([(38, 12), (46, 12), (46, 28), (53, 28), (42, 40), (31, 28), (38, 28)], rgb("#3ec455"))
    return c


def sound(path):
    """Three short rising tones with soft edges, about 0.45 s, 22050 Hz mono."""
    rate = 22050
    frames = bytearray()
    for freq in (660.0, 880.0, 1320.0):
        n = int(rate * 0.14)
        for i in range(n):
            env = min(1.0, i / 200) * min(1.0, (n - i) / 600)
            v = 0.45 * env * (math.sin(2 * math.pi * freq * i / rate) + 0.25 * math.sin(4 * math.pi * freq * i / rate))
            frames += struct.pack("<h", int(max(-1, min(1, v)) * 32000))
        frames += b"\0\0" * int(rate * 0.01)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    strip = Canvas(24 * 8, 16)
    for i in range(8):
        strip.blit(joblist_image(i), 24 * i, 0)
    strip.png(os.path.join(here, "images", "joblist.png"))
    icon().png(os.path.join(here, "icons", "kalvero.png"))
    sound(os.path.join(here, "sounds", "ende.wav"))


if __name__ == "__main__":
    main()
