#!/usr/bin/env python3
"""Makes the saver's icon file: 16, 32 and 48 pixel images at 4, 8 and 32 bits per pixel.

Usage: tools/make_icon.py OUTPUT.ico [PICTURE.png [LEFT TOP SIZE]]

The picture (a screenshot or a rendered frame of the saver) is cropped to the given square,
made transparent where it is black, and scaled down with ImageMagick. Without a picture a
rose-like curve is drawn instead. The 4-bit images use the standard 16-colour palette that
every Windows display has; the 8-bit ones a palette cut from the picture's own colours.
"""
import math
import struct
import subprocess
import sys

SIZES = (16, 32, 48)
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def drawn_rose(size=192):
    """RGBA rows of a glowing rhodonea curve, for when there is no picture yet."""
    pixels = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]
    centre = size / 2
    for step in range(20000):
        t = step / 20000 * 2 * math.pi * 3
        r = math.cos(7 / 3 * t) * size * 0.45
        x, y = centre + r * math.cos(t), centre + r * math.sin(t)
        hue = step / 20000
        colour = (1.0, 0.35 + 0.5 * hue, 0.55 - 0.4 * hue)
        for dy in (-1, 0, 1):
            for dx in (-1, 0, 1):
                px, py = int(x + dx), int(y + dy)
                if 0 <= px < size and 0 <= py < size:
                    weight = 0.35 if dx or dy else 1.0
                    cell = pixels[py][px]
                    for i in range(3):
                        cell[i] = max(cell[i], colour[i] * weight)
                    cell[3] = max(cell[3], weight)
    raw = bytearray()
    for row in pixels:
        for r, g, b, a in row:
            raw += bytes((int(r * 255), int(g * 255), int(b * 255), int(a * 255)))
    return size, bytes(raw)


def picture_rgba(path, crop):
    """The cropped picture as raw RGBA, black made transparent (a rose glows on black)."""
    args = ["convert", path]
    if crop:
        left, top, size = crop
        args += ["-crop", f"{size}x{size}+{left}+{top}", "+repage"]
    # The strip's lines are one pixel wide: thicken them so that they survive the scaling to
    # 16 pixels, and brighten them to full strength.
    args += ["-morphology", "Dilate", "Disk:4", "-auto-level", "-alpha", "set", "-channel", "A",
             "-fx", "min(1,max(r,max(g,b))*2.5)", "+channel", "-depth", "8", "rgba:-"]
    data = subprocess.run(args, check=True, capture_output=True).stdout
    size = math.isqrt(len(data) // 4)
    return size, data


def scaled(size, rgba, target):
    data = subprocess.run(
        ["convert", "-size", f"{size}x{size}", "-depth", "8", "rgba:-", "-filter", "Box",
         "-resize", f"{target}x{target}!", "-depth", "8", "rgba:-"],
        input=rgba, check=True, capture_output=True).stdout
    return [tuple(data[i:i + 4]) for i in range(0, len(data), 4)]


def median_cut(colours, count):
    boxes = [colours]
    while len(boxes) < count:
        boxes.sort(key=len)
        box = boxes.pop()
        if len(box) < 2:
            boxes.append(box)
            break
        spans = [max(c[i] for c in box) - min(c[i] for c in box) for i in range(3)]
        axis = spans.index(max(spans))
        box.sort(key=lambda c: c[axis])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    palette = [tuple(sum(c[i] for c in box) // len(box) for i in range(3)) for box in boxes]
    return (palette + [(0, 0, 0)] * count)[:count]


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def opaque(pixel):
    return pixel[3] >= 128


def and_mask(pixels, size):
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for y in reversed(range(size)):
        row = bytearray(stride)
        for x in range(size):
            if not opaque(pixels[y * size + x]):
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def image(pixels, size, bits, palette):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0,
                         len(palette) if palette else 0, 0)
    body = bytearray()
    if bits == 32:
        for y in reversed(range(size)):
            for x in range(size):
                r, g, b, a = pixels[y * size + x]
                body += bytes((b, g, r, a))
    else:
        stride = ((size * bits + 31) // 32) * 4
        for y in reversed(range(size)):
            row = bytearray(stride)
            for x in range(size):
                pixel = pixels[y * size + x]
                index = nearest(palette, pixel) if opaque(pixel) else 0
                if bits == 8:
                    row[x] = index
                else:
                    row[x // 2] |= index << (4 if x % 2 == 0 else 0)
            body += row
        header += b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + bytes(body) + and_mask(pixels, size)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    output = sys.argv[1]
    if len(sys.argv) >= 3:
        crop = tuple(int(v) for v in sys.argv[3:6]) if len(sys.argv) >= 6 else None
        size, rgba = picture_rgba(sys.argv[2], crop)
    else:
        size, rgba = drawn_rose()

    images = []
    for bits in (4, 8, 32):
        for target in SIZES:
            pixels = scaled(size, rgba, target)
            palette = None
            if bits == 4:
                palette = VGA16
            elif bits == 8:
                palette = median_cut([p[:3] for p in pixels if opaque(p)] or [(0, 0, 0)], 256)
            images.append((target, bits, image(pixels, target, bits, palette)))

    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    blobs = b""
    for target, bits, blob in images:
        colours = 16 if bits == 4 else 0
        directory += struct.pack("<BBBBHHII", target, target, colours, 0, 1, bits, len(blob),
                                 offset + len(blobs))
        blobs += blob
    with open(output, "wb") as f:
        f.write(directory + blobs)


if __name__ == "__main__":
    main()
