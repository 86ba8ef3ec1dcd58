"""Pictures as 8-bit RGB rows, and what is lit in them."""

import subprocess


class Image:
    def __init__(self, width, height, pixels):
        self.width, self.height, self.pixels = width, height, pixels

    def black(self):
        """Whether no pixel is lit at all (fast: the lit counts walk every pixel)."""
        return not self.pixels.strip(b"\0")

    def lit(self, x=0, y=0, width=None, height=None, threshold=0):
        """How many pixels of the rectangle have a channel brighter than threshold."""
        width = self.width - x if width is None else width
        height = self.height - y if height is None else height
        count = 0
        for row in range(y, y + height):
            start = (row * self.width + x) * 3
            line = self.pixels[start:start + width * 3]
            if line and max(line) > threshold:
                count += sum(1 for i in range(0, len(line), 3)
                             if max(line[i], line[i + 1], line[i + 2]) > threshold)
        return count

    def lit_outside(self, x, y, width, height, threshold=0):
        return self.lit(threshold=threshold) - self.lit(x, y, width, height, threshold)

    def lit_box(self):
        """The smallest rectangle (left, top, right, bottom) holding every pixel that is not
        black, or None when there is none."""
        box = None
        row_bytes = self.width * 3
        for row in range(self.height):
            line = self.pixels[row * row_bytes:(row + 1) * row_bytes]
            lit = line.strip(b"\0")
            if not lit:
                continue
            left = (len(line) - len(line.lstrip(b"\0"))) // 3
            right = (len(line.rstrip(b"\0")) + 2) // 3
            box = (left, row, right, row + 1) if box is None else \
                (min(box[0], left), box[1], max(box[2], right), row + 1)
        return box

    def changed_outside(self, other, x, y, width, height):
        """The first (column, row) outside the rectangle where other differs, or None."""
        row_bytes = self.width * 3
        for row in range(self.height):
            old = self.pixels[row * row_bytes:(row + 1) * row_bytes]
            new = other.pixels[row * row_bytes:(row + 1) * row_bytes]
            if old == new:
                continue
            for column in range(self.width):
                inside = y <= row < y + height and x <= column < x + width
                if not inside and old[column * 3:column * 3 + 3] != new[column * 3:column * 3 + 3]:
                    return column, row
        return None


def screenshot(path=None, env=None):
    """The whole screen of the display in DISPLAY (or env's); with a path, also saved there
    as a PNG."""
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], check=True,
                          capture_output=True, timeout=30, env=env).stdout
    if path:
        subprocess.run(["convert", "ppm:-", path], input=data, check=True, timeout=30)
    return image_from_ppm(data)


def image_from_ppm(data):
    # Binary PPM: "P6", width, height, maxval, each followed by one blank, then RGB bytes.
    fields, offset = [], 0
    while len(fields) < 4:
        while data[offset:offset + 1].isspace():
            offset += 1
        end = offset
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[offset:end])
        offset = end
    width, height = int(fields[1]), int(fields[2])
    if fields[0] != b"P6" or fields[3] != b"255":
        raise RuntimeError("not an 8-bit binary PPM")
    return Image(width, height, data[offset + 1:offset + 1 + width * height * 3])
